#pragma once
// Answers the modal dialogs a command opens, one step per dialog, in order.
// Each step gets the new modal widget and acts on it (queued, so the dialog's
// own event loop does the work).
#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <vector>

namespace kvtest {

class ModalScript {
public:
    using Step = std::function<void(QWidget*)>;
    explicit ModalScript(std::vector<Step> steps) : steps_(std::move(steps)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(5);
    }
    // The modal widgets seen, in order (their window titles and texts are kept).
    struct Seen { QString className, title, text; };
    const std::vector<Seen>& seen() const { return seen_; }
    bool done() const { return next_ >= steps_.size(); }

private:
    void poll() {
        QWidget* w = QApplication::activeModalWidget();
        if (w && next_ >= steps_.size() && ++idlePolls_ > 400) {
            // A dialog nobody planned for: close it so the test fails instead of hanging.
            idlePolls_ = 0;
            seen_.push_back({"unexpected", w->windowTitle(), {}});
            if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
            else w->close();
            return;
        }
        if (!w || w == last_ || next_ >= steps_.size()) return;
        last_ = w;
        QString text;
        if (auto* box = qobject_cast<QMessageBox*>(w)) text = box->text();
        seen_.push_back({w->metaObject()->className(), w->windowTitle(), text});
        Step step = steps_[next_++];
        QTimer::singleShot(0, w, [w, step] { step(w); });
    }
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    int idlePolls_ = 0;
    QPointer<QWidget> last_;
    std::vector<Seen> seen_;
    QTimer timer_;
};

// Points a file dialog at `path` as a user typing it would.
inline void selectPath(QFileDialog* d, const QString& path) {
    const QFileInfo info(path);
    d->setDirectory(info.absolutePath());
    if (auto* edit = d->findChild<QLineEdit*>("fileNameEdit")) edit->setText(info.fileName());
    else d->selectFile(path);
}

// Steps for the usual answers.
inline ModalScript::Step chooseFile(const QString& path) {
    return [path](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        if (!d) return;
        selectPath(d, path);
        static_cast<QDialog*>(d)->accept();
    };
}
inline ModalScript::Step cancel() {
    return [](QWidget* w) {
        if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
    };
}
inline ModalScript::Step press(QMessageBox::StandardButton b) {
    return [b](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) box->button(b) ? box->button(b)->click() : box->reject();
    };
}
// The text the file dialog proposes as the file name.
inline QString proposedName(QWidget* w) {
    auto* edit = w->findChild<QLineEdit*>("fileNameEdit");
    return edit ? edit->text() : QString();
}

}  // namespace kvtest
