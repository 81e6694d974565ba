#include "panel/command_line.h"

#include <algorithm>
#include <iterator>

namespace zen::panel {
namespace {

constexpr const char* kKnownWords[] = {kWordRemoveAll, kWordTray, kWordTest, kWordOpen, kWordHelp};

}  // namespace

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

std::optional<QString> UnknownWord(const QStringList& arguments) {
    for (const QString& argument : arguments.mid(1)) {
        const bool known =
            std::any_of(std::begin(kKnownWords), std::end(kKnownWords), [&](const char* word) {
                return argument.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
            });
        if (!known) {
            return argument;
        }
    }
    return std::nullopt;
}

QString CommandLineOf(const QStringList& arguments) {
    return arguments.mid(1).join(u' ');
}

}  // namespace zen::panel
