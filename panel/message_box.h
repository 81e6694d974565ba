#pragma once

#include <QMessageBox>

#include "common/db/rules_editor.h"

namespace zen::panel {

// A message box of the panel: the product name as caption, the text by string number.
void ShowMessage(QWidget* parent, int stringId, QMessageBox::Icon icon);
void ShowMessageText(QWidget* parent, const QString& text, QMessageBox::Icon icon);
// An edit of the rules that was refused or could not be saved.
void ShowEditFailure(QWidget* parent, EditStatus status);

}  // namespace zen::panel
