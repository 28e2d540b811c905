#pragma once
// Answers the next modal message box: records its title and text and presses
// its default button, so a test can go through code that asks the user.
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <memory>

struct SeenBox {
    bool seen = false;
    QString title;
    QString text;
};

// Polls for a message box for up to `ms` milliseconds after the caller
// enters the code that shows it.
inline void answerNextMessageBox(SeenBox* out, int ms = 2000) {
    auto* timer = new QTimer;
    auto remaining = std::make_shared<int>(ms / 10);
    QObject::connect(timer, &QTimer::timeout, [timer, out, remaining] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            out->seen = true;
            out->title = box->windowTitle();
            out->text = box->text();
            box->accept();
        } else if (--*remaining > 0) {
            return;
        }
        timer->stop();
        timer->deleteLater();
    });
    timer->start(10);
}
