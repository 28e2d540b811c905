// The meter session on Windows, through the Win32 serial line, on the
// simulated meter: scripts/test-windows maps COM1 to the simulator's
// pseudo-terminal (kv2047-sim --period 100 --silence-after 100 --log LOG) and
// names the log in KV2047_SIM_LOG.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QtTest/QTest>

#include "core/link/CommandPacket.h"
#include "core/panels/MeterKeys.h"
#include "session/MeterSession.h"

namespace {

QString hex(const kv::Command& c) {
    return QByteArray(reinterpret_cast<const char*>(c.data()), static_cast<qsizetype>(c.size())).toHex(' ').toUpper();
}

bool logHas(const QString& path, const QString& hexBytes) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && QString::fromLatin1(f.readAll()).contains(hexBytes);
}

TEST(SessionOnCom1, FramesAcknowledgementKeysAndSilence) {
    const QString log = qEnvironmentVariable("KV2047_SIM_LOG");
    if (log.isEmpty()) GTEST_SKIP() << "KV2047_SIM_LOG is not set (scripts/test-windows sets it)";
    const QString journals = QDir::tempPath() + "/kv2047-com1-test";
    MeterSession session;
    session.setJournalDir(journals);
    QSignalSpy frames(&session, &MeterSession::frameAccepted), offline(&session, &MeterSession::offlineChanged),
        silent(&session, &MeterSession::meterSilent), samples(&session, &MeterSession::sampleCommitted);
    EXPECT_EQ(session.deviceFor(1), "COM1") << "COMn is the port COMn";
    session.start(1);
    ASSERT_TRUE(session.isPortOpen()) << session.portError().toStdString();

    ASSERT_TRUE(QTest::qWaitFor([&] { return frames.count() >= 3; }, 20000)) << "no frames read from COM1";
    EXPECT_TRUE(logHas(log, hex(kv::makeCommand(kv::kInitPayload)))) << "initialisation command";
    EXPECT_TRUE(QTest::qWaitFor([&] { return logHas(log, "11"); }, 5000)) << "acknowledgement";
    const kv::Command key = kv::pressCommand(kv::kMeterKeys[0]);
    session.pressKey(0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return logHas(log, hex(key)); }, 5000)) << "key " << hex(key).toStdString();

    session.run(1, 1000);
    EXPECT_TRUE(QTest::qWaitFor([&] { return samples.count() >= 2; }, 20000));

    // The simulator falls silent after its 100th frame.
    ASSERT_TRUE(QTest::qWaitFor([&] { return offline.count() >= 1; }, 30000)) << "silence not noticed";
    EXPECT_TRUE(offline.at(0).at(0).toBool());
    EXPECT_GE(silent.count(), 1);
    EXPECT_TRUE(session.isPortOpen()) << "re-opened by the watchdog: " << session.portError().toStdString();
    session.close();
    QDir(journals).removeRecursively();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
