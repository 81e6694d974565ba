#include "panel/message_box.h"

#include "panel/strings.h"

namespace zen::panel {

void ShowMessageText(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
    QMessageBox box(icon, ProductName(), text, QMessageBox::Ok, parent);
    box.exec();
}

void ShowMessage(QWidget* parent, int stringId, QMessageBox::Icon icon) {
    ShowMessageText(parent, Text(stringId), icon);
}

void ShowEditFailure(QWidget* parent, EditStatus status) {
    const std::string_view text = EditStatusText(status);
    ShowMessageText(parent, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                    QMessageBox::Critical);
}

}  // namespace zen::panel
