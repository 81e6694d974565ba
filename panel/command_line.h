#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace zen::panel {

// The words the panel understands on its command line.
inline constexpr char kWordRemoveAll[] = "-removeAll";
inline constexpr char kWordTray[] = "-h";
inline constexpr char kWordTest[] = "-test";
// Ours: where the session has no tray to double-click, a second start with this word opens
// the running panel's main window behind the password.
inline constexpr char kWordOpen[] = "-open";
inline constexpr char kWordHelp[] = "--help";

inline constexpr char kUsage[] = R"(Usage: zencp [-h | -open | -removeAll | -test]
The Zentimo control panel: a clock in the tray that opens the panel behind the
administrator password. Words are matched in any letter case.

  (none)      start in the tray; a second start in the session shows a hint
  -h          start in the tray and show the hint at once
  -open       open the panel's window (the running panel's, when there is one)
  -removeAll  ask for the administrator password before a removal: exit code 0
              when given, 5 when refused
  -test       show "Invalid Function Call" once the window is made, and end
  --help      show this text

A word zencp does not know ends it with exit code 2. See zencp(1).
)";

// True when `word` stands in the command line as a whole word: preceded by the start of the
// line or a blank and followed by a blank or the end, without regard to case.
bool HasWord(const QString& commandLine, const QString& word);

// The first argument (the program's name left out) that is none of the panel's words, as
// Qt left them; nothing when every one is known.
std::optional<QString> UnknownWord(const QStringList& arguments);

// The arguments joined by blanks, as the line the program was started with.
QString CommandLineOf(const QStringList& arguments);

}  // namespace zen::panel
