#pragma once

#include <QString>
#include <QUrl>

class QWidget;

namespace zen::panel {

// The manual's start topic.
inline constexpr char kStartTopic[] = "::/index.html";

// The manual is HTML under share/zentimo/manual of the program folder; a topic
// "::/manual/x.html#n" is the file manual/x.html there and its anchor n.
QUrl HelpUrl(const QString& topic);

// Where the manual is looked for: the installed one unless a test chose another folder
// (an empty `folder` goes back to the installed one).
void SetManualFolder(const QString& folder);

// Opens the topic in the desktop's browser (the start topic when `topic` is empty). Without
// the manual's file (a build tree, a package without it) a message over `parent` says where
// it was looked for.
void OpenHelp(const QString& topic, QWidget* parent);

}  // namespace zen::panel
