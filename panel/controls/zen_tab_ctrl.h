#pragma once

#include <QStringList>

#include "panel/controls/zen_control.h"

namespace zen::panel {

// The section strip: tabs laid out from the left, each 84 pixels wide plus a gap of 3,
// bottom-aligned, the chosen one drawn last over its neighbours. A click counts only on the
// tab picture itself (its shape, not its box), and makes that tab the chosen one.
class CZenTabCtrl : public ZenControl {
    Q_OBJECT
public:
    static constexpr int kTabWidth = 84;
    static constexpr int kGap = 3;
    static constexpr int kTabHeight = 30;

    CZenTabCtrl(int controlId, QWidget* parent);

    // Replaces the captions; the first tab becomes the chosen one (and is announced).
    void setTabs(const QStringList& captions);
    const QStringList& tabs() const { return captions_; }
    int chosen() const { return chosen_; }
    // The tab under a point, or -1.
    int tabAt(QPoint point) const;
    QRect tabRect(int index) const;
    // Makes the tab the chosen one, as a click on it does.
    void choose(int index);
    // Chooses the tab `by` places on, round the strip (Ctrl+Tab, the arrow keys).
    void step(int by);

signals:
    // Message 1135 from the strip: a tab was chosen.
    void tabChosen(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // A tab acts by being chosen, not by Space or Enter.
    bool TakesPress() const override { return false; }

private:
    void PaintTab(QPainter& painter, int index);

    QStringList captions_;
    int chosen_ = -1;
};

}  // namespace zen::panel
