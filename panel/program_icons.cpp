#include "panel/program_icons.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSettings>
#include <QStandardPaths>
#include <QStyle>

namespace zen::panel {
namespace {

// The program an Exec line starts: its first word, without quotes or an "env" prefix.
QString ExecProgram(const QString& exec) {
    QStringList words = exec.split(' ', Qt::SkipEmptyParts);
    while (!words.isEmpty() && (words.front() == "env" || words.front().contains('='))) {
        words.pop_front();
    }
    if (words.isEmpty()) {
        return {};
    }
    QString program = words.front();
    program.remove('"');
    return program;
}

// Program (full path and file name) -> icon name, from every desktop entry the user sees.
const QHash<QString, QString>& DesktopIconNames() {
    static const QHash<QString, QString> names = [] {
        QHash<QString, QString> found;
        const QStringList folders =
            QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
        for (const QString& folder : folders) {
            const QDir dir(folder);
            for (const QFileInfo& file : dir.entryInfoList({"*.desktop"}, QDir::Files)) {
                QSettings entry(file.absoluteFilePath(), QSettings::IniFormat);
                entry.beginGroup("Desktop Entry");
                const QString icon = entry.value("Icon").toString();
                if (icon.isEmpty()) {
                    continue;
                }
                for (const char* key : {"TryExec", "Exec"}) {
                    const QString program = ExecProgram(entry.value(key).toString());
                    if (!program.isEmpty()) {
                        found.insert(program, icon);  // a name or a full path
                    }
                }
            }
        }
        return found;
    }();
    return names;
}

QIcon GenericIcon() {
    return QIcon::fromTheme("application-x-executable",
                            QApplication::style()->standardIcon(QStyle::SP_FileIcon));
}

}  // namespace

QIcon ProgramIcon(const QString& programPath) {
    const auto& names = DesktopIconNames();
    auto it = names.find(programPath);
    if (it == names.end()) {
        it = names.find(QFileInfo(programPath).fileName());
    }
    if (it == names.end()) {
        return GenericIcon();
    }
    if (QFileInfo(*it).isAbsolute()) {
        return QIcon(*it);
    }
    return QIcon::fromTheme(*it, GenericIcon());
}

}  // namespace zen::panel
