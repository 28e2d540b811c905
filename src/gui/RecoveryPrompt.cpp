#include "gui/RecoveryPrompt.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>

#include "core/link/LinkEngine.h"
#include "session/MeterSession.h"
#include "session/Folders.h"

namespace {
}

bool offerRecovery(QWidget* parent, MeterSession& session) {
    // A run under way is not replaced by an old one.
    if (session.isRunInProgress()) return false;
    const auto found = session.interruptedRuns();
    if (found.empty()) return false;
    const kv::JournalEntry& e = found.front();

    QMessageBox box(QMessageBox::Question, QGuiApplication::applicationDisplayName(), kRecoverQuestion, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    const int rate = e.header.intervalMs / 1000;
    box.setInformativeText(
        QString("%1 sample(s) at %2 s from %3.\nNo keeps the recording aside in %4.")
            .arg(e.count)
            .arg(rate)
            .arg(QString::fromStdString(kv::formatLocalTime(static_cast<std::time_t>(e.header.startTime),
                                                            "%d/%m/%y %H:%M:%S")),
                 QDir::toNativeSeparators(fromCorePath(session.journal().dir()))));
    const QString path = fromCorePath(e.path);
    QString error;
    if (box.exec() == QMessageBox::Yes) {
        if (session.recover(e, &error)) return true;
        QMessageBox::warning(parent, QGuiApplication::applicationDisplayName(), QString("The interrupted recording could not be read:\n%1").arg(error));
        return false;
    }
    if (!session.setAside(e, &error))
        QMessageBox::warning(parent, QGuiApplication::applicationDisplayName(),
                             QString("The interrupted recording \"%1\" could not be set aside:\n%2")
                                 .arg(QDir::toNativeSeparators(path), error));
    return false;
}
