#pragma once

#include <QRect>
#include <QString>
#include <string>

class QLabel;
class QLineEdit;
class QWidget;

namespace zen::panel {

// The widgets the panel's dialogs share.

// A password edit that holds at most the 23 UTF-16 units a stored password has.
QLineEdit* NewPasswordEdit(QWidget* parent, int controlId, QRect geometry);

// A word-wrapped text in the label colour, transparent over the background.
QLabel* NewTextLabel(QWidget* parent, int controlId, const QString& text, QRect geometry);

class CDlgBase;

// "Ok" and "Cancel" at the dialog's right edge, at `top`, ending it with accept and reject;
// "Ok" is the default button (Enter).
void AddOkCancelButtons(CDlgBase* dialog, int top);

std::u16string ToU16(const QString& text);
QString FromU16(std::u16string_view text);

}  // namespace zen::panel
