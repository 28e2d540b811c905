#include "gui/panels/MeterKeyButton.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QSvgRenderer>

#include "core/panels/MeterKeys.h"

MeterKeyButton::MeterKeyButton(const kv::MeterKey& key, QWidget* parent) : QAbstractButton(parent), key_(key) {
    setObjectName(key.name);
    setGeometry(key.x, key.y, key.width, key.height);
    setToolTip(key.tip);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    image_ = QPixmap(key.imageWidth, key.imageHeight);
    image_.fill(Qt::transparent);
    QSvgRenderer svg(QStringLiteral(":/artwork/keys/%1").arg(key.image));
    QPainter p(&image_);
    svg.render(&p, QRectF(0, 0, key.imageWidth, key.imageHeight));
}

void MeterKeyButton::paintEvent(QPaintEvent*) {
    // The same picture in every state, copied from its top-left corner.
    QPainter p(this);
    p.drawPixmap(0, 0, image_);
    if (hasFocus()) {
        QStyleOptionFocusRect o;
        o.initFrom(this);
        o.rect = rect().adjusted(1, 1, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &o, &p, this);
    }
}

void MeterKeyButton::mouseDoubleClickEvent(QMouseEvent* e) {
    QAbstractButton::mouseDoubleClickEvent(e);  // the second press: pressed() again
    if (e->button() == Qt::LeftButton) emit doubleClicked();
}
