// The run journal: what a killed or powered-off run leaves on the disk, and
// what comes back of it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <tuple>

#include "core/Model.h"
#include "app/TempDir.h"
#include "faults/FileSizeLimit.h"
#include "core/record/DataFile.h"
#include "core/record/RunFiles.h"
#include "core/record/RunJournal.h"
#include "core/record/RunRestore.h"
#include "core/record/TextTable.h"

namespace fs = std::filesystem;

namespace {

// A model as it stands when a run's first frame was accepted.
std::unique_ptr<kv::Model> startedRun(std::time_t start = 1185521435, int rateS = 5, int count = 1000) {
    auto m = std::make_unique<kv::Model>();
    m->run.runStartTime = start;
    m->run.intervalMs = rateS * 1000;
    m->run.countTarget = count;
    m->run.unitFlag = 0;
    m->run.unitText = "C";
    m->run.yGain = 20;
    m->run.yOffset = -2;
    m->link.runInProgress = 1;
    m->link.stopped = 0;
    m->run.n = 0;
    return m;
}

// The decoder writes at n, the sample timer commits it.
void commit(kv::Model& m, kv::RunJournal& j, float base) {
    const int n = m.run.n;
    for (int q = 0; q < kv::kQuantities; ++q) m.doc->live[q][n] = base + q * 0.25f;
    ++m.run.n;
    ASSERT_TRUE(j.append(m)) << j.error();
}

std::vector<std::string> journalsIn(const fs::path& dir, const std::string& suffix = kv::kJournalSuffix) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            out.push_back(e.path().string());
    }
    return out;
}

// Writes a journal of `samples` samples and leaves it unfinished, as a killed program does.
std::string interruptedJournal(const TempDir& dir, int samples, std::time_t start = 1185521435) {
    auto m = startedRun(start);
    kv::RunJournal j(dir.path.string());
    EXPECT_TRUE(j.begin(*m)) << j.error();
    for (int i = 0; i < samples; ++i) commit(*m, j, 20.0f + i);
    return j.path();
}   // closed without its finish marker

}  // namespace

TEST(RunJournal, SamplesAndWhatSaveNeedsComeBack) {
    TempDir dir;
    auto m = startedRun();
    m->run.unitFlag = 1;
    m->run.unitText = "F";
    std::string path;
    {
        kv::RunJournal j(dir.path.string());
        ASSERT_TRUE(j.begin(*m)) << j.error();
        path = j.path();
        EXPECT_EQ(fs::file_size(path), kv::kJournalHeaderBytes);
        for (int i = 0; i < 7; ++i) commit(*m, j, 10.0f + i);
        m->doc->live[kv::KIR][7] = 99.0f;   // the frame being taken: not committed, not journaled
        m->run.yGain = 50;                  // the scale changed during the run
        m->run.yOffset = 5;
        commit(*m, j, 30.0f);
        // Every commit is on the disk at once, one record each.
        EXPECT_EQ(fs::file_size(path), kv::kJournalHeaderBytes + 8 * kv::kJournalRecordBytes);
    }
    kv::JournalContents c;
    std::string err;
    ASSERT_TRUE(kv::readJournal(path, c, &err)) << err;
    EXPECT_FALSE(c.finished);
    EXPECT_FALSE(c.torn);
    ASSERT_EQ(c.count, 8);
    EXPECT_EQ(c.header.startTime, 1185521435);
    EXPECT_EQ(c.header.intervalMs, 5000);
    EXPECT_EQ(c.header.countTarget, 1000);
    EXPECT_EQ(c.header.unitText, 'F');
    EXPECT_EQ(c.header.pid, static_cast<int32_t>(getpid()));
    EXPECT_EQ(c.unitFlag, 1);
    EXPECT_EQ(c.yGain, 50);
    EXPECT_EQ(c.yOffset, 5);
    for (int i = 0; i < 8; ++i)
        for (int q = 0; q < kv::kQuantities; ++q)
            EXPECT_EQ(c.samples[i * 5 + q], m->doc->live[q][i]) << i << "," << q;

    // Restored into a fresh program: what Save writes is what the run would have saved.
    auto r = std::make_unique<kv::Model>();
    kv::restoreJournal(c, *r);
    EXPECT_EQ(r->run.n, 8);
    EXPECT_EQ(r->run.runStartTime, 1185521435);
    EXPECT_EQ(r->run.intervalMs, 5000);
    EXPECT_EQ(r->run.unitText, "F");
    EXPECT_EQ(r->link.runInProgress, 0);
    EXPECT_EQ(r->link.hasRunData, 1) << "the next Run offers to save the recovered samples";
    EXPECT_EQ(r->bar.dataNo, "8");
    auto saved = kv::makeRunRecord(), expected = kv::makeRunRecord();
    kv::snapshotLiveRun(*r->doc, r->run, *saved);
    kv::snapshotLiveRun(*m->doc, m->run, *expected);
    EXPECT_EQ(kv::encodeDataFile(*saved), kv::encodeDataFile(*expected));
}

// Damage a power cut (or a bad disk) can leave, and how much of the run survives it.
struct TornRow {
    const char* name;
    std::function<void(std::string&)> damage;
    int count;
    bool torn;
};

class JournalDamage : public ::testing::TestWithParam<TornRow> {};

TEST_P(JournalDamage, ReadsUpToTheLastGoodRecord) {
    kv::JournalHeader h;
    h.startTime = 1000;
    h.intervalMs = 1000;
    std::string file = kv::encodeJournalHeader(h);
    for (uint32_t i = 0; i < 5; ++i) {
        const float q[5] = {float(i), 1, 2, 3, 4};
        file += kv::encodeJournalRecord(i, q, 0, 10, 0);
    }
    GetParam().damage(file);
    kv::JournalContents c;
    ASSERT_TRUE(kv::parseJournal(reinterpret_cast<const uint8_t*>(file.data()), file.size(), c, nullptr));
    EXPECT_EQ(c.count, GetParam().count);
    EXPECT_EQ(c.torn, GetParam().torn);
    EXPECT_FALSE(c.finished);
    for (int i = 0; i < c.count; ++i) EXPECT_EQ(c.samples[i * 5], float(i));
}

const std::size_t H = kv::kJournalHeaderBytes, R = kv::kJournalRecordBytes;
INSTANTIATE_TEST_SUITE_P(
    Journal, JournalDamage,
    ::testing::Values(
        TornRow{"Intact", [](std::string&) {}, 5, false},
        TornRow{"LastRecordCutShort", [](std::string& f) { f.resize(f.size() - 7); }, 4, true},
        TornRow{"OnlyHeader", [](std::string& f) { f.resize(H); }, 0, false},
        TornRow{"HeaderAndAFewBytes", [](std::string& f) { f.resize(H + 3); }, 0, true},
        TornRow{"ThirdRecordFlipped", [](std::string& f) { f[H + 2 * R + 6] ^= 0x40; }, 2, true},
        TornRow{"ZerosWrittenOverTheTail", [](std::string& f) { std::fill(f.begin() + H + 3 * R, f.end(), '\0'); },
                3, true},
        TornRow{"RecordRepeated", [](std::string& f) { f.replace(H + 3 * R, R, f.substr(H + 2 * R, R)); }, 3, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RunJournal, DamagedHeaderIsRefused) {
    const struct {
        const char* name;
        std::function<void(std::string&)> damage;
    } rows[] = {
        {"empty", [](std::string& f) { f.clear(); }},
        {"short", [](std::string& f) { f.resize(40); }},
        {"magic", [](std::string& f) { f[0] = 'X'; }},
        {"crc", [](std::string& f) { f[9] ^= 1; }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string file = kv::encodeJournalHeader({});
        const float q[5] = {};
        file += kv::encodeJournalRecord(0, q, 0, 10, 0);
        row.damage(file);
        kv::JournalContents c;
        std::string err;
        EXPECT_FALSE(kv::parseJournal(reinterpret_cast<const uint8_t*>(file.data()), file.size(), c, &err));
        EXPECT_FALSE(err.empty());
    }
}

// The bytes the format defines, written out by hand with their CRC-32 (the
// reflected polynomial 0xEDB88320 of zlib and Ethernet) worked out apart from
// the program, so a wrong CRC cannot agree with itself.
TEST(JournalFormat, BytesAndCrcAreTheFormatsNotOnlyTheEncodersOwn) {
    const std::string check = "123456789";
    EXPECT_EQ(kv::crc32(reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0xCBF43926u);
    const std::string golden =
        "4b56323034374a311b9fa9460000000088130000e80300000146000014000000"   // header
        "feffffff9210000000000000000000000000000000000000000000000262c495"
        "000000000000bc41000092410000704100a00cc60000704201fe14000bd96195"   // sample 0
        "ffffffff000000000000000000000000000000000000000000000000ffffffff";  // finish marker
    kv::JournalHeader h;
    h.startTime = 1185521435;
    h.intervalMs = 5000;
    h.countTarget = 1000;
    h.unitFlag = 1;
    h.unitText = 'F';
    h.yGain = 20;
    h.yOffset = -2;
    h.pid = 4242;
    const float q[5] = {23.5f, 18.25f, 15.0f, kv::kNoKir, 60.0f};
    const std::string bytes = kv::encodeJournalHeader(h) + kv::encodeJournalRecord(0, q, 1, 20, -2) +
                              kv::encodeJournalFinish();
    std::string hex;
    for (const unsigned char b : bytes) {
        static const char kDigits[] = "0123456789abcdef";
        hex += kDigits[b >> 4];
        hex += kDigits[b & 15];
    }
    EXPECT_EQ(hex, golden);

    std::string file;
    for (std::size_t i = 0; i + 1 < golden.size(); i += 2)
        file += static_cast<char>(std::stoi(golden.substr(i, 2), nullptr, 16));
    kv::JournalContents c;
    ASSERT_TRUE(kv::parseJournal(reinterpret_cast<const uint8_t*>(file.data()), file.size(), c, nullptr));
    EXPECT_TRUE(c.finished);
    ASSERT_EQ(c.count, 1);
    EXPECT_EQ(c.header.startTime, 1185521435);
    EXPECT_EQ(c.header.pid, 4242);
    EXPECT_EQ(c.samples, std::vector<float>(q, q + 5));
    EXPECT_EQ(std::tie(c.unitFlag, c.yGain, c.yOffset), std::make_tuple(uint8_t(1), 20, -2));
}

TEST(RunJournal, OnlyInterruptedRunsNobodyHoldsAreOffered) {
    TempDir dir;
    const std::string older = interruptedJournal(dir, 3, 1000);
    const std::string newer = interruptedJournal(dir, 2, 2000);
    const std::string empty = interruptedJournal(dir, 0, 3000);   // killed before its first sample
    writeText(dir.file("notes.txt"), "not a journal");
    writeText(dir.file("broken.kvj"), "KV2047J1 but cut");
    // A pipe by a journal's name: opening it to read would wait for a writer for ever.
    const std::string pipe = dir.file("pipe.kvj");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);

    // A finished run and one that a running program is still writing.
    auto done = startedRun(4000);
    kv::RunJournal finished(dir.path.string());
    ASSERT_TRUE(finished.begin(*done));
    commit(*done, finished, 1.0f);
    ASSERT_TRUE(finished.finish());
    auto live = startedRun(5000);
    auto running = std::make_unique<kv::RunJournal>(dir.path.string());
    ASSERT_TRUE(running->begin(*live));
    commit(*live, *running, 1.0f);

    const auto found = kv::findUnfinishedJournals(dir.path.string());
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].path, newer) << "the newest run is offered first";
    EXPECT_EQ(found[0].count, 2);
    EXPECT_EQ(found[1].path, older);
    EXPECT_FALSE(fs::exists(empty)) << "a journal without a sample is removed";
    EXPECT_TRUE(fs::exists(dir.file("broken.kvj"))) << "what cannot be read is not deleted";
    EXPECT_TRUE(fs::exists(pipe));
    EXPECT_TRUE(fs::exists(running->path()));
    kv::JournalContents none;
    std::string why;
    EXPECT_FALSE(kv::readJournal(pipe, none, &why));
    EXPECT_NE(why.find("not a regular file"), std::string::npos) << why;
    kv::RunJournal taker(dir.path.string());
    EXPECT_FALSE(taker.adopt(pipe));

    // Once its program ends without finishing, the running journal is offered too.
    const std::string runningPath = running->path();
    running.reset();
    const auto after = kv::findUnfinishedJournals(dir.path.string());
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(after[0].path, runningPath);
}

TEST(RunJournal, FinishedOnlyWhenToldAndReplacedByTheNextRun) {
    TempDir dir;
    auto m = startedRun();
    kv::RunJournal j(dir.path.string());
    ASSERT_TRUE(j.begin(*m));
    commit(*m, j, 1.0f);
    const std::string first = journalsIn(dir.path).at(0);
    ASSERT_TRUE(j.finish());
    EXPECT_FALSE(j.isOpen());
    EXPECT_TRUE(kv::findUnfinishedJournals(dir.path.string()).empty());
    kv::JournalContents c;
    ASSERT_TRUE(kv::readJournal(first, c, nullptr));
    EXPECT_TRUE(c.finished);
    EXPECT_EQ(c.count, 1);

    // The next run replaces the finished journal; an interrupted one of another program stays.
    const std::string other = interruptedJournal(dir, 2, 10);
    auto next = startedRun(9999);
    ASSERT_TRUE(j.begin(*next));
    EXPECT_FALSE(fs::exists(first));
    EXPECT_TRUE(fs::exists(other));
    EXPECT_NE(j.path(), first);
}

TEST(RunJournal, AppendWritesEachSampleOnce) {
    TempDir dir;
    auto m = startedRun();
    kv::RunJournal j(dir.path.string());
    ASSERT_TRUE(j.begin(*m));
    commit(*m, j, 1.0f);
    ASSERT_TRUE(j.append(*m));   // no new commit: nothing written
    // Two commits before the journal heard of them (a commit it missed): both written, in order.
    m->doc->live[kv::AIR][1] = 2.0f;
    m->doc->live[kv::AIR][2] = 3.0f;
    m->run.n = 3;
    ASSERT_TRUE(j.append(*m));
    kv::JournalContents c;
    ASSERT_TRUE(kv::readJournal(j.path(), c, nullptr));
    ASSERT_EQ(c.count, 3);
    EXPECT_EQ(c.samples[0], 1.0f);
    EXPECT_EQ(c.samples[5], 2.0f);
    EXPECT_EQ(c.samples[10], 3.0f);
}

TEST(RunJournal, RecoveredJournalIsHeldUntilSavedAndFinishedAfterItsLastGoodRecord) {
    TempDir dir;
    const std::string path = interruptedJournal(dir, 4);
    {   // a power cut tore a fifth record
        std::string bytes = readText(path);
        bytes += std::string(11, '\x5A');
        writeText(path, bytes);
    }
    kv::RunJournal holder(dir.path.string());
    kv::JournalContents c;
    ASSERT_TRUE(holder.adopt(path, &c)) << holder.error();
    EXPECT_EQ(c.count, 4);
    EXPECT_TRUE(holder.adopted());
    EXPECT_TRUE(kv::findUnfinishedJournals(dir.path.string()).empty()) << "held: not offered to anybody else";

    auto m = std::make_unique<kv::Model>();
    kv::restoreJournal(c, *m);

    ASSERT_TRUE(holder.finish());
    kv::JournalContents after;
    ASSERT_TRUE(kv::readJournal(path, after, nullptr));
    EXPECT_TRUE(after.finished);
    EXPECT_EQ(after.count, 4);
    EXPECT_EQ(fs::file_size(path), kv::kJournalHeaderBytes + 5 * kv::kJournalRecordBytes);

    kv::RunJournal again(dir.path.string());
    EXPECT_FALSE(again.adopt(path)) << "a finished journal is not taken over";
}

TEST(RunJournal, DeclinedJournalIsRenamedAsideNotDeleted) {
    TempDir dir;
    const std::string a = interruptedJournal(dir, 2);
    std::string err;
    const std::string aside = kv::setJournalAside(a, &err);
    ASSERT_FALSE(aside.empty()) << err;
    EXPECT_FALSE(fs::exists(a));
    EXPECT_TRUE(fs::exists(aside));
    EXPECT_TRUE(kv::findUnfinishedJournals(dir.path.string()).empty());
    kv::JournalContents c;
    ASSERT_TRUE(kv::readJournal(aside, c, nullptr));
    EXPECT_EQ(c.count, 2);

    // A second journal of the same name does not overwrite the first one set aside.
    fs::copy_file(aside, a);
    const std::string aside2 = kv::setJournalAside(a, &err);
    EXPECT_NE(aside2, aside);
    EXPECT_TRUE(fs::exists(aside));
    EXPECT_TRUE(fs::exists(aside2));
}

TEST(RunJournal, RestoreKeepsTheGraphScaleWhenTheJournalsIsNotAChoice) {
    kv::JournalContents c;
    c.count = 1;
    c.samples = {1, 2, 3, 4, 5};
    c.header.intervalMs = 2000;
    c.header.countTarget = 3000;
    const struct { int32_t gain, offset, wantGain, wantOffset; } rows[] = {
        {50, -5, 50, -5},
        {0, 0, 10, 2},     // a gain of 0 would divide by zero in the graph
        {7, 0, 10, 2},
        {10, 3, 10, 2},
    };
    for (const auto& row : rows) {
        c.yGain = row.gain;
        c.yOffset = row.offset;
        auto m = std::make_unique<kv::Model>();
        m->run.yGain = 10;
        m->run.yOffset = 2;
        kv::restoreJournal(c, *m);
        EXPECT_EQ(m->run.yGain, row.wantGain) << row.gain;
        EXPECT_EQ(m->run.yOffset, row.wantOffset) << row.gain;
        EXPECT_EQ(m->bar.sampleRate, "2");
        EXPECT_EQ(m->bar.sampleCount, "3000");
    }
}

TEST(RunJournal, FolderFollowsTheConfigurationOrTheStateFolder) {
    const char* oldState = std::getenv("XDG_STATE_HOME");
    const char* oldHome = std::getenv("HOME");
    const std::string keepState = oldState ? oldState : "", keepHome = oldHome ? oldHome : "";
    const struct { const char* beside; const char* state; const char* home; const char* want; } rows[] = {
        {"/cfg", "/st", "/home/u", "/cfg"},
        {"", "/st", "/home/u", "/st/kv2047"},
        {"", "", "/home/u/", "/home/u/.local/state/kv2047"},
        {"", nullptr, "/home/u", "/home/u/.local/state/kv2047"},
        // A cron job without HOME: the account's home, never the current folder.
        {"", nullptr, nullptr, "<account>/.local/state/kv2047"},
    };
    const passwd* pw = ::getpwuid(::geteuid());
    ASSERT_TRUE(pw && pw->pw_dir);
    for (const auto& row : rows) {
        if (row.state) setenv("XDG_STATE_HOME", row.state, 1);
        else unsetenv("XDG_STATE_HOME");
        if (row.home) setenv("HOME", row.home, 1);
        else unsetenv("HOME");
        std::string want = row.want;
        if (want.starts_with("<account>")) want.replace(0, 9, std::string(pw->pw_dir) == "/" ? "" : pw->pw_dir);
        EXPECT_EQ(kv::journalDirFor(row.beside), want);
    }
    if (oldState) setenv("XDG_STATE_HOME", keepState.c_str(), 1);
    else unsetenv("XDG_STATE_HOME");
    if (oldHome) setenv("HOME", keepHome.c_str(), 1);
}

TEST(RunJournal, UnwritableFolderIsReported) {
    TempDir dir;
    writeText(dir.file("state"), "a file where the folder should be");
    auto m = startedRun();
    kv::RunJournal j(dir.file("state"));
    EXPECT_FALSE(j.begin(*m));
    EXPECT_FALSE(j.error().empty());
    EXPECT_FALSE(j.isOpen());
}

// A disk that fills mid-run cuts a record short. Once the run is saved its
// journal is finished (space came back) or gone (still full): never offered
// next time as an interrupted run holding a stale part of it.
TEST(RunJournal, DiskFullMidRunLeavesNoStaleRecovery) {
    for (const bool spaceBack : {true, false}) {
        SCOPED_TRACE(spaceBack ? "space back before the save" : "still full at the save");
        TempDir dir;
        auto m = startedRun();
        kv::RunJournal j(dir.path.string());
        ASSERT_TRUE(j.begin(*m));
        for (int i = 0; i < 3; ++i) commit(*m, j, 20.0f + i);
        const std::string path = j.path();
        {
            FileSizeLimit full(kv::kJournalHeaderBytes + 3 * kv::kJournalRecordBytes + 16);   // half a record more
            ASSERT_TRUE(full.ok());
            for (int i = 0; i < 2; ++i) {
                for (int q = 0; q < kv::kQuantities; ++q) m->doc->live[q][m->run.n] = 30.0f;
                ++m->run.n;
                EXPECT_FALSE(j.append(*m));
            }
            if (!spaceBack) {
                EXPECT_FALSE(j.finish());
            }
        }
        if (spaceBack) {
            commit(*m, j, 40.0f);
            EXPECT_TRUE(j.finish()) << j.error();
            kv::JournalContents c;
            ASSERT_TRUE(kv::readJournal(path, c, nullptr));
            EXPECT_TRUE(c.finished);
            EXPECT_EQ(c.count, 6) << "the samples the full disk refused were caught up";
        } else {
            EXPECT_FALSE(fs::exists(path));
        }
        EXPECT_TRUE(kv::findUnfinishedJournals(dir.path.string()).empty());
    }
}

TEST(WriteRunFiles, DataFileAndTextTableOrNothing) {
    TempDir dir;
    auto m = startedRun();
    kv::RunJournal j(dir.path.string());
    ASSERT_TRUE(j.begin(*m));
    for (int i = 0; i < 10; ++i) commit(*m, j, 20.0f + i);
    std::string err;
    ASSERT_TRUE(kv::writeRunFiles(dir.file("run.AsmDat"), *m->doc, m->run, true, &err)) << err;
    auto rec = kv::makeRunRecord();
    ASSERT_TRUE(kv::readDataFile(dir.file("run.AsmDat"), *rec).ok());
    EXPECT_EQ(rec->run.count, 10);
    EXPECT_EQ(rec->run.interval, 5);
    EXPECT_EQ(rec->yGain, 20);
    EXPECT_EQ(fs::file_size(dir.file("run.AsmDat")), kv::dataFileSize(10));
    EXPECT_EQ(readText(dir.file("run.txt")), kv::exportText(rec->run));

    // An older file stays as it was when the new one cannot be written.
    writeText(dir.file("keep.AsmDat"), "older");
    EXPECT_FALSE(kv::writeRunFiles(dir.file("missing/x.AsmDat"), *m->doc, m->run, true, &err));
    EXPECT_NE(err.find("missing"), std::string::npos);
    fs::create_directory(dir.file("keep.txt"));   // the text table's name is taken by a folder
    EXPECT_FALSE(kv::writeRunFiles(dir.file("keep.AsmDat"), *m->doc, m->run, true, &err));
    EXPECT_EQ(readText(dir.file("keep.AsmDat")), "older");
    for (const auto& e : fs::directory_iterator(dir.path))
        EXPECT_EQ(e.path().filename().string().find(".AsmDat."), std::string::npos) << "temporary left behind";
}
