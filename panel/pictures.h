#pragma once

#include <optional>

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QRectF>

namespace zen::panel {

// The panel's colours.
namespace colours {
inline const QColor kLabel{138, 202, 202};
inline const QColor kTitle{255, 255, 255};
inline const QColor kTitleShadow{32, 64, 32};
inline const QColor kFrameDark{23, 68, 68};
inline const QColor kFrameLight{72, 191, 191};
inline const QColor kDisabledCaption{128, 128, 128};
// The keyboard focus ring of the custom controls.
inline const QColor kFocusRing{255, 255, 255};
}  // namespace colours

// Every picture of the panel is drawn in code at the painter's resolution, so it is as crisp
// at 200 % as at 100 %. The numbers are the pictures' resource numbers.
enum class Picture {
    MainBackground = 134,
    PageBackground = 147,
    TabChosen = 130,
    TabOther = 131,
    ButtonNormal = 151,
    ButtonPressed = 152,
    ButtonDisabled = 163,
    LargeButtonNormal = 149,
    LargeButtonPressed = 150,
    MailButtonNormal = 260,
    MailButtonPressed = 259,
    MailButtonDisabled = 262,
    CloseNormal = 158,
    ClosePressed = 160,
};

// A picture button's set: normal, pressed and (optionally) disabled pictures.
struct ButtonPictures {
    Picture normal;
    Picture pressed;
    std::optional<Picture> disabled;
};
inline constexpr ButtonPictures kPageButtons{Picture::ButtonNormal, Picture::ButtonPressed, {}};
inline constexpr ButtonPictures kUsersPageButtons{Picture::ButtonNormal, Picture::ButtonPressed,
                                                  Picture::ButtonDisabled};
inline constexpr ButtonPictures kOverviewButtons{
    Picture::LargeButtonNormal, Picture::LargeButtonPressed, {}};
inline constexpr ButtonPictures kMailButtons{Picture::MailButtonNormal, Picture::MailButtonPressed,
                                             Picture::MailButtonDisabled};

void Paint(QPainter& painter, const QRectF& area, Picture picture);

// The picture alone on a transparent image of `size` device pixels at `ratio`.
QImage Render(Picture picture, QSize size, qreal ratio = 1.0);

// Tray icon 144 (filtering on) or 145 (off), and the program's icon 128.
QIcon TrayIcon(bool filteringEnabled);
QIcon ProgramIcon();

}  // namespace zen::panel
