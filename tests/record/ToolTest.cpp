// kv2047-tool info and export, run as the user runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "RecordTestUtil.h"
#include "core/record/TextExport.h"

namespace {

struct ToolRun {
    int status;
    std::string out, err;
};

class ToolTest : public ::testing::Test {
protected:
    ToolRun tool(const std::string& args) {
        const std::string cmd = std::string("'") + KV2047_TOOL_PATH + "' " + args + " >'" + dir.file("stdout") +
                                "' 2>'" + dir.file("stderr") + "'";
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
                                       "export " + q("bad.AsmDat") + " --format json"}) {
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
