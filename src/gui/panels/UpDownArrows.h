#pragma once
// A small up-down control beside a limit field. It does not write the field:
// it reports the proposed change (+1 / -1, larger while an arrow is held) and
// the owner decides. The Up and Down keys in the field work it too.
#include <QBasicTimer>
#include <QElapsedTimer>
#include <QWidget>
#include <functional>

class UpDownArrows : public QWidget {
    Q_OBJECT
public:
    UpDownArrows(QWidget* buddy, QWidget* parent);

    QWidget* buddy() const { return buddy_; }
    // Called with the proposed change for every step.
    std::function<void(int delta)> onDelta;

    // Steps as a click on an arrow does.
    void step(int direction);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void timerEvent(QTimerEvent* e) override;
    bool eventFilter(QObject* obj, QEvent* e) override;

private:
    int held_ = 0;  // +1 upper arrow held, -1 lower, 0 none
    QWidget* buddy_;
    QBasicTimer repeat_;
    QElapsedTimer heldFor_;
};
