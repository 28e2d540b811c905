#pragma once
// The graph control bar above the real-time graph: the trace buttons, the Y
// axis button, the run and meter fields and the clock.
#include <QBasicTimer>
#include <QWidget>
#include <array>

class MeterSession;
class QLineEdit;
class QPushButton;

class GraphControlBar : public QWidget {
    Q_OBJECT
public:
    GraphControlBar(MeterSession& session, QWidget* parent);

    // Copies the five run and meter texts of the session into their fields.
    void refreshDisplay();

    // The fields in the order start time, data number, battery, sample rate,
    // sample count, clock; and the buttons AIR, WB, DP, IR/K, RH, Combine, Y Axis.
    enum Field { StartTime, DataNo, Battery, SampleRate, SampleCount, Clock, FieldCount };
    QLineEdit* field(Field f) const { return fields_[f]; }
    QPushButton* button(int i) const { return buttons_[i]; }

    // The Y Axis button's procedure: the Y scale dialog, then a redraw on OK.
    // Returns whether the graph was redrawn (false when the dialog was cancelled).
    bool editYScale();

protected:
    void timerEvent(QTimerEvent* e) override;

private:
    void tickClock();
    void setTraces(const uint8_t (&pattern)[5]);

    MeterSession& session_;
    std::array<QLineEdit*, FieldCount> fields_{};
    std::array<QPushButton*, 7> buttons_{};
    QBasicTimer clock_;
};
