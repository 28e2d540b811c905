#include "gui/panels/MeterKeyButton.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include "core/panels/MeterKeys.h"
#include "gui/Fonts.h"

MeterKeyButton::MeterKeyButton(const kv::MeterKey& key, QWidget* parent) : QAbstractButton(parent), key_(key) {
    setObjectName(key.name);
    setGeometry(key.x, key.y, key.width, key.height);
    const QString tip = QString::fromUtf8(key.tip);
    setToolTip(tip);
    // A screen reader names the key by what it does on the meter.
    setAccessibleName(tip.section(QStringLiteral(" ("), 0, 0));
    setAccessibleDescription(key.doubleClick ? QStringLiteral("Presses the meter's key; a double-click or Shift+Space "
                                                              "gives its second function")
                                             : QStringLiteral("Presses the meter's key"));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

const QPixmap& MeterKeyButton::image() {
    // Drawn from its vectors at the screen's pixel density.
    return kv::svgPicture(image_, QStringLiteral(":/artwork/keys/%1").arg(key_.image),
                          QSize(key_.imageWidth, key_.imageHeight), devicePixelRatioF(), Qt::transparent);
}

void MeterKeyButton::paintEvent(QPaintEvent*) {
    // The same picture in every state, copied from its top-left corner.
    QPainter p(this);
    p.drawPixmap(0, 0, image());
    if (hasFocus()) {
        QStyleOptionFocusRect o;
        o.initFrom(this);
        o.rect = rect().adjusted(1, 1, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &o, &p, this);
    }
}

void MeterKeyButton::keyPressEvent(QKeyEvent* e) {
    QAbstractButton::keyPressEvent(e);   // Space presses the key
    // Shift+Space: the second function, as a double-click gives it.
    if (e->key() == Qt::Key_Space && e->modifiers() == Qt::ShiftModifier && !e->isAutoRepeat()) emit doubleClicked();
}

void MeterKeyButton::mouseDoubleClickEvent(QMouseEvent* e) {
    QAbstractButton::mouseDoubleClickEvent(e);  // the second press: pressed() again
    if (e->button() == Qt::LeftButton) emit doubleClicked();
}
