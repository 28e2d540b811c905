#pragma once
// Helpers of the journal's end-to-end tests: answering the questions a main
// window asks, running kv2047-tool, and the journals of a folder.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

#include <functional>
#include <string>

#include "core/record/RunJournal.h"

namespace kvtest {

struct Asked {
    QString title, text;
};

// Answers every message box shown while `fn` runs with `answer`, recording each.
inline QList<Asked> answering(QMessageBox::StandardButton answer, const std::function<void()>& fn) {
    QList<Asked> seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen.append({box->windowTitle(), box->text()});
            if (QAbstractButton* b = box->button(answer)) b->click();
            else box->reject();
        }
    });
    poll.start(20);
    fn();
    return seen;
}

struct ToolRun {
    int status = -1;
    QString out, err;
};

inline QString toolProgram() { return qEnvironmentVariable("KV2047_TOOL"); }

// kv2047-tool with its run journals in `journalDir`.
inline void prepareTool(QProcess& p, const QString& journalDir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KV2047_CONFIG_DIR", journalDir);
    p.setProcessEnvironment(env);
    p.setProgram(toolProgram());
}

inline ToolRun runTool(const QStringList& args, const QString& journalDir, int timeoutMs = 30000) {
    QProcess p;
    prepareTool(p, journalDir);
    p.setArguments(args);
    p.start();
    ToolRun r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
        r.err = "timed out";
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

// The samples count `kv2047-tool info` reports for a data file, -1 when it fails.
inline int infoSamples(const QString& file, const QString& journalDir) {
    const ToolRun r = runTool({"info", file}, journalDir);
    const qsizetype at = r.out.indexOf("\"samples\":");
    if (r.status != 0 || at < 0) return -1;
    return r.out.mid(at + 10).section(',', 0, 0).toInt();
}

inline QStringList journalFiles(const QString& dir, const QString& pattern = "*.kvj") {
    QStringList out;
    for (const QString& f : QDir(dir).entryList({pattern}, QDir::Files)) out << QDir(dir).filePath(f);
    return out;
}

// Good sample records of a journal (-1 when it cannot be read).
inline int journalCount(const QString& path, kv::JournalContents* contents = nullptr) {
    kv::JournalContents c;
    if (!kv::readJournal(path.toStdString(), c, nullptr)) return -1;
    if (contents) *contents = c;
    return c.count;
}

}  // namespace kvtest
