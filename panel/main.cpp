#include <QApplication>

#include "panel/panel_app.h"
#include "platform/console_user.h"

int main(int argc, char** argv) {
    zen::SetEnvironment(zen::WithConsoleSessions(zen::Environment::FromProcess()));
    QApplication application(argc, argv);
    // The panel lives in the tray: closing its windows never ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    zen::panel::CZenCPApp panel(QApplication::arguments());
    if (const std::optional<int> code = panel.Start()) {
        return *code;
    }
    return QApplication::exec();
}
