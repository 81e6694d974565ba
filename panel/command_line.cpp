#include "panel/command_line.h"

namespace zen::panel {

bool HasWord(const QString& commandLine, const QString& word) {
    if (word.isEmpty()) {
        return false;
    }
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = commandLine.indexOf(word, from, Qt::CaseInsensitive);
        if (at < 0) {
            return false;
        }
        const qsizetype end = at + word.size();
        const bool startsWord = at == 0 || commandLine.at(at - 1) == u' ';
        const bool endsWord = end == commandLine.size() || commandLine.at(end) == u' ';
        if (startsWord && endsWord) {
            return true;
        }
        from = at + 1;
    }
}

QString CommandLineOf(const QStringList& arguments) {
    return arguments.mid(1).join(u' ');
}

}  // namespace zen::panel
