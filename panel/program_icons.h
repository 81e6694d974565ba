#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>

namespace zen::panel {

// The icon a program's list row shows: the icon of the desktop entry whose Exec or TryExec
// names the program (by path or file name), from the desktop's icon theme; else a generic
// executable icon. Desktop entries are read once per process.
QIcon ProgramIcon(const QString& programPath);

// The Icon of the desktop entry in `folders` that names the program ("" when none does): a
// theme icon name or an absolute file.
QString DesktopIconName(const QString& programPath, const QStringList& folders);

}  // namespace zen::panel
