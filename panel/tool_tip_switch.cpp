#include "panel/tool_tip_switch.h"

#include <QCoreApplication>
#include <QEvent>

namespace zen::panel {

ToolTipSwitch::ToolTipSwitch(TipsOff tipsOff, QObject* parent)
    : QObject(parent), tipsOff_(std::move(tipsOff)) {
    QCoreApplication::instance()->installEventFilter(this);
}

bool ToolTipSwitch::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip && tipsOff_()) {
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace zen::panel
