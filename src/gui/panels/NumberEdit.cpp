#include "gui/panels/NumberEdit.h"

#include <QInputMethodEvent>
#include <QKeyEvent>

#include "core/panels/NumEntry.h"

namespace {
bool allAccepted(const QString& text) {
    for (const QChar c : text)
        if (!kv::numEntryAccepts(c.unicode())) return false;
    return true;
}
}  // namespace

void NumberEdit::keyPressEvent(QKeyEvent* e) {
    // Keys that type no character (arrows, Home, End, Delete) edit as usual;
    // a key that types something passes only when every character is allowed.
    const QString text = e->text();
    if (text.isEmpty() || e->key() == Qt::Key_Delete || e->key() == Qt::Key_Backspace || allAccepted(text)) {
        QLineEdit::keyPressEvent(e);
        return;
    }
    e->accept();  // swallowed: nothing is inserted and nothing else happens
}

void NumberEdit::inputMethodEvent(QInputMethodEvent* e) {
    if (!allAccepted(e->commitString()) || !allAccepted(e->preeditString())) {
        e->accept();
        return;
    }
    QLineEdit::inputMethodEvent(e);
}
