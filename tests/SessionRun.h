#pragma once
// A recorded run put into a meter session the way the program gets one back
// after a crash: a journal written into the session's journal folder and
// recovered through MeterSession::recover. Tests and benchmarks that need a
// run of many samples start from it, without writing the session's model.
#include <QDir>
#include <QFile>
#include <QString>

#include <ctime>
#include <functional>
#include <string>

#include "core/record/JournalFormat.h"
#include "core/record/RunJournal.h"
#include "session/MeterSession.h"

namespace kvtest {

struct RunSpec {
    int n = 0;                       // committed samples
    int intervalMs = 1000;
    std::time_t start = 0;
    uint8_t unitFlag = 0;            // 1 = Fahrenheit
    int32_t yGain = 10, yOffset = 0;
    int32_t countTarget = 1000;
    // Quantity q of sample i.
    std::function<float(int q, int i)> value = [](int, int) { return 20.0f; };
};

// False (with the reason in *error) when the journal could not be written or recovered.
inline bool putRun(MeterSession& session, const RunSpec& spec, QString* error = nullptr) {
    static int serial = 0;
    const QString dir = QFile::decodeName(session.journal().dir().c_str());
    const QString path = QDir(dir).filePath(QStringLiteral("put-%1.kvj").arg(++serial));
    kv::JournalHeader h;
    h.startTime = spec.start;
    h.intervalMs = spec.intervalMs;
    h.countTarget = spec.countTarget;
    h.unitFlag = spec.unitFlag;
    h.unitText = spec.unitFlag ? 'F' : 'C';
    h.yGain = spec.yGain;
    h.yOffset = spec.yOffset;
    std::string bytes = kv::encodeJournalHeader(h);
    for (int i = 0; i < spec.n; ++i) {
        float q[kv::kQuantities];
        for (int k = 0; k < kv::kQuantities; ++k) q[k] = spec.value(k, i);
        bytes += kv::encodeJournalRecord(static_cast<uint32_t>(i), q, spec.unitFlag, spec.yGain, spec.yOffset);
    }
    QFile f(path);
    if (!QDir().mkpath(dir) || !f.open(QIODevice::WriteOnly) ||
        f.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
        if (error) *error = path + ": " + f.errorString();
        return false;
    }
    f.close();
    kv::JournalEntry entry;
    entry.path = QFile::encodeName(path).toStdString();
    entry.header = h;
    entry.count = spec.n;
    return session.recover(entry, error);
}

}  // namespace kvtest
