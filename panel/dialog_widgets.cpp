#include "panel/dialog_widgets.h"

#include <QLabel>
#include <QLineEdit>

#include "common/db/rules_editor.h"
#include "panel/controls/dlg_base.h"
#include "panel/controls/zen_button_ctrl.h"
#include "panel/fonts.h"
#include "panel/pictures.h"
#include "panel/strings.h"

namespace zen::panel {

QLineEdit* NewPasswordEdit(QWidget* parent, int controlId, QRect geometry) {
    auto* edit = new QLineEdit(parent);
    SetControlId(edit, controlId);
    edit->setEchoMode(QLineEdit::Password);
    edit->setMaxLength(static_cast<int>(kMaxPasswordUnits));
    edit->setGeometry(geometry);
    return edit;
}

QLabel* NewTextLabel(QWidget* parent, int controlId, const QString& text, QRect geometry) {
    auto* label = new QLabel(text, parent);
    SetControlId(label, controlId);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setFont(Font(PanelFont::Regular));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colours::kLabel);
    label->setPalette(palette);
    label->setGeometry(geometry);
    return label;
}

void AddOkCancelButtons(CDlgBase* dialog, int top) {
    constexpr int kWidth = 96;
    constexpr int kHeight = 28;
    constexpr int kMargin = 18;
    auto* cancel = new CZenButtonCtrl(kIdCancel, Text(191), kPageButtons, dialog);
    cancel->setGeometry(dialog->width() - kMargin - kWidth, top, kWidth, kHeight);
    auto* ok = new CZenButtonCtrl(kIdOk, Text(249), kPageButtons, dialog);
    ok->setGeometry(cancel->x() - 10 - kWidth, top, kWidth, kHeight);
    QObject::connect(ok, &CZenButtonCtrl::command, dialog, &QDialog::accept);
    QObject::connect(cancel, &CZenButtonCtrl::command, dialog, &QDialog::reject);
    dialog->SetDefaultButton(ok);
}

std::u16string ToU16(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<std::size_t>(text.size()));
}

QString FromU16(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace zen::panel
