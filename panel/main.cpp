#include <QApplication>
#include <cstdio>
#include <cstring>

#include "panel/command_line.h"
#include "panel/panel_app.h"
#include "platform/console_user.h"

int main(int argc, char** argv) {
    // Before Qt, which needs a display: the usage is read on any terminal.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], zen::panel::kWordHelp) == 0) {
            std::fputs(zen::panel::kUsage, stdout);
            return 0;
        }
    }
    zen::SetEnvironment(zen::WithConsoleSessions(zen::Environment::FromProcess()));
    QApplication application(argc, argv);
    // Qt has taken its own options (-platform, -style...) out of the arguments by now.
    if (const std::optional<QString> unknown = zen::panel::UnknownWord(QApplication::arguments())) {
        std::fprintf(stderr, "zencp: unknown word \"%s\"\n%s", qPrintable(*unknown),
                     zen::panel::kUsage);
        return 2;
    }
    // The panel lives in the tray: closing its windows never ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    zen::panel::CZenCPApp panel(QApplication::arguments());
    if (const std::optional<int> code = panel.Start()) {
        return *code;
    }
    return QApplication::exec();
}
