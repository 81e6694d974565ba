#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QLocalServer;

namespace zen::panel {

// One panel per session: the first panel listens on a local socket named after the user and
// the session (in the run directory), as the control window's class is found on Windows. A
// later start hands its request to that panel and ends.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // What a later start asks of the running panel.
    static constexpr char kShowHint[] = "hint";   // show balloon 207
    static constexpr char kOpenPanel[] = "open";  // open the main window ("-open")
    // Every request is answered with this line once the panel's event loop took it; an
    // unknown request does nothing else (a monitor can ask whether the panel is up).
    static constexpr char kAnswer[] = "ok";

    explicit SingleInstance(QObject* parent);

    // The socket of this user's panel in this session.
    static QString ServerPath();

    // Hands `request` to the running panel of the session and waits a moment for its answer;
    // false when none runs. `answered` tells whether the answer came.
    static bool SendToRunning(const QByteArray& request, bool* answered = nullptr);

    // Becomes the session's panel; a socket left by a dead panel is replaced. False when the
    // socket cannot be made.
    bool Listen();

signals:
    void requestReceived(const QByteArray& request);

private:
    QLocalServer* server_ = nullptr;
};

}  // namespace zen::panel
