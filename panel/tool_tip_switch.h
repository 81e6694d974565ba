#pragma once

#include <QObject>
#include <functional>

namespace zen::panel {

// The options' "Enable/Disable Tooltip" switch for the whole panel: while it says off, no
// widget of the process shows a tool tip (the timetable grid's included), because the tips
// are stopped before any widget sees the request.
class ToolTipSwitch : public QObject {
    Q_OBJECT
public:
    using TipsOff = std::function<bool()>;
    ToolTipSwitch(TipsOff tipsOff, QObject* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TipsOff tipsOff_;
};

}  // namespace zen::panel
