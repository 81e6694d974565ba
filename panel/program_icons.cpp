#include "panel/program_icons.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
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

// The keys of the "[Desktop Entry]" group (localized keys left out).
QHash<QString, QString> DesktopEntry(const QString& path) {
    QHash<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return keys;
    }
    bool inEntry = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith('[')) {
            inEntry = line == "[Desktop Entry]";
        } else if (inEntry && !line.startsWith('#')) {
            const qsizetype equals = line.indexOf('=');
            if (equals > 0) {
                keys.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
            }
        }
    }
    return keys;
}

// Program (full path or file name) -> icon name, from the desktop entries of the folders.
QHash<QString, QString> IconNamesIn(const QStringList& folders) {
    QHash<QString, QString> found;
    for (const QString& folder : folders) {
        const QDir dir(folder);
        for (const QFileInfo& file : dir.entryInfoList({"*.desktop"}, QDir::Files)) {
            const QHash<QString, QString> entry = DesktopEntry(file.absoluteFilePath());
            const QString icon = entry.value("Icon");
            if (icon.isEmpty()) {
                continue;
            }
            for (const char* key : {"TryExec", "Exec"}) {
                const QString program = ExecProgram(entry.value(key));
                // The earlier folders (the user's own entries first) take precedence.
                if (!program.isEmpty() && !found.contains(program)) {
                    found.insert(program, icon);  // a name or a full path
                }
            }
        }
    }
    return found;
}

QString IconNameFor(const QHash<QString, QString>& names, const QString& programPath) {
    auto it = names.find(programPath);
    if (it == names.end()) {
        it = names.find(QFileInfo(programPath).fileName());
    }
    return it == names.end() ? QString() : *it;
}

QIcon GenericIcon() {
    return QIcon::fromTheme("application-x-executable",
                            QApplication::style()->standardIcon(QStyle::SP_FileIcon));
}

}  // namespace

QString DesktopIconName(const QString& programPath, const QStringList& folders) {
    return IconNameFor(IconNamesIn(folders), programPath);
}

QIcon ProgramIcon(const QString& programPath) {
    // Every desktop entry the user sees, read once.
    static const QHash<QString, QString> names =
        IconNamesIn(QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation));
    const QString name = IconNameFor(names, programPath);
    if (name.isEmpty()) {
        return GenericIcon();
    }
    if (QFileInfo(name).isAbsolute()) {
        return QIcon(name);
    }
    return QIcon::fromTheme(name, GenericIcon());
}

}  // namespace zen::panel
