#pragma once
// The readings and alarm panel below the real-time graph: per quantity the
// running maximum and minimum, the high and low alarm limits with their
// up-down controls, and the two blinking alarm indicators.
#include <QBasicTimer>
#include <QColor>
#include <QWidget>
#include <array>
#include <cstdint>

class MeterSession;
class UpDownArrows;
class QLineEdit;

class ReadingsPanel : public QWidget {
    Q_OBJECT
public:
    ReadingsPanel(MeterSession& session, QWidget* parent);
    // Copies the twenty texts of the session into their fields.
    void refreshDisplay();

    // Quantity q in the order AIR, WB, DP, K/IR, RH.
    QLineEdit* maxField(int q) const { return maxFields_[q]; }
    QLineEdit* minField(int q) const { return minFields_[q]; }
    QLineEdit* limitField(int q, bool high) const { return (high ? hiFields_ : loFields_)[q]; }
    UpDownArrows* limitSpin(int q, bool high) const { return (high ? hiSpins_ : loSpins_)[q]; }
    // The indicator square of a quantity's high or low alarm, in this panel's pixels.
    static QRect indicatorRect(int q, bool high);
    // Whether an indicator is blinking now.
    bool isBlinking(int q, bool high) const;

protected:
    void paintEvent(QPaintEvent* e) override;
    void timerEvent(QTimerEvent* e) override;

private:
    MeterSession& session_;
    std::array<QLineEdit*, 5> maxFields_{}, minFields_{}, hiFields_{}, loFields_{};
    std::array<UpDownArrows*, 5> hiSpins_{}, loSpins_{};
    // Indicator i = 2q (high) or 2q + 1 (low).
    std::array<QBasicTimer, 10> blink_;
    std::array<uint8_t, 10> phase_;
    std::array<QColor, 10> shown_;
    bool refreshing_ = false;
};
