// kv2047-tool info and export, run as the user runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <sstream>
#include <tuple>

#include "RecordTestUtil.h"
#include "core/record/TextTable.h"
#include "core/record/RunExport.h"

namespace {

struct ToolRun {
    int status;
    std::string out, err;
};

class ToolTest : public ::testing::Test {
protected:
    // Runs in the scratch folder, which also holds the run journals.
    ToolRun tool(const std::string& args) {
        const std::string cmd = "cd '" + dir.path.string() + "' && KV2047_CONFIG_DIR=. '" + KV2047_TOOL_PATH + "' " +
                                args + " >'" + dir.file("stdout") + "' 2>'" + dir.file("stderr") + "'";
        const int rc = std::system(cmd.c_str());
        return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, kvtest::readBytes(dir.file("stdout")),
                kvtest::readBytes(dir.file("stderr"))};
    }
    std::string q(const std::string& name) { return "'" + dir.file(name) + "'"; }
    void SetUp() override {
        rec = kvtest::makeRecord({{20, 10, 5, -9000, 50}, {21, 11, 6, 23.46f, 51}, {22, 12, 7, 1, 52}}, 5, 1);
        rec->yGain = 20;
        rec->yOffset = -2;
        kvtest::writeBytes(dir.file("run.AsmDat"), kv::encodeDataFile(*rec));
    }
    kvtest::ScratchDir dir;
    std::unique_ptr<kv::RunRecord> rec;
};

}  // namespace

TEST_F(ToolTest, InfoPrintsOneJsonObject) {
    const ToolRun r = tool("info " + q("run.AsmDat"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "{\"samples\":3,\"unit_flag\":1,\"unit\":\"F\",\"start\":\"2007-07-27T07:40:35+00:00\",\"interval\":5,"
              "\"gain\":20,\"offset\":-2}\n");
    EXPECT_EQ(r.err, "");
    // A start that the clocks going back made twice: the earlier one, and a word on standard error.
    std::tie(rec->run.year, rec->run.month, rec->run.day, rec->run.hour) = std::tuple(2026, 10, 25, 2);
    kvtest::writeBytes(dir.file("twice.AsmDat"), kv::encodeDataFile(*rec));
    const std::string zone = std::getenv("TZ") ? std::getenv("TZ") : "UTC";
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    const ToolRun twice = tool("info " + q("twice.AsmDat"));
    setenv("TZ", zone.c_str(), 1);
    EXPECT_EQ(twice.status, 0) << twice.err;
    EXPECT_NE(twice.out.find("\"start\":\"2026-10-25T02:40:35+02:00\""), std::string::npos) << twice.out;
    EXPECT_NE(twice.err.find("twice.AsmDat: Its start 2026-10-25 02:40:35 falls in the hour repeated"), std::string::npos)
        << twice.err;
}

TEST_F(ToolTest, ExportTxtIsTheTextTableByteForByte) {
    const ToolRun r = tool("export " + q("run.AsmDat"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kv::exportText(rec->run));
    EXPECT_EQ(tool("export --format txt " + q("run.AsmDat")).out, r.out);
}

TEST_F(ToolTest, ExportToAFile) {
    const ToolRun r = tool("export " + q("run.AsmDat") + " --format csv -o " + q("out.csv"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(kvtest::readBytes(dir.file("out.csv")), kv::exportCsv(*rec));
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.csv.part")));
}

TEST_F(ToolTest, ExportJsonHoldsInfoAndSamples) {
    const ToolRun r = tool("export " + q("run.AsmDat") + " --format json");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kv::exportJson(*rec) + "\n");
    EXPECT_NE(r.out.find("\"K/IR\":null"), std::string::npos);
}

TEST_F(ToolTest, RefusedFilesGiveTheirMessageAndStatusTwoAndWriteNothing) {
    const std::string good = kv::encodeDataFile(*rec);
    std::string overCount = good;
    const int32_t n = 10011;
    overCount.replace(7, 4, reinterpret_cast<const char*>(&n), 4);
    std::string month13 = good;
    const int32_t m = 13;
    month13.replace(11 + 3 * 20 + 1 + 4, 4, reinterpret_cast<const char*>(&m), 4);
    const std::pair<std::string, std::string> files[] = {
        {"\x05" "KV204" + good.substr(6), "Invalid Format!"},
        {good.substr(0, good.size() - 3), "incomplete"},
        {overCount, "claims 10011 samples"},
        {month13, "damaged: its start 2007-13-27 07:40:35 cannot exist (month 13)"},
    };
    for (const auto& [bytes, message] : files) {
        SCOPED_TRACE(message);
        kvtest::writeBytes(dir.file("bad.AsmDat"), bytes);
        for (const std::string& cmd : {"info " + q("bad.AsmDat"), "export " + q("bad.AsmDat") + " -o " + q("x.txt"),
                                       "export " + q("bad.AsmDat") + " --format json", "stats " + q("bad.AsmDat")}) {
            const ToolRun r = tool(cmd);
            EXPECT_EQ(r.status, 2) << cmd;
            EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
            EXPECT_EQ(r.out, "");
        }
        EXPECT_FALSE(std::filesystem::exists(dir.file("x.txt")));
    }
}

TEST_F(ToolTest, BadArgumentsAndMissingFiles) {
    EXPECT_EQ(tool("info").status, 2);
    EXPECT_EQ(tool("info " + q("run.AsmDat") + " extra").status, 2);
    EXPECT_EQ(tool("export").status, 2);
    EXPECT_EQ(tool("export " + q("run.AsmDat") + " --format xml").status, 2);
    EXPECT_EQ(tool("export " + q("run.AsmDat") + " -o").status, 2);
    EXPECT_EQ(tool("export " + q("run.AsmDat") + " -o " + q("./run.AsmDat")).status, 2);  // the output is the input
    EXPECT_EQ(kvtest::readBytes(dir.file("run.AsmDat")), kv::encodeDataFile(*rec));
    // A Latin-1 name would reach Qt changed and name another file.
    EXPECT_EQ(tool("export " + q("run.AsmDat") + " -o \"$(printf '\\351.txt')\"").status, 2);
    const ToolRun missing = tool("info " + q("absent.AsmDat"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("absent.AsmDat"), std::string::npos);
    EXPECT_EQ(tool("stats " + q("absent.AsmDat")).status, 1);
    // Spans outside the run of 3 samples, and what is not a span at all.
    for (const char* args : {"--from 0", "--to 4", "--from 3 --to 2", "--from x", "--format csv", "--to"}) {
        const ToolRun r = tool("stats " + q("run.AsmDat") + " " + args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_NE(r.err.find("kv2047-tool stats: "), std::string::npos) << args << ": " << r.err;
    }
}

TEST_F(ToolTest, StatsOfTheRunAndOfASpan) {
    // °F: AIR 68, 69.8, 71.6; K/IR ----, 74.228 (23.46 °C uncut), 33.8; RH never converted.
    ToolRun r = tool("stats " + q("run.AsmDat"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "{\"samples\": 3, \"unit\": \"F\", \"from\": 1, \"to\": 3, "
              "\"air\": {\"valid\": 3, \"min\": 68, \"min_time\": \"2007-07-27T07:40:35+00:00\", \"max\": 71.6, "
              "\"max_time\": \"2007-07-27T07:40:45+00:00\", \"mean\": 69.8, \"sd\": 1.8}, "
              "\"wb\": {\"valid\": 3, \"min\": 50, \"min_time\": \"2007-07-27T07:40:35+00:00\", \"max\": 53.6, "
              "\"max_time\": \"2007-07-27T07:40:45+00:00\", \"mean\": 51.8, \"sd\": 1.8}, "
              "\"dp\": {\"valid\": 3, \"min\": 41, \"min_time\": \"2007-07-27T07:40:35+00:00\", \"max\": 44.6, "
              "\"max_time\": \"2007-07-27T07:40:45+00:00\", \"mean\": 42.8, \"sd\": 1.8}, "
              "\"kir\": {\"valid\": 2, \"min\": 33.8, \"min_time\": \"2007-07-27T07:40:45+00:00\", \"max\": 74.228, "
              "\"max_time\": \"2007-07-27T07:40:40+00:00\", \"mean\": 54.014, \"sd\": 28.586912}, "
              "\"rh\": {\"valid\": 3, \"min\": 50, \"min_time\": \"2007-07-27T07:40:35+00:00\", \"max\": 52, "
              "\"max_time\": \"2007-07-27T07:40:45+00:00\", \"mean\": 51, \"sd\": 1}}\n");

    r = tool("stats " + q("run.AsmDat") + " --to 1 --format txt");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "Samples 1-1 of 3; temperatures in F, RH in %RH");
    EXPECT_NE(r.out.find("\nK/IR        0        1             -  -                                     -  -"
                         "                                     -             -\n"),
              std::string::npos) << r.out;

    kvtest::writeBytes(dir.file("empty.AsmDat"), kv::encodeDataFile(*kvtest::makeRecord({})));
    r = tool("stats " + q("empty.AsmDat"));
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string emptyAir = "{\"samples\": 0, \"unit\": \"C\", \"from\": 1, \"to\": 0, \"air\": {\"valid\": 0, "
                                 "\"min\": null, \"min_time\": null, \"max\": null, \"max_time\": null, \"mean\": null, "
                                 "\"sd\": null}, ";
    EXPECT_EQ(r.out.substr(0, emptyAir.size()), emptyAir);
    EXPECT_EQ(tool("stats " + q("empty.AsmDat") + " --from 1").status, 2);
}

TEST_F(ToolTest, UnwritableOutputLeavesTheOldFile) {
    std::filesystem::create_directory(dir.file("out"));
    kvtest::writeBytes(dir.file("old.txt"), "old");
    const ToolRun r = tool("export " + q("run.AsmDat") + " -o " + q("out/../missing/new.txt"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(tool("export " + q("run.AsmDat") + " -o " + q("out")).status, 1);   // a folder in the way
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("out")));
    EXPECT_EQ(kvtest::readBytes(dir.file("old.txt")), "old");
}

// Every line a failing command writes on standard error names the program and
// the command: its message, the usage line or the pointer to its --help.
struct MessageCase {
    const char* name;
    const char* command;
    const char* args;
    int status;
};
void PrintTo(const MessageCase& c, std::ostream* os) { *os << c.name; }

class ToolMessages : public ToolTest, public ::testing::WithParamInterface<MessageCase> {};

TEST_P(ToolMessages, NameTheCommand) {
    kvtest::writeBytes(dir.file("bad.hex"), "AA 61 zz\n");
    const MessageCase& c = GetParam();
    const ToolRun r = tool(std::string(c.command) + " " + c.args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(r.out, "");
    ASSERT_FALSE(r.err.empty());
    const std::string who = std::string("kv2047-tool ") + c.command;
    std::istringstream lines(r.err);
    for (std::string line; std::getline(lines, line);)
        EXPECT_TRUE(line.rfind(who + ": ", 0) == 0 || line.rfind("usage: " + who + " ", 0) == 0 ||
                    line.rfind("Try '" + who + " --help'", 0) == 0)
            << line;
}

INSTANTIATE_TEST_SUITE_P(
    EveryCommand, ToolMessages,
    ::testing::Values(MessageCase{"DecodeMissingFile", "decode", "absent.hex", 1},
                      MessageCase{"DecodeMalformedHex", "decode", "bad.hex", 2},
                      MessageCase{"InfoMissingFile", "info", "absent.AsmDat", 1},
                      MessageCase{"InfoDamagedFile", "info", "bad.hex", 2},
                      MessageCase{"ExportNoFolder", "export", "run.AsmDat -o missing/out.txt", 1},
                      MessageCase{"ExportNameNotUtf8", "export", "run.AsmDat -o \"$(printf '\\351.txt')\"", 2},
                      MessageCase{"StatsNoSpan", "stats", "run.AsmDat --from 9", 2},
                      MessageCase{"ReportUnknownQuantity", "report", "run.AsmDat -o out.pdf --show AIR,XX", 2},
                      MessageCase{"ReportNoFolder", "report", "run.AsmDat -o missing/out.pdf", 1},
                      MessageCase{"RecordBadRate", "record", "--port /dev/null --rate 0 --count 5 -o r.AsmDat", 2},
                      MessageCase{"RecordNoPort", "record",
                                  "--port /dev/kv2047-no-such-tty --rate 1 --count 5 -o r.AsmDat", 1},
                      MessageCase{"RecoverNothingInterrupted", "recover", "-o r.AsmDat", 1},
                      MessageCase{"RecoverMissingJournal", "recover", "-o r.AsmDat --journal absent.kvj", 1},
                      MessageCase{"MonitorNoPortGiven", "monitor", "", 2},
                      MessageCase{"MonitorNoPort", "monitor", "--port /dev/kv2047-no-such-tty", 1}),
    [](const auto& info) { return std::string(info.param.name); });
