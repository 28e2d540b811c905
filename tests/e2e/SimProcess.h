#pragma once
// Starts kv2047-sim (path in $KV2047_SIM) as a child process, reads the
// pseudo-terminal path it prints first, and reads back its command log.
#include <signal.h>

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include <functional>

namespace kvtest {

class SimProcess {
public:
    // `args` are the sim's options; --log and --log-time are added.
    explicit SimProcess(QStringList args = {}) : args_(std::move(args)) {}
    ~SimProcess() { stop(); }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    static QString program() { return qEnvironmentVariable("KV2047_SIM"); }

    // Starts the sim and waits for its first line. False with `error()` set on failure.
    bool start(int timeoutMs = 20000) {
        if (program().isEmpty()) {
            error_ = "KV2047_SIM is not set";
            return false;
        }
        if (!dir_.isValid()) {
            error_ = "no temporary directory";
            return false;
        }
        QStringList args = args_;
        args << "--log" << logPath() << "--log-time";
        proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proc_.start(program(), args);
        if (!proc_.waitForStarted(timeoutMs)) {
            error_ = "cannot start " + program() + ": " + proc_.errorString();
            return false;
        }
        const bool gotLine = QTest::qWaitFor(
            [&] {
                proc_.waitForReadyRead(10);
                return proc_.canReadLine() || proc_.state() != QProcess::Running;
            },
            timeoutMs);
        if (!gotLine || !proc_.canReadLine()) {
            error_ = "the sim printed no terminal path";
            return false;
        }
        path_ = QString::fromLocal8Bit(proc_.readLine()).trimmed();
        return !path_.isEmpty();
    }

    void stop() {
        if (proc_.state() == QProcess::NotRunning) return;
        resume();
        proc_.terminate();
        if (!proc_.waitForFinished(10000)) {
            proc_.kill();
            proc_.waitForFinished(5000);
        }
    }

    // Freezes and thaws the sim: a meter that falls silent and comes back.
    void pause() { ::kill(pid_t(proc_.processId()), SIGSTOP); }
    void resume() { ::kill(pid_t(proc_.processId()), SIGCONT); }

    QString ptyPath() const { return path_; }
    QString error() const { return error_; }
    QString logPath() const { return dir_.filePath("sim.log"); }
    QProcess& process() { return proc_; }

    struct LogLine {
        qint64 ms;     // since the sim started
        QString hex;   // "FF AA 55 ..."
    };
    QList<LogLine> log() const {
        QList<LogLine> out;
        QFile f(logPath());
        if (!f.open(QIODevice::ReadOnly)) return out;
        for (const QByteArray& raw : f.readAll().split('\n')) {
            const QString line = QString::fromLatin1(raw).trimmed();
            const qsizetype sp = line.indexOf(' ');
            if (sp <= 0) continue;
            out.append({line.left(sp).toLongLong(), line.mid(sp + 1)});
        }
        return out;
    }
    int count(const QString& hex) const {
        int n = 0;
        for (const auto& l : log()) n += l.hex == hex;
        return n;
    }
    // Waits (running the event loop) until the log satisfies `pred`.
    bool waitForLog(const std::function<bool(const QList<LogLine>&)>& pred, int timeoutMs) const {
        return QTest::qWaitFor([&] { return pred(log()); }, timeoutMs);
    }

private:
    QStringList args_;
    QTemporaryDir dir_;
    QProcess proc_;
    QString path_, error_;
};

}  // namespace kvtest
