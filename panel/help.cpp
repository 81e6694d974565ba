#include "panel/help.h"

#include <QDesktopServices>

#include "platform/root.h"

namespace zen::panel {

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
    QUrl url =
        QUrl::fromLocalFile(QString::fromStdString(paths::ManualDir().string()) + '/' + file);
    if (hash >= 0) {
        url.setFragment(relative.mid(hash + 1));
    }
    return url;
}

void OpenHelp(const QString& topic) {
    QDesktopServices::openUrl(HelpUrl(topic));
}

}  // namespace zen::panel
