#pragma once

#include <QString>
#include <QStringList>

namespace zen::panel {

// The words the panel understands on its command line.
inline constexpr char kWordRemoveAll[] = "-removeAll";
inline constexpr char kWordTray[] = "-h";
inline constexpr char kWordTest[] = "-test";
// Ours: where the session has no tray to double-click, a second start with this word opens
// the running panel's main window behind the password.
inline constexpr char kWordOpen[] = "-open";

// True when `word` stands in the command line as a whole word: preceded by the start of the
// line or a blank and followed by a blank or the end, without regard to case.
bool HasWord(const QString& commandLine, const QString& word);

// The arguments joined by blanks, as the line the program was started with.
QString CommandLineOf(const QStringList& arguments);

}  // namespace zen::panel
