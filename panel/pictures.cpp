#include "panel/pictures.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>
#include <QtMath>

#include "panel/fonts.h"

namespace zen::panel {
namespace {

struct Shade {
    QColor top;
    QColor bottom;
    QColor border;
};

void Gradient(QPainter& p, const QPainterPath& path, const QRectF& area, const Shade& shade) {
    QLinearGradient fill(area.topLeft(), area.bottomLeft());
    fill.setColorAt(0, shade.top);
    fill.setColorAt(1, shade.bottom);
    p.setPen(QPen(shade.border, 1));
    p.setBrush(fill);
    p.drawPath(path);
}

QPainterPath Rounded(const QRectF& area, qreal radius) {
    QPainterPath path;
    path.addRoundedRect(area.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    return path;
}

// A clock face: the product's mark, on the backgrounds and in the icons.
void Clock(QPainter& p, const QRectF& area, const QColor& ring, const QColor& face,
           const QColor& hands) {
    const qreal width = qMax<qreal>(1.0, area.width() / 10);
    const QRectF dial = area.adjusted(width / 2, width / 2, -width / 2, -width / 2);
    p.setPen(QPen(ring, width));
    p.setBrush(face);
    p.drawEllipse(dial);
    const QPointF centre = dial.center();
    const qreal radius = dial.width() / 2;
    p.setPen(QPen(hands, width * 0.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, centre + QPointF(0, -radius * 0.62));
    p.drawLine(centre, centre + QPointF(radius * 0.45, radius * 0.12));
}

void MainBackground(QPainter& p, const QRectF& a) {
    QLinearGradient fill(a.topLeft(), a.bottomLeft());
    fill.setColorAt(0, QColor(14, 46, 46));
    fill.setColorAt(1, QColor(24, 74, 74));
    p.fillRect(a, fill);
    // The header band with the product's mark and name.
    const QRectF header(a.left(), a.top(), a.width(), 60);
    QLinearGradient band(header.topLeft(), header.bottomLeft());
    band.setColorAt(0, QColor(38, 112, 112));
    band.setColorAt(1, QColor(18, 60, 60));
    p.fillRect(header, band);
    p.setPen(QPen(colours::kFrameLight, 1));
    p.drawLine(header.bottomLeft() + QPointF(0, -0.5), header.bottomRight() + QPointF(0, -0.5));
    Clock(p, QRectF(a.left() + 18, a.top() + 10, 40, 40), colours::kFrameLight,
          QColor(230, 245, 245), colours::kFrameDark);
    QFont name = Font(PanelFont::Title);
    name.setPixelSize(30);
    p.setFont(name);
    p.setPen(colours::kTitleShadow);
    p.drawText(QPointF(a.left() + 72, a.top() + 42), "Zentimo");
    p.setPen(colours::kTitle);
    p.drawText(QPointF(a.left() + 70, a.top() + 40), "Zentimo");
    // The column left of the pages.
    const QRectF column(a.left(), a.top() + 100, 80, a.height() - 112);
    QLinearGradient side(column.topLeft(), column.topRight());
    side.setColorAt(0, QColor(20, 64, 64));
    side.setColorAt(1, QColor(30, 92, 92));
    p.fillRect(column, side);
    for (int i = 0; i < 4; ++i) {
        Clock(p, QRectF(column.left() + 20, column.top() + 24 + i * 110, 40, 40),
              QColor(72, 191, 191, 90), Qt::transparent, QColor(72, 191, 191, 90));
    }
}

void PageBackground(QPainter& p, const QRectF& a) {
    QLinearGradient fill(a.topLeft(), a.bottomRight());
    fill.setColorAt(0, QColor(30, 90, 90));
    fill.setColorAt(1, QColor(14, 50, 50));
    p.fillRect(a, fill);
    // A faint mark in the lower right corner; the frame of the page in the panel's colours.
    const qreal size = qMin(a.width(), a.height()) * 0.45;
    Clock(p, QRectF(a.right() - size - 12, a.bottom() - size - 12, size, size),
          QColor(72, 191, 191, 36), Qt::transparent, QColor(72, 191, 191, 36));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colours::kFrameLight, 1));
    p.drawLine(a.topLeft() + QPointF(0.5, 0.5), a.topRight() + QPointF(-0.5, 0.5));
    p.drawLine(a.topLeft() + QPointF(0.5, 0.5), a.bottomLeft() + QPointF(0.5, -0.5));
    p.setPen(QPen(colours::kFrameDark, 1));
    p.drawLine(a.bottomLeft() + QPointF(0.5, -0.5), a.bottomRight() + QPointF(-0.5, -0.5));
    p.drawLine(a.topRight() + QPointF(-0.5, 0.5), a.bottomRight() + QPointF(-0.5, -0.5));
}

QPainterPath TabShape(const QRectF& a) {
    const qreal slant = qMin<qreal>(8, a.width() / 6);
    const qreal round = 4;
    QPainterPath path;
    path.moveTo(a.bottomLeft());
    path.lineTo(a.left() + slant, a.top() + round);
    path.quadTo(a.left() + slant + 1, a.top(), a.left() + slant + round, a.top());
    path.lineTo(a.right() - slant - round, a.top());
    path.quadTo(a.right() - slant - 1, a.top(), a.right() - slant, a.top() + round);
    path.lineTo(a.bottomRight());
    path.closeSubpath();
    return path;
}

void Button(QPainter& p, const QRectF& a, const Shade& shade, qreal radius) {
    Gradient(p, Rounded(a, radius), a, shade);
    // A light edge along the top gives the button its relief.
    p.setPen(QPen(QColor(255, 255, 255, 60), 1));
    p.drawLine(QPointF(a.left() + radius, a.top() + 1.5),
               QPointF(a.right() - radius, a.top() + 1.5));
}

void Close(QPainter& p, const QRectF& a, bool pressed) {
    const QRectF disc = a.adjusted(1, 1, -1, -1);
    QRadialGradient fill(disc.center() - QPointF(disc.width() / 5, disc.height() / 5),
                         disc.width() * 0.7);
    fill.setColorAt(0, pressed ? QColor(150, 40, 40) : QColor(230, 110, 100));
    fill.setColorAt(1, pressed ? QColor(100, 20, 20) : QColor(170, 40, 40));
    p.setPen(QPen(QColor(90, 20, 20), 1));
    p.setBrush(fill);
    p.drawEllipse(disc);
    const qreal inset = disc.width() * 0.3;
    const QRectF cross = disc.adjusted(inset, inset, -inset, -inset);
    p.setPen(QPen(Qt::white, qMax<qreal>(1.5, disc.width() / 9), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(cross.topLeft(), cross.bottomRight());
    p.drawLine(cross.topRight(), cross.bottomLeft());
}

}  // namespace

void Paint(QPainter& p, const QRectF& a, Picture picture) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    switch (picture) {
        case Picture::MainBackground:
            MainBackground(p, a);
            break;
        case Picture::PageBackground:
            PageBackground(p, a);
            break;
        case Picture::TabChosen:
            Gradient(p, TabShape(a), a,
                     {QColor(96, 200, 200), QColor(30, 92, 92), colours::kFrameLight});
            break;
        case Picture::TabOther:
            Gradient(p, TabShape(a), a,
                     {QColor(44, 120, 120), QColor(18, 58, 58), colours::kFrameDark});
            break;
        case Picture::ButtonNormal:
            Button(p, a, {QColor(86, 170, 170), QColor(34, 104, 104), colours::kFrameDark}, 5);
            break;
        case Picture::ButtonPressed:
            Button(p, a, {QColor(26, 84, 84), QColor(62, 146, 146), colours::kFrameDark}, 5);
            break;
        case Picture::ButtonDisabled:
            Button(p, a, {QColor(170, 176, 176), QColor(120, 126, 126), QColor(90, 96, 96)}, 5);
            break;
        case Picture::LargeButtonNormal:
            Button(p, a, {QColor(104, 196, 196), QColor(32, 100, 100), colours::kFrameLight}, 9);
            break;
        case Picture::LargeButtonPressed:
            Button(p, a, {QColor(24, 80, 80), QColor(72, 160, 160), colours::kFrameLight}, 9);
            break;
        case Picture::MailButtonNormal:
            Button(p, a, {QColor(236, 196, 104), QColor(176, 124, 36), QColor(110, 76, 20)}, 5);
            break;
        case Picture::MailButtonPressed:
            Button(p, a, {QColor(150, 104, 28), QColor(214, 170, 80), QColor(110, 76, 20)}, 5);
            break;
        case Picture::MailButtonDisabled:
            Button(p, a, {QColor(200, 196, 186), QColor(150, 146, 136), QColor(110, 106, 96)}, 5);
            break;
        case Picture::CloseNormal:
        case Picture::ClosePressed:
            Close(p, a, picture == Picture::ClosePressed);
            break;
    }
    p.restore();
}

QImage Render(Picture picture, QSize size, qreal ratio) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(ratio);
    QPainter painter(&image);
    Paint(painter, QRectF(QPointF(0, 0), QSizeF(size) / ratio), picture);
    return image;
}

QIcon TrayIcon(bool filteringEnabled) {
    QIcon icon;
    for (const int side : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF area(0, 0, side, side);
        if (filteringEnabled) {
            Clock(p, area, QColor(40, 160, 90), QColor(235, 250, 240), QColor(20, 70, 40));
        } else {
            Clock(p, area, QColor(130, 130, 130), QColor(235, 235, 235), QColor(90, 90, 90));
            p.setPen(QPen(QColor(200, 40, 40), qMax(2.0, side / 8.0), Qt::SolidLine, Qt::RoundCap));
            p.drawLine(area.topLeft() + QPointF(side * 0.15, side * 0.85),
                       area.topLeft() + QPointF(side * 0.85, side * 0.15));
        }
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (const int side : {16, 32, 48, 64, 128}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        Clock(p, QRectF(0, 0, side, side), colours::kFrameLight, QColor(230, 245, 245),
              colours::kFrameDark);
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace zen::panel
