#include "gui/panels/GraphControlBar.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimerEvent>
#include <ctime>

#include "core/link/LinkEngine.h"
#include "gui/dialogs/YScaleDialog.h"
#include "gui/panels/PanelFonts.h"
#include "gui/panels/PanelKeyFilter.h"
#include "session/MeterSession.h"

using kv::dialogUnits;

namespace {

struct TraceButton {
    const char* caption;
    int x, width;
    uint8_t pattern[5];
    const char* tip;
};
// Switch patterns in the order AIR, WB, DP, K/IR, RH.
constexpr TraceButton kTraceButtons[6] = {
    {"AIR", 0, 16, {1, 0, 0, 0, 0}, "Show only the AIR trace"},
    {"WB", 16, 16, {0, 1, 0, 0, 0}, "Show only the WB trace"},
    {"DP", 32, 16, {0, 0, 1, 0, 0}, "Show only the DP trace"},
    {"IR/K", 48, 16, {0, 0, 0, 1, 0}, "Show only the K/IR trace"},
    {"RH", 64, 16, {0, 0, 0, 0, 1}, "Show only the RH trace"},
    {"Combine", 80, 32, {1, 1, 1, 1, 1}, "Show all five traces"},
};

}  // namespace

GraphControlBar::GraphControlBar(MeterSession& session, QWidget* parent) : QWidget(parent), session_(session) {
    hide();
    kv::applyPanelColours(this);
    const QFont fieldFont = kv::panelFont("Arial", -14, 500);
    const QFont clockFont = kv::panelFont("Black Arial", -20, 500);

    auto* title = new QLabel("Real-Time Graph", this);
    title->setGeometry(dialogUnits(161, 0, 60, 8));

    for (int i = 0; i < 6; ++i) {
        const TraceButton& t = kTraceButtons[i];
        auto* b = new QPushButton(t.caption, this);
        b->setGeometry(dialogUnits(t.x, 13, t.width, 14));
        b->setToolTip(t.tip);
        connect(b, &QPushButton::clicked, this, [this, i] { setTraces(kTraceButtons[i].pattern); });
        buttons_[i] = b;
    }
    buttons_[6] = new QPushButton("Y Axis", this);
    buttons_[6]->setGeometry(dialogUnits(117, 13, 32, 14));
    buttons_[6]->setToolTip("Set the offset and the gain of the graph's Y axis");
    connect(buttons_[6], &QPushButton::clicked, this, &GraphControlBar::editYScale);
    for (QPushButton* b : buttons_) {
        b->setFont(fieldFont);
        b->setAutoDefault(false);
    }

    struct Label { const char* text; QRect at; };
    const Label labels[] = {
        {"voltage stage", dialogUnits(162, 15, 44, 9)}, {"Start Time", dialogUnits(1, 33, 35, 8)},
        {"Sample Rate", dialogUnits(113, 33, 43, 8)},   {"Sec", dialogUnits(195, 32, 15, 12)},
        {"Sample Data", dialogUnits(211, 33, 43, 8)},   {"DataNo.", dialogUnits(292, 33, 26, 8)},
    };
    for (const Label& l : labels) {
        auto* w = new QLabel(l.text, this);
        w->setGeometry(l.at);
        w->setFont(fieldFont);
    }

    struct FieldPlace { Field f; QRect at; const char* tip; };
    const FieldPlace places[] = {
        {StartTime, dialogUnits(36, 32, 76, 12), "Time of the run's first sample"},
        {DataNo, dialogUnits(320, 32, 33, 12), "Samples taken so far in the run"},
        {Battery, dialogUnits(212, 14, 39, 12), "The meter's battery"},
        {SampleRate, dialogUnits(157, 32, 37, 12), "Seconds between samples"},
        {SampleCount, dialogUnits(255, 32, 35, 12), "Samples the run is to take"},
        {Clock, dialogUnits(255, 9, 98, 18), "Date and time"},
    };
    for (const FieldPlace& p : places) {
        auto* e = new QLineEdit(this);
        e->setReadOnly(true);
        e->setGeometry(p.at);
        e->setFont(p.f == Clock ? clockFont : fieldFont);
        e->setToolTip(p.tip);
        e->setFocusPolicy(Qt::ClickFocus);
        fields_[p.f] = e;
    }

    kv::installPanelKeyFilter(this);
    // The battery comes with each frame, the data number and start time with
    // each sample, rate and count with a confirmed Run.
    const auto refresh = [this] { refreshDisplay(); };
    connect(&session_, &MeterSession::frameAccepted, this, refresh);
    connect(&session_, &MeterSession::sampleCommitted, this, refresh);
    connect(&session_, &MeterSession::runArmed, this, refresh);
    connect(&session_, &MeterSession::runRestored, this, refresh);
    tickClock();
    clock_.start(1000, this);
}

void GraphControlBar::refreshDisplay() {
    const kv::BarTexts& t = session_.model().bar;
    const std::string* texts[Clock] = {&t.startTime, &t.dataNo, &t.battery, &t.sampleRate, &t.sampleCount};
    for (int i = 0; i < Clock; ++i) {
        const QString s = QString::fromStdString(*texts[i]);
        if (fields_[i]->text() != s) fields_[i]->setText(s);
    }
}

void GraphControlBar::tickClock() {
    const QString now = QString::fromStdString(kv::formatLocalTime(std::time(nullptr), "%d/%m/%y %H:%M:%S"));
    if (fields_[Clock]->text() != now) fields_[Clock]->setText(now);
}

void GraphControlBar::timerEvent(QTimerEvent* e) {
    if (e->timerId() == clock_.timerId()) tickClock();
    QWidget::timerEvent(e);
}

void GraphControlBar::setTraces(const uint8_t (&pattern)[5]) {
    session_.setTraces(pattern);
}

bool GraphControlBar::editYScale() {
    const kv::RunState& run = session_.model().run;
    int offset = run.yOffset, gain = run.yGain;
    if (!YScaleDialog::edit(this, offset, gain)) return false;
    session_.setYScale(offset, gain);
    return true;
}
