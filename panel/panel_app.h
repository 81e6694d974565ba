#pragma once

#include <QObject>
#include <QStringList>
#include <memory>
#include <optional>

#include "common/db/db_manager.h"

namespace zen::panel {

class CDlgZenCP;
class SingleInstance;
class ToolTipSwitch;

// The control panel's start, one per process: the command line words, one panel per
// session, the rules database with its message hook (the messages of the service and the
// filter become balloons), and the main window hidden in the tray.
class CZenCPApp : public QObject {
    Q_OBJECT
public:
    static constexpr int kExitRefused = 5;
    static constexpr int kExitFailed = 1;

    explicit CZenCPApp(QStringList arguments);
    ~CZenCPApp() override;

    // Runs the start. An exit code when the program ends at once; nothing when the main
    // window runs (the program ends with QCoreApplication::exit when it goes).
    std::optional<int> Start();

    CDlgZenCP* mainWindow() const { return main_.get(); }
    CDBManager& db() { return db_; }

private:
    void ShowBalloon(const QString& text);
    void HandleRequest(const QByteArray& request);

    QString commandLine_;
    CDBManager db_;
    std::unique_ptr<CDlgZenCP> main_;
    SingleInstance* instance_ = nullptr;
    ToolTipSwitch* toolTips_ = nullptr;
};

}  // namespace zen::panel
