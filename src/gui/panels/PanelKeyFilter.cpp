#include "gui/panels/PanelKeyFilter.h"

#include <QAbstractItemView>
#include <QChildEvent>
#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

namespace {

class PanelKeyFilter : public QObject {
public:
    explicit PanelKeyFilter(QWidget* root) : QObject(root), root_(root) {}

    void watch(QObject* o) {
        if (o == this) return;
        o->installEventFilter(this);
        for (QObject* c : o->children()) watch(c);
    }

protected:
    bool eventFilter(QObject* obj, QEvent* e) override {
        // Windows of their own opened from here (a dialog, a list's popup)
        // keep their Enter and Esc.
        if (obj->isWidgetType() && static_cast<QWidget*>(obj)->window() != root_->window())
            return QObject::eventFilter(obj, e);
        if (e->type() == QEvent::KeyPress || e->type() == QEvent::ShortcutOverride) {
            const int key = static_cast<QKeyEvent*>(e)->key();
            // A list takes Enter for its own: it opens the row it is on.
            const bool list = qobject_cast<QAbstractItemView*>(obj) && key != Qt::Key_Escape;
            if (!list && (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter)) {
                e->accept();
                return e->type() == QEvent::KeyPress;
            }
        } else if (e->type() == QEvent::ChildAdded) {
            watch(static_cast<QChildEvent*>(e)->child());
        }
        return QObject::eventFilter(obj, e);
    }

private:
    QWidget* root_;
};

}  // namespace

namespace kv {

void installPanelKeyFilter(QWidget* w) {
    auto* f = new PanelKeyFilter(w);
    f->watch(w);
}

}  // namespace kv
