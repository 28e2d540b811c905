// Faults of the disk: Save into a folder that refuses it and onto a disk that
// is full leaves the older files as they were and says why; a configuration
// file that cannot be read or written, or holds garbage, never keeps the main
// window from starting and closing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "FaultRig.h"
#include "FileSizeLimit.h"
#include "Frozen.h"
#include "gui/MainWindow.h"
#include "gui/graph/GraphImage.h"
#include "session/MeterSession.h"
#include "core/config/ProfileFile.h"
#include "core/config/Settings.h"
#include "core/io/AtomicFile.h"
#include "core/record/RunJournal.h"
#include "core/record/TextTable.h"
#include "gui/record/SaveCommand.h"

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
void writeAll(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

std::set<std::string> listing(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

class SaveFaults : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < kSamples; ++i)
            for (int q = 0; q < kv::kQuantities; ++q) model.doc->live[q][i] = 20.0f + q + 0.1f * i;
        model.run.n = kSamples;
        model.run.intervalMs = 1000;
        model.run.runStartTime = 1185522035;
        writeAll(dir / "run.AsmDat", "older run");
        writeAll(dir / "run.txt", "older table");
    }
    void TearDown() override { fs::remove_all(dir); }

    static constexpr int kSamples = 100;  // data file 2050 bytes, text table about 15 kB
    kv::Model model;
    QTemporaryDir tmp;
    fs::path dir = tmp.path().toStdString();
};

struct SaveRow {
    const char* name;
    // Sets the fault up around the save; returns null when this machine cannot make it.
    std::function<std::shared_ptr<void>(const fs::path& dir)> arrange;
    bool keepsDataFile, keepsTextFile;
};

void PrintTo(const SaveRow& r, std::ostream* os) { *os << r.name; }

class SaveFault : public SaveFaults, public ::testing::WithParamInterface<SaveRow> {};

TEST_P(SaveFault, FailsWithAReasonAndLeavesTheOlderFilesIntact) {
    const SaveRow& row = GetParam();
    QString error;
    bool saved = true;
    std::set<std::string> before;
    fs::file_type textType{};
    {
        const std::shared_ptr<void> fault = row.arrange(dir);
        if (!fault) GTEST_SKIP() << "this machine cannot make the fault";
        before = listing(dir);
        textType = fs::symlink_status(dir / "run.txt").type();
        saved = saveRunTo(QString::fromStdString((dir / "run.AsmDat").string()), model, true, &error);
    }
    EXPECT_FALSE(saved);
    EXPECT_TRUE(error.contains("could not be saved") || error.contains("could not be written")) << error.toStdString();
    EXPECT_TRUE(error.contains(QString::fromStdString(dir.string()))) << "names the file: " << error.toStdString();
    // The reason is there, after the path.
    const QStringList lines = error.split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_FALSE(lines[1].trimmed().isEmpty()) << error.toStdString();
    std::printf("%s: %s\n", row.name, qPrintable(lines[1]));

    if (row.keepsDataFile) {
        EXPECT_EQ(readAll(dir / "run.AsmDat"), "older run");
    }
    if (row.keepsTextFile) {
        EXPECT_EQ(readAll(dir / "run.txt"), "older table");
    }
    EXPECT_EQ(listing(dir), before) << "no temporary file is left behind";
    EXPECT_EQ(fs::symlink_status(dir / "run.txt").type(), textType) << "the table's path is what it was";
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SaveFault,
    ::testing::Values(
        SaveRow{"ReadOnlyFolder",
                [](const fs::path& d) -> std::shared_ptr<void> {
                    auto f = std::make_shared<Frozen>(d);
                    return f->ok() ? f : nullptr;
                },
                true, true},
        SaveRow{"DiskFullAtTheDataFile",
                [](const fs::path&) -> std::shared_ptr<void> {
                    auto l = std::make_shared<FileSizeLimit>(1024);
                    return l->ok() ? l : nullptr;
                },
                true, true},
        SaveRow{"DiskFullAtTheTextFile",
                [](const fs::path&) -> std::shared_ptr<void> {
                    auto l = std::make_shared<FileSizeLimit>(6000);
                    return l->ok() ? l : nullptr;
                },
                true, true},
        SaveRow{"TextFileIsDevFull",
                [](const fs::path& d) -> std::shared_ptr<void> {
                    // A device node like /dev/full (writes fail: no space) where the table goes.
                    fs::remove(d / "run.txt");
                    if (mknod((d / "run.txt").c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) return nullptr;
                    return std::make_shared<int>(0);
                },
                true, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SaveFaults, WorksAgainOnceTheFaultIsGone) {
    {
        FileSizeLimit full(1024);
        ASSERT_TRUE(full.ok());
        EXPECT_FALSE(saveRunTo(QString::fromStdString((dir / "run.AsmDat").string()), model, true, nullptr));
    }
    QString error;
    ASSERT_TRUE(saveRunTo(QString::fromStdString((dir / "run.AsmDat").string()), model, true, &error))
        << error.toStdString();
    EXPECT_EQ(fs::file_size(dir / "run.AsmDat"), kv::dataFileSize(kSamples));
    EXPECT_EQ(listing(dir), (std::set<std::string>{"run.AsmDat", "run.txt"}));
}

// The pair's second rename failing after the first succeeded (the second's
// temporary gone, as a file system turned read-only would leave it): the first
// is put back as it was, or removed when it had no older file.
TEST_F(SaveFaults, SecondOfAPairFailingPutsTheFirstBack) {
    const fs::path other = dir / "other";
    fs::create_directory(other);
    writeAll(other / "run.AsmDat", "older run");
    for (const bool olderTable : {true, false}) {
        SCOPED_TRACE(olderTable ? "older table" : "no older table");
        if (!olderTable) fs::remove(dir / "run.txt");
        kv::AtomicFile table((dir / "run.txt").string()), data((other / "run.AsmDat").string());
        ASSERT_TRUE(table.open() && table.write("new table") && data.open() && data.write("new run"));
        for (const auto& e : fs::directory_iterator(other))
            if (e.path().filename().string().rfind(".kv2047-", 0) == 0) fs::remove(e.path());
        EXPECT_FALSE(kv::commitPair(table, data));
        EXPECT_FALSE(data.reason().empty());
        EXPECT_EQ(readAll(other / "run.AsmDat"), "older run");
        if (olderTable) {
            EXPECT_EQ(readAll(dir / "run.txt"), "older table");
        }
        EXPECT_EQ(listing(dir), (olderTable ? std::set<std::string>{"other", "run.AsmDat", "run.txt"}
                                            : std::set<std::string>{"other", "run.AsmDat"}));
    }
}

// Every writer against every fault. Each program that writes a file is run as
// the user runs it (the tools as processes started with SIGXFSZ at its
// default, as from a shell) on an output with older files around it; a fault
// must leave every older file's bytes as they were and no temporary behind,
// and a harmless oddity (a link, a long name) must not stop the write.

struct WriteCtx {
    fs::path dir, out;       // the folder and the output the user names
    fs::path input, journal; // a data file of the run and an interrupted recording of it
    kv::Model* model;
};
struct Written {
    int status;          // 0 written, 1 I/O error, 2 refused
    std::string message;
};

Written runTool(const QStringList& args, const fs::path& journalDir) {
    QProcess p;
    p.setProgram(qEnvironmentVariable("KV2047_TOOL"));
    p.setArguments(args);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KV2047_CONFIG_DIR", QString::fromStdString(journalDir.string()));
    p.setProcessEnvironment(env);
    p.setChildProcessModifier([] { ::signal(SIGXFSZ, SIG_DFL); });
    p.start();
    if (!p.waitForFinished(60000)) return {-2, "did not finish"};
    const std::string err = p.readAllStandardError().toStdString();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, err};
}

QString q(const fs::path& p) { return QString::fromStdString(p.string()); }

struct WriterRow {
    const char* name;
    bool pair;          // a text table beside the output
    bool hasInput;      // reads a file that an output must not replace
    std::function<Written(const WriteCtx&)> write;
    const char* newHead; // what the new output starts with
};

const WriterRow kWriters[] = {
    {"Save", true, false,
     [](const WriteCtx& c) {
         QString error;
         const bool ok = saveRunTo(q(c.out), *c.model, true, &error);
         return Written{ok ? 0 : 1, error.toStdString()};
     },
     "\x06KV2047"},
    {"ConfigurationOnClose", false, false,
     [](const WriteCtx& c) {
         kv::ProfileFile ini(c.out.string());
         const bool ok = kv::writeSettingsOnClose(ini, *c.model);
         return Written{ok ? 0 : 1, ini.error()};
     },
     "; older"},
    {"GraphImage", false, false,
     [](const WriteCtx& c) {
         // Noise: more bytes than the full disk takes.
         const GraphPicture noise{QSize(64, 64), QRect(0, 0, 64, 64), Qt::white, [](const GraphCanvas& g) {
                                      std::minstd_rand r(1);
                                      for (int i = 0; i < 64 * 64; ++i)
                                          g.painter().fillRect(i % 64, i / 64, 1, 1, QColor::fromRgb(r()));
                                  }};
         QString error;
         const bool ok = writeGraphFile(q(c.out), encodeGraph(noise, ImageFormat::Png), &error);
         return Written{ok ? 0 : 1, error.toStdString()};
     },
     "\x89PNG"},
    {"ToolExport", false, true,
     [](const WriteCtx& c) {
         return runTool({"export", q(c.input), "--format", "csv", "-o", q(c.out)}, c.journal.parent_path());
     },
     "no,time"},
    {"ToolReport", false, true,
     [](const WriteCtx& c) { return runTool({"report", q(c.input), "-o", q(c.out)}, c.journal.parent_path()); },
     "%PDF"},
    {"ToolRecover", true, true,
     [](const WriteCtx& c) {
         return runTool({"recover", "-o", q(c.out), "--journal", q(c.journal)}, c.journal.parent_path());
     },
     "\x06KV2047"},
};

enum class Expect { Writes, Fails, Refused };

struct FaultRow {
    const char* name;
    std::string outName;
    // Sets the fault up; returns null when this machine cannot make it.
    std::function<std::shared_ptr<void>(const WriteCtx&)> arrange;
    Expect expect;
    bool outIsInput = false;
};

auto always = [](const WriteCtx&) -> std::shared_ptr<void> { return std::make_shared<int>(0); };

const FaultRow kFaults[] = {
    {"DiskFull", "out.AsmDat",
     [](const WriteCtx&) -> std::shared_ptr<void> {
         auto l = std::make_shared<FileSizeLimit>(1024);
         return l->ok() ? l : nullptr;
     },
     Expect::Fails},
    {"ReadOnlyFolder", "out.AsmDat",
     [](const WriteCtx& c) -> std::shared_ptr<void> {
         auto f = std::make_shared<Frozen>(c.dir);
         return f->ok() ? f : nullptr;
     },
     Expect::Fails},
    {"FolderAtThePath", "out.AsmDat",
     [](const WriteCtx& c) -> std::shared_ptr<void> {
         fs::remove(c.out);
         fs::create_directory(c.out);
         return std::make_shared<int>(0);
     },
     Expect::Fails},
    {"LinksAtTemporaryNames", "out.AsmDat",
     [](const WriteCtx& c) -> std::shared_ptr<void> {
         // Where writers have put their temporaries, aimed at a file of someone else's.
         for (const std::string suffix : {".part", ".tmp", ".new", "~"})
             fs::create_symlink(c.dir / "victim", c.out.string() + suffix);
         return std::make_shared<int>(0);
     },
     Expect::Writes},
    {"LinkAtTheFinalPath", "out.AsmDat",
     [](const WriteCtx& c) -> std::shared_ptr<void> {
         fs::create_directory(c.dir / "elsewhere");
         fs::rename(c.out, c.dir / "elsewhere" / "real");
         fs::create_symlink("elsewhere/real", c.out);
         return std::make_shared<int>(0);
     },
     Expect::Writes},
    {"LinkOfAnotherUserInASharedFolder", "shared/out.AsmDat",
     [](const WriteCtx& c) -> std::shared_ptr<void> {
         fs::remove(c.out);
         fs::permissions(c.out.parent_path(), fs::perms::all | fs::perms::sticky_bit);
         fs::create_symlink(c.dir / "victim", c.out);
         const uid_t other = geteuid() == 65534 ? 65533 : 65534;
         if (::lchown(c.out.c_str(), other, other) != 0) return nullptr;   // root only
         return std::make_shared<int>(0);
     },
     Expect::Fails},
    {"LinkOfAnotherUserToAFolderOnTheWay", "shared/d/out.AsmDat",
     [](const WriteCtx& c) -> std::shared_ptr<void> {
         // shared/d is another user's link to a folder of ours holding our files.
         const fs::path shared = c.dir / "shared", planted = shared / "d";
         fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
         fs::rename(planted, c.dir / "home");
         fs::create_symlink(c.dir / "home", planted);
         const uid_t other = geteuid() == 65534 ? 65533 : 65534;
         if (::lchown(planted.c_str(), other, other) != 0) return nullptr;   // root only
         return std::make_shared<int>(0);
     },
     Expect::Fails},
    {"FilesOfAnotherUserInAStickyFolder", "shared/out.AsmDat",
     [](const WriteCtx& c) -> std::shared_ptr<void> {
         fs::permissions(c.out.parent_path(), fs::perms::all | fs::perms::sticky_bit);
         const uid_t other = geteuid() == 65534 ? 65533 : 65534;
         for (const fs::path& p : {c.out, fs::path(kv::textFilePathFor(c.out.string()))})
             if (fs::exists(p) && ::chown(p.c_str(), other, other) != 0) return nullptr;   // root only
         return std::make_shared<int>(0);
     },
     Expect::Fails},
    {"Name250Bytes", std::string(243, 'n') + ".AsmDat", always, Expect::Writes},
    {"Name255Bytes", std::string(248, 'n') + ".AsmDat", always, Expect::Writes},
    {"OutputIsTheInput", "out.AsmDat", always, Expect::Refused, true},
};

// Every file below `dir` with its bytes (a link as its target).
std::map<std::string, std::string> snapshot(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator(); ++it) {
        const std::string rel = fs::relative(it->path(), dir).string();
        if (it->is_symlink()) files[rel] = "-> " + fs::read_symlink(it->path()).string();
        else if (it->is_regular_file()) files[rel] = readAll(it->path());
        else files[rel] = "(folder)";
    }
    return files;
}

struct WriterFault {
    const WriterRow* writer;
    const FaultRow* fault;
};
void PrintTo(const WriterFault& p, std::ostream* os) { *os << p.writer->name << "_" << p.fault->name; }

// Each writer with each fault that applies to it (an output can be an input
// only of a writer that reads a file).
std::vector<WriterFault> writerFaults() {
    std::vector<WriterFault> all;
    for (const WriterRow& w : kWriters)
        for (const FaultRow& f : kFaults)
            if (!f.outIsInput || w.hasInput) all.push_back({&w, &f});
    return all;
}

class EveryWriter : public ::testing::TestWithParam<WriterFault> {};

TEST_P(EveryWriter, KeepsTheOlderFilesOrWrites) {
    const WriterRow& writer = *GetParam().writer;
    const FaultRow& fault = *GetParam().fault;
    QTemporaryDir tmp;
    const fs::path dir = tmp.path().toStdString();
    auto model = std::make_unique<kv::Model>();
    for (int i = 0; i < 100; ++i)
        for (int q = 0; q < kv::kQuantities; ++q) model->doc->live[q][i] = 20.0f + q + 0.1f * i;
    model->run.n = 100;
    model->run.intervalMs = 1000;
    model->run.runStartTime = 1185522035;

    WriteCtx c{dir, dir / fault.outName, dir / "in.AsmDat", dir / "journal" / "run.kvj", model.get()};
    fs::create_directories(c.out.parent_path());
    fs::create_directory(dir / "journal");
    auto rec = kv::makeRunRecord();
    kv::snapshotLiveRun(*model->doc, model->run, *rec);
    writeAll(c.input, kv::encodeDataFile(*rec));
    {
        kv::RunJournal j((dir / "journal").string());
        model->run.n = 0;
        model->link.runInProgress = 1;
        ASSERT_TRUE(j.begin(*model)) << j.error();
        model->run.n = 100;
        ASSERT_TRUE(j.append(*model)) << j.error();
        fs::rename(j.path(), c.journal);
    }   // left unfinished, as a killed recording leaves it
    writeAll(dir / "victim", "someone else's file");
    // Older files at both names, larger than the file-size limit takes.
    const std::string older = "; older\n;" + std::string(2000, '#') + "\n";
    writeAll(c.out, older);
    const fs::path table = kv::textFilePathFor(c.out.string());
    if (writer.pair) writeAll(table, "older table");
    if (fault.outIsInput) c.out = writer.pair ? c.journal : c.input;

    Written w{};
    std::map<std::string, std::string> before;
    bool wasLink = false;
    {
        const std::shared_ptr<void> made = fault.arrange(c);
        if (!made) GTEST_SKIP() << "this machine cannot make the fault";
        before = snapshot(dir);
        wasLink = fs::is_symlink(c.out);
        w = writer.write(c);
    }
    std::printf("%s/%s: status %d: %s\n", writer.name, fault.name, w.status, w.message.c_str());
    EXPECT_EQ(readAll(dir / "victim"), "someone else's file");
    EXPECT_EQ(w.message.find(".kv2047-"), std::string::npos) << "names the user's path, not a temporary";
    if (fault.expect != Expect::Writes) {
        EXPECT_EQ(w.status, fault.expect == Expect::Refused ? 2 : 1) << w.message;
        EXPECT_NE(w.message.find(fault.outIsInput ? c.out.filename().string() : dir.string()), std::string::npos)
            << w.message;
        EXPECT_EQ(snapshot(dir), before) << "every older file as it was, nothing left behind";
        return;
    }
    ASSERT_EQ(w.status, 0) << w.message;
    const std::string now = readAll(c.out);
    EXPECT_EQ(now.rfind(writer.newHead, 0), 0u) << now.substr(0, 40);
    EXPECT_NE(now, older);
    if (writer.pair) {
        EXPECT_EQ(readAll(table).rfind("      NO", 0), 0u);
    }
    EXPECT_EQ(fs::is_symlink(c.out), wasLink) << "a link stays a link; its target is replaced";
    for (const auto& [name, bytes] : snapshot(dir))
        EXPECT_EQ(name.find(".kv2047-"), std::string::npos) << "temporary left behind: " << name;
}

INSTANTIATE_TEST_SUITE_P(Faults, EveryWriter, ::testing::ValuesIn(writerFaults()), [](const auto& info) {
    return std::string(info.param.writer->name) + "_" + info.param.fault->name;
});

// Configuration faults.

struct ConfigRow {
    const char* name;
    // Prepares the configuration folder; returns what must live while the window does, or null to skip.
    std::function<std::shared_ptr<void>(const fs::path& dir, fs::path& configDir)> arrange;
    bool writable;  // closing can write the settings back
};

void PrintTo(const ConfigRow& r, std::ostream* os) { *os << r.name; }

class ConfigFault : public ::testing::TestWithParam<ConfigRow> {};

std::string garbage(std::size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (auto& c : s) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    return s;
}

TEST_P(ConfigFault, MainWindowStartsAndCloses) {
    const ConfigRow& row = GetParam();
    QTemporaryDir tmp;
    const fs::path dir = tmp.path().toStdString();
    fs::path configDir = dir / "config";
    fs::create_directories(configDir);
    const std::shared_ptr<void> fault = row.arrange(dir, configDir);
    if (!fault) GTEST_SKIP() << "this machine cannot make the fault";
    const fs::path file = configDir / kv::kConfigFileName;
    const bool wasFile = fs::is_regular_file(file);
    const std::string before = wasFile ? readAll(file) : std::string();

    QElapsedTimer clock;
    clock.start();
    bool closed = false;
    QStringList boxes;
    {
        AppOptions o;
        o.configDir = QString::fromStdString(configDir.string());
        o.port = QString::fromStdString((dir / "no-such-device").string());
        MainWindow w(o);
        w.show();
        QTest::qWait(200);
        const kv::Model& m = w.session().model();
        EXPECT_GE(m.link.port, 1);
        EXPECT_LE(m.link.port, 16);
        EXPECT_TRUE(kv::isAllowedGain(m.run.yGain));
        EXPECT_TRUE(kv::isAllowedOffset(m.run.yOffset));
        // Nothing to save: closing asks nothing; answer anything that shows up anyway.
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxes << box->text();
                box->reject();
            }
        });
        answer.start(50);
        closed = w.close();
    }
    EXPECT_TRUE(closed);
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join(" | ").toStdString();
    EXPECT_LT(clock.elapsed(), 30000);

    if (row.writable) {
        // The settings went back, readable, whatever was in the file.
        const kv::ProfileFile ini(file.string());
        EXPECT_TRUE(ini.hasKey("COMInfo", "COM num"));
        EXPECT_TRUE(ini.hasKey("OffsetInfo", "Offset"));
        EXPECT_EQ(kv::readYGain(ini), 10);
    } else if (wasFile) {
        EXPECT_EQ(readAll(file), before) << "an unwritable file is left as it was";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ConfigFault,
    ::testing::Values(
        ConfigRow{"FolderInPlaceOfTheFile",
                  [](const fs::path&, fs::path& cfg) -> std::shared_ptr<void> {
                      fs::create_directory(cfg / kv::kConfigFileName);
                      return std::make_shared<int>(0);
                  },
                  false},
        ConfigRow{"FileWithoutReadPermission",
                  [](const fs::path&, fs::path& cfg) -> std::shared_ptr<void> {
                      if (geteuid() == 0) return nullptr;  // root reads it anyway
                      writeAll(cfg / kv::kConfigFileName, "[COMInfo]\nCOM num=3\n");
                      fs::permissions(cfg / kv::kConfigFileName, fs::perms::none);
                      return std::make_shared<int>(0);
                  },
                  false},
        ConfigRow{"FolderCannotBeCreated",
                  [](const fs::path& d, fs::path& cfg) -> std::shared_ptr<void> {
                      writeAll(d / "plain-file", "x");
                      cfg = d / "plain-file" / "config";
                      return std::make_shared<int>(0);
                  },
                  false},
        ConfigRow{"FileAndFolderFrozen",
                  [](const fs::path&, fs::path& cfg) -> std::shared_ptr<void> {
                      writeAll(cfg / kv::kConfigFileName, "[COMInfo]\nCOM num=2\n[GainInfo]\nGain=50\n");
                      auto file = std::make_shared<Frozen>(cfg / kv::kConfigFileName);
                      auto folder = std::make_shared<Frozen>(cfg);
                      if (!file->ok() || !folder->ok()) return nullptr;
                      return std::make_shared<std::pair<std::shared_ptr<Frozen>, std::shared_ptr<Frozen>>>(folder, file);
                  },
                  false},
        // Reading either would never end: no regular file is read as a configuration.
        ConfigRow{"LinkToDevZero",
                  [](const fs::path&, fs::path& cfg) -> std::shared_ptr<void> {
                      fs::create_symlink("/dev/zero", cfg / kv::kConfigFileName);
                      return std::make_shared<int>(0);
                  },
                  false},
        ConfigRow{"PipeNobodyWrites",
                  [](const fs::path&, fs::path& cfg) -> std::shared_ptr<void> {
                      if (::mkfifo((cfg / kv::kConfigFileName).c_str(), 0644) != 0) return nullptr;
                      return std::make_shared<int>(0);
                  },
                  false},
        ConfigRow{"BinaryGarbage",
                  [](const fs::path&, fs::path& cfg) -> std::shared_ptr<void> {
                      writeAll(cfg / kv::kConfigFileName, garbage(64 * 1024, 7));
                      return std::make_shared<int>(0);
                  },
                  true},
        ConfigRow{"LargeFileOfBrokenLines",
                  [](const fs::path&, fs::path& cfg) -> std::shared_ptr<void> {
                      std::string s;
                      while (s.size() < 512 * 1024) s += "[COMInfo\n=\n[]]]\nCOM num\n[GainInfo] x\n==Gain==\n\r\n";
                      writeAll(cfg / kv::kConfigFileName, s);
                      return std::make_shared<int>(0);
                  },
                  true},
        ConfigRow{"ValuesOfTheWrongKind",
                  [](const fs::path&, fs::path& cfg) -> std::shared_ptr<void> {
                      writeAll(cfg / kv::kConfigFileName,
                               "[COMInfo]\nCOM num=abc\n[GainInfo]\nGain=0\n[OffsetInfo]\n"
                               "Offset=99999999999999999999\n[Alarmhi1Info]\nHi1 limit=nan\n[Alarmlow1Info]\n"
                               "Low1 limit=1e999\n[Alarmhi4Info]\nHi4 limit=" + std::string(5000, '9') +
                                   "\n[SamprateInfo]\nSamprate=-7\n[SampdataInfo]\nSampdata=0x10\n"
                                   "[COMDevices]\nCOM1=\n");
                      return std::make_shared<int>(0);
                  },
                  true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
