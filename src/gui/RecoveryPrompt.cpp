#include "gui/RecoveryPrompt.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>

#include "core/Model.h"
#include "core/link/LinkEngine.h"
#include "core/record/RunJournal.h"

namespace {
const char* const kTitle = "KV2047";
}

QString journalFolder(const QString& configDirGiven) {
    return QFile::decodeName(kv::journalDirFor(QFile::encodeName(configDirGiven).toStdString()).c_str());
}

bool offerRecovery(QWidget* parent, kv::Model& model, kv::RunJournal& journal) {
    // A run under way is not replaced by an old one.
    if (model.link.runInProgress) return false;
    const auto found = kv::findUnfinishedJournals(journal.dir());
    if (found.empty()) return false;
    const kv::JournalEntry& e = found.front();

    QMessageBox box(QMessageBox::Question, kTitle, kRecoverQuestion, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    const int rate = e.header.intervalMs / 1000;
    box.setInformativeText(
        QString("%1 sample(s) at %2 s from %3.\nNo keeps the recording aside in %4.")
            .arg(e.count)
            .arg(rate)
            .arg(QString::fromStdString(kv::formatLocalTime(static_cast<std::time_t>(e.header.startTime),
                                                            "%d/%m/%y %H:%M:%S")),
                 QDir::toNativeSeparators(QFile::decodeName(journal.dir().c_str()))));
    const QString path = QFile::decodeName(e.path.c_str());
    if (box.exec() == QMessageBox::Yes) {
        kv::JournalContents j;
        if (!journal.adopt(e.path, &j)) {
            QMessageBox::warning(parent, kTitle,
                                 QString("The interrupted recording could not be read:\n%1")
                                     .arg(QString::fromStdString(journal.error())));
            return false;
        }
        kv::restoreJournal(j, model);
        return true;
    }
    std::string error;
    if (kv::setJournalAside(e.path, &error).empty())
        QMessageBox::warning(parent, kTitle,
                             QString("The interrupted recording \"%1\" could not be set aside:\n%2")
                                 .arg(QDir::toNativeSeparators(path), QString::fromStdString(error)));
    return false;
}
