#include "panel/help.h"

#include <QDesktopServices>
#include <QFileInfo>

#include "panel/message_box.h"
#include "platform/root.h"

namespace zen::panel {
namespace {

QString& ChosenManualFolder() {
    static QString folder;
    return folder;
}

QString ManualFolder() {
    const QString& chosen = ChosenManualFolder();
    return chosen.isEmpty() ? QString::fromStdString(paths::ManualDir().string()) : chosen;
}

}  // namespace

QUrl HelpUrl(const QString& topic) {
    QString relative = topic.isEmpty() ? QString(kStartTopic) : topic;
    if (relative.startsWith("::")) {
        relative.remove(0, 2);
    }
    while (relative.startsWith('/')) {
        relative.remove(0, 1);
    }
    const qsizetype hash = relative.indexOf('#');
    const QString file = hash < 0 ? relative : relative.left(hash);
    QUrl url = QUrl::fromLocalFile(ManualFolder() + '/' + file);
    if (hash >= 0) {
        url.setFragment(relative.mid(hash + 1));
    }
    return url;
}

void SetManualFolder(const QString& folder) {
    ChosenManualFolder() = folder;
}

void OpenHelp(const QString& topic, QWidget* parent) {
    const QUrl url = HelpUrl(topic);
    if (!QFileInfo::exists(url.toLocalFile())) {
        ShowMessageText(
            parent,
            QString("The manual is not installed: %1 was not found.").arg(url.toLocalFile()),
            QMessageBox::Information);
        return;
    }
    QDesktopServices::openUrl(url);
}

}  // namespace zen::panel
