#include "panel/panel_app.h"

#include <QCoreApplication>

#include "common/db/error_log.h"
#include "common/db/object_names.h"
#include "common/db/options_file.h"
#include "common/db/rules_model.h"
#include "panel/command_line.h"
#include "panel/dialog_widgets.h"
#include "panel/layout_file.h"
#include "panel/main_window.h"
#include "panel/message_box.h"
#include "panel/page_catalog.h"
#include "panel/password_dialog.h"
#include "panel/single_instance.h"
#include "panel/strings.h"
#include "panel/tool_tip_switch.h"
#include "panel/tray.h"
#include "platform/named_mutex.h"
#include "platform/text.h"

namespace zen::panel {
namespace {

// The options as stored, read without a word in the error log when they cannot be.
std::optional<Options> LoadOptionsQuietly() {
    Options options = OptionsDefault();
    NamedMutex mutex;
    if (!mutex.Open(kOptionsMutexName) ||
        SerializeOptions(options, false, false, true, mutex) == 0) {
        return std::nullopt;
    }
    return options;
}

}  // namespace

CZenCPApp::CZenCPApp(QStringList arguments) : commandLine_(CommandLineOf(arguments)) {}

CZenCPApp::~CZenCPApp() {
    // The watcher hands messages to this object; it stops before anything here goes.
    db_.Term();
}

std::optional<int> CZenCPApp::Start() {
    const bool testMode = HasWord(commandLine_, kWordTest);
    db_.SetMessageHook([this](const std::u16string& text) {
        // Called on the database's watcher thread; the balloon is shown on the GUI thread.
        QMetaObject::invokeMethod(
            this, [this, shown = FromU16(text)] { ShowBalloon(shown); }, Qt::QueuedConnection);
    });
    const std::optional<Options> options = LoadOptionsQuietly();

    if (HasWord(commandLine_, kWordRemoveAll)) {
        const std::u16string stored(options ? FieldText(options->password) : std::u16string_view());
        return PasswordGate(stored, nullptr) ? 0 : kExitRefused;
    }

    const QByteArray request =
        HasWord(commandLine_, kWordOpen) ? SingleInstance::kOpenPanel : SingleInstance::kShowHint;
    if (SingleInstance::SendToRunning(request)) {
        return 0;
    }
    instance_ = new SingleInstance(this);
    if (!instance_->Listen()) {
        if (SingleInstance::SendToRunning(request)) {
            return 0;
        }
        LogError("zencp: cannot make the session's panel socket");
    }

    if (!options) {
        ShowMessage(nullptr, 148, QMessageBox::Critical);
        return kExitFailed;
    }
    if (db_.Init(false) == 0) {
        ShowMessage(nullptr, 147, QMessageBox::Critical);
        return kExitFailed;
    }
    ShareLayoutFile();
    toolTips_ = new ToolTipSwitch([this] { return db_.OptionsCopy().toolTipsOff != 0; }, this);

    main_ = std::make_unique<CDlgZenCP>(db_, PanelPages());
    connect(main_.get(), &CDlgZenCP::ended, this, [] { QCoreApplication::exit(0); });
    connect(instance_, &SingleInstance::requestReceived, this, &CZenCPApp::HandleRequest);
    if (testMode) {
        ShowMessageText(nullptr, "Invalid Function Call", QMessageBox::Critical);
        return 0;
    }
    if (HasWord(commandLine_, kWordTray)) {
        ShowBalloon(Text(207));
    }
    if (HasWord(commandLine_, kWordOpen)) {
        main_->OpenPanel();
    }
    return std::nullopt;
}

void CZenCPApp::ShowBalloon(const QString& text) {
    if (main_ != nullptr) {
        main_->tray().ShowBalloon(text, BalloonKind::Information);
    }
}

void CZenCPApp::HandleRequest(const QByteArray& request) {
    if (request == SingleInstance::kShowHint) {
        ShowBalloon(Text(207));
    } else if (request == SingleInstance::kOpenPanel && main_ != nullptr) {
        main_->OpenPanel();
    }
}

}  // namespace zen::panel
