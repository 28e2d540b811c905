#include "gui/panels/UpDownArrows.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

UpDownArrows::UpDownArrows(QWidget* buddy, QWidget* parent) : QWidget(parent), buddy_(buddy) {
    setFocusPolicy(Qt::NoFocus);
    setToolTip(buddy->toolTip());
    buddy_->installEventFilter(this);
}

void UpDownArrows::step(int direction) {
    if (onDelta) onDelta(direction);
}

void UpDownArrows::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int h = height() / 2;
    const QRect halves[2] = {QRect(0, 0, width(), h), QRect(0, h, width(), height() - h)};
    for (int i = 0; i < 2; ++i) {
        QStyleOptionButton bo;
        bo.initFrom(this);
        bo.rect = halves[i];
        const bool down = held_ == (i == 0 ? 1 : -1);
        bo.state |= down ? QStyle::State_Sunken : QStyle::State_Raised;
        style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &bo, &p, this);
        QStyleOption ao;
        ao.initFrom(this);
        ao.rect = halves[i].adjusted(2, 1, -2, -1);
        style()->drawPrimitive(i == 0 ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown, &ao, &p, this);
    }
}

void UpDownArrows::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    held_ = e->position().y() < height() / 2.0 ? 1 : -1;
    heldFor_.start();
    update();
    step(held_);
    repeat_.start(400, this);
}

void UpDownArrows::mouseReleaseEvent(QMouseEvent*) {
    held_ = 0;
    repeat_.stop();
    update();
}

void UpDownArrows::timerEvent(QTimerEvent* e) {
    if (e->timerId() != repeat_.timerId()) return QWidget::timerEvent(e);
    if (!held_) {
        repeat_.stop();
        return;
    }
    // Held arrows speed up: steps of 1, after two seconds 5, after five 20.
    const qint64 ms = heldFor_.elapsed();
    step(held_ * (ms >= 5000 ? 20 : ms >= 2000 ? 5 : 1));
    repeat_.start(100, this);
}

bool UpDownArrows::eventFilter(QObject* obj, QEvent* e) {
    if (obj == buddy_ && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            step(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(obj, e);
}
