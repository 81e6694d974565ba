#include "panel/fonts.h"

#include <QFontDatabase>
#include <QHash>

namespace zen::panel {
namespace {

QFont Make(const QString& face, int pixels, bool bold, bool underline) {
    QFont font(InstalledFace(face));
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setUnderline(underline);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

QFont Create(PanelFont which) {
    switch (which) {
        case PanelFont::Regular:
        case PanelFont::Link:
            return Make("Arial", 11, false, false);
        case PanelFont::HeadingBold:
            return Make("Tahoma", 13, true, false);
        case PanelFont::Small:
            return Make("Tahoma", 11, false, false);
        case PanelFont::ButtonCaption:
            return Make("Arial", 12, true, false);
        case PanelFont::LinkBold:
            return Make("Arial", 11, true, false);
        case PanelFont::LinkUnderlined:
            return Make("Arial", 11, false, true);
        case PanelFont::LinkBoldUnderlined:
            return Make("Arial", 11, true, true);
        case PanelFont::Title:
            break;
    }
    return Make("Times New Roman", 28, true, false);
}

}  // namespace

QString InstalledFace(const QString& face) {
    static const QHash<QString, QString> kMetricTwins = {
        {"Arial", "Liberation Sans"},
        {"Tahoma", "Liberation Sans"},
        {"Times New Roman", "Liberation Serif"},
    };
    if (QFontDatabase::hasFamily(face)) {
        return face;
    }
    return kMetricTwins.value(face, face);
}

const QFont& Font(PanelFont which) {
    static QHash<int, QFont> fonts;
    const int key = static_cast<int>(which);
    auto it = fonts.find(key);
    if (it == fonts.end()) {
        it = fonts.insert(key, Create(which));
    }
    return *it;
}

}  // namespace zen::panel
