#pragma once

#include <QString>
#include <QUrl>

namespace zen::panel {

// The manual's start topic.
inline constexpr char kStartTopic[] = "::/index.html";

// The manual is HTML under share/zentimo/manual of the program folder; a topic
// "::/manual/x.html#n" is the file manual/x.html there and its anchor n.
QUrl HelpUrl(const QString& topic);

// Opens the topic in the desktop's browser (the start topic when `topic` is empty).
void OpenHelp(const QString& topic);

}  // namespace zen::panel
