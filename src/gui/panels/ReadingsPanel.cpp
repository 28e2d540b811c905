#include "gui/panels/ReadingsPanel.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QTimerEvent>

#include "gui/panels/NumberEdit.h"
#include "gui/panels/UpDownArrows.h"
#include "gui/panels/PanelFonts.h"
#include "gui/panels/PanelKeyFilter.h"
#include "core/panels/ReadingSet.h"
#include "session/MeterSession.h"

using kv::dialogUnits;

namespace {

const QColor kBackground(240, 240, 240);
const QColor kIdle(181, 181, 181);
const QColor kAlarm(255, 0, 0);

const char* const kRowLabels[5] = {"AIR : ", "WB :   ", "DP  :", "K/IR:   ", "RH :"};
const char* const kNames[5] = {"AIR", "WB", "DP", "K/IR", "RH"};

// Copies a text into a field when it differs. In a field being typed in the
// cursor stays where it was, so the next character goes where the user expects.
void setFieldText(QLineEdit* e, const QString& text) {
    if (e->text() == text) return;
    const int cursor = e->cursorPosition();
    const bool typing = e->hasFocus();
    e->setText(text);
    if (typing) e->setCursorPosition(std::min(cursor, static_cast<int>(text.size())));
}

}  // namespace

ReadingsPanel::ReadingsPanel(MeterSession& session, QWidget* parent) : QWidget(parent), session_(session) {
    hide();
    kv::applyPanelColours(this);
    phase_.fill(1);
    shown_.fill(kBackground);

    const QFont labelFont = kv::panelFont("black ROMAN", -14, 100, 8);
    const QFont captionFont = kv::panelFont("Arial", -14, 500);
    const QFont limitFont = kv::panelFont("black ROMAN", -12, 100);

    auto caption = [&](const char* text, int x, int y, int w, const QFont& f) {
        auto* l = new QLabel(text, this);
        l->setGeometry(dialogUnits(x, y + 2, w, 11));
        l->setFont(f);
        return l;
    };
    auto readOnly = [&](int x, int y, int w) {
        auto* e = new QLineEdit(this);
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::ClickFocus);
        e->setGeometry(dialogUnits(x, y, w, 13));
        e->setFont(captionFont);
        return e;
    };

    for (int q = 0; q < 5; ++q) {
        const int y = 14 * q;
        const kv::LimitBounds spin = kv::kSpinBounds[q], typed = kv::kTypedBounds[q];
        caption(kRowLabels[q], 1, y, 24, labelFont);
        caption("Max", 26, y, 16, captionFont);
        maxFields_[q] = readOnly(44, y, 46);
        maxFields_[q]->setToolTip(QStringLiteral("Highest %1 reading since the program started").arg(kNames[q]));
        caption("Min", 92, y, 13, captionFont);
        minFields_[q] = readOnly(108, y, 46);
        minFields_[q]->setToolTip(QStringLiteral("Lowest %1 reading since the program started").arg(kNames[q]));
        caption("Alarm Hi", 155, y, 29, captionFont);
        caption("Alarm Low", 202, y, 35, captionFont);
        caption("Hi Limit", 256, y, 26, captionFont);
        caption("Low Limit", 318, y, 32, captionFont);

        for (bool high : {true, false}) {
            // The RH high limit is a plain field; the others take number characters only.
            QLineEdit* e = (high && q == 4) ? new QLineEdit(this) : new NumberEdit(this);
            // The up-down sits at the field's right end, inside the field's place.
            const QRect place = high ? dialogUnits(283, y, 33, 13) : dialogUnits(352, y, 39, 13);
            const int spinW = 18;
            e->setGeometry(place.adjusted(0, 0, -spinW, 0));
            e->setFont(limitFont);
            e->setToolTip(QStringLiteral("%1 alarm limit for %2: %3 to %4 typed, %5 to %6 with the arrows")
                              .arg(high ? "High" : "Low", kNames[q])
                              .arg(typed.lo).arg(typed.hi).arg(spin.lo).arg(spin.hi));
            auto* s = new UpDownArrows(e, this);
            s->setGeometry(place.right() + 1 - spinW, place.top() + 2, spinW, 24);
            s->onDelta = [this, q, high](int delta) { session_.spinLimit(q, high, delta); };
            connect(e, &QLineEdit::textChanged, this, [this, q, high](const QString& t) {
                if (!refreshing_) session_.typeLimit(q, high, t);
            });
            (high ? hiFields_ : loFields_)[q] = e;
            (high ? hiSpins_ : loSpins_)[q] = s;
        }
    }
    kv::installPanelKeyFilter(this);
    // Max and Min follow every frame; the indicators follow the alarm flags,
    // which a silent meter clears.
    connect(&session_, &MeterSession::frameAccepted, this, &ReadingsPanel::refreshDisplay);
    connect(&session_, &MeterSession::runRestored, this, &ReadingsPanel::refreshDisplay);
    connect(&session_, &MeterSession::limitsChanged, this, &ReadingsPanel::refreshDisplay);
    connect(&session_, &MeterSession::alarmsChanged, this, qOverload<>(&QWidget::update));
    connect(&session_, &MeterSession::offlineChanged, this, qOverload<>(&QWidget::update));
    refreshDisplay();
}

QRect ReadingsPanel::indicatorRect(int q, bool high) { return QRect(high ? 378 : 485, 3 + 30 * q, 15, 15); }

bool ReadingsPanel::isBlinking(int q, bool high) const { return blink_[2 * q + (high ? 0 : 1)].isActive(); }

void ReadingsPanel::refreshDisplay() {
    // Text written here is not a user's typing: it is never clamped again.
    refreshing_ = true;
    const auto& rs = session_.model().readings;
    for (int q = 0; q < 5; ++q) {
        setFieldText(maxFields_[q], QString::fromStdString(rs.maxText[q]));
        setFieldText(minFields_[q], QString::fromStdString(rs.minText[q]));
        setFieldText(hiFields_[q], QString::fromStdString(rs.hiText[q]));
        setFieldText(loFields_[q], QString::fromStdString(rs.loText[q]));
    }
    refreshing_ = false;
}

void ReadingsPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const auto& link = session_.model().link;
    for (int q = 0; q < 5; ++q) {
        for (bool high : {true, false}) {
            const int i = 2 * q + (high ? 0 : 1);
            const bool on = (high ? link.alarmHigh : link.alarmLow)[q] != 0;
            if (!on) {
                blink_[i].stop();
                shown_[i] = kIdle;
            } else if (!blink_[i].isActive()) {
                // Blank until the first tick paints it red.
                shown_[i] = kBackground;
                blink_[i].start(100, this);
            }
            p.fillRect(indicatorRect(q, high), shown_[i]);
        }
    }
}

void ReadingsPanel::timerEvent(QTimerEvent* e) {
    for (int i = 0; i < 10; ++i) {
        if (e->timerId() != blink_[i].timerId()) continue;
        // Red for one tick, background for the next.
        shown_[i] = phase_[i] == 1 ? kAlarm : kBackground;
        phase_[i] = phase_[i] == 1 ? 0 : 1;
        update(indicatorRect(i / 2, i % 2 == 0));
        return;
    }
    QWidget::timerEvent(e);
}
