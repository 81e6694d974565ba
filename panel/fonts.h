#pragma once

#include <QFont>

namespace zen::panel {

// The fonts every page shares, created once. Heights are in pixels of a 100 % screen; Qt
// scales them with the screen, so the layout holds at any scale.
enum class PanelFont {
    Regular,         // Arial 11: check boxes, labels, dialog text
    Link,            // Arial 11: link labels
    HeadingBold,     // Tahoma 13 bold
    Small,           // Tahoma 11
    ButtonCaption,   // Arial 12 bold
    LinkBold,        // Arial 11 bold
    LinkUnderlined,  // Arial 11 underlined: a link under the mouse
    LinkBoldUnderlined,
    Title,  // Times New Roman 28 bold, anti-aliased: page titles
};

const QFont& Font(PanelFont which);

// `face` when it is installed, else its metric-compatible Liberation face, so a missing font
// never changes the layout.
QString InstalledFace(const QString& face);

}  // namespace zen::panel
