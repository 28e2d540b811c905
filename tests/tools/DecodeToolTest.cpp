// `kv2047-tool decode` run as built, on small capture files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "RunProgram.h"
#include "core/link/FrameBuilder.h"
#include "core/record/DataFile.h"

namespace {

using kvtest::runProgram;
using kvtest::ScratchDir;

std::string toolPath() {
    const char* p = std::getenv("KV2047_TOOL");
    return p ? p : "";
}

std::string hex(const kv::FrameBytes& b, std::size_t from = 0, std::size_t to = kv::kFrameSize, bool spaced = true) {
    static const char d[] = "0123456789abcdef";
    std::string s;
    for (std::size_t i = from; i < to; ++i) {
        if (spaced && !s.empty()) s += ' ';
        s += d[b[i] >> 4];
        s += d[b[i] & 15];
    }
    return s;
}

kv::FrameFields example() {
    kv::FrameFields f;
    f.air = 23.5f;
    f.wb = 18.25f;
    f.dp = 15.0f;
    f.rh = 60.0f;
    f.kir = 30.25f;
    f.display1 = 23.5f;
    f.display2 = 60.0f;
    f.display3 = 30.25f;
    return f;
}

const char* const kBlankTexts =
    R"("maxmin_upper":"   ","maxmin_lower":"   ","hold_upper":"    ","hold_lower":"    ","rec_upper":"     ","rec_lower":"     ","link":"       ","derived":"  ",)";

class DecodeTool : public ::testing::Test {
protected:
    void SetUp() override {
        if (toolPath().empty()) GTEST_SKIP() << "KV2047_TOOL is not set";
        ASSERT_FALSE(dir.path().empty());
    }
    ScratchDir dir;
};

TEST_F(DecodeTool, CaptureFileToJsonLines) {
    kv::FrameFields over = example();
    over.rangeCode = kv::kRangeCodeOver;
    kv::FrameFields idle = example();
    idle.kir = 12.5f;
    idle.display3 = 12.5f;
    idle.flagsB = kv::flagB::kIrIdle;
    kv::FrameFields odd = example();
    odd.air = 0.1f;
    odd.wb = 1.0000001f;
    odd.dp = NAN;
    odd.kir = -1000.0f;
    odd.rh = 1e-7f;
    odd.flagsA = kv::flagA::kPcLink | kv::flagA::kMin | kv::flagA::kDp;
    odd.flagsB = kv::flagB::kFahrenheit | kv::flagB::kBacklight | kv::flagB::kMin;

    const auto ex = kv::buildFrame(example());
    const std::string input = "# a capture\n"
                              "\n" +
                              hex(ex) + "\n" +                                     // 3
                              hex(kv::buildFrame(over), 0, 46, false) + "\r\n" +   // 4: packed, CRLF
                              "00 " + hex(ex) + "\n" +                             // 5: not at the start
                              hex(ex, 0, 45) + "\n" +                              // 6: short read
                              "  # indented comment\n" +                           //
                              hex(kv::buildFrame(idle)) + "\n" +                   // 8: infrared idle
                              hex(kv::buildFrame(odd)) + " 01 02\n";               // 9: trailing bytes
    kvtest::writeWhole(dir.file("in.hex"), input);

    const auto r = runProgram(toolPath(), {"decode", dir.file("in.hex")}, "", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string expected =
        std::string(R"({"accepted":true,"air":23.5,"wb":18.25,"dp":15,"kir":30.25,"rh":60,)") +
        R"("upper":"23.5","upper2":"60.0","lower":"30.2","unit":"C",)" + kBlankTexts +
        R"("probe":"IRTEMP","battery":"Normal","backlight":0})" + "\n" +
        R"({"accepted":true,"air":23.5,"wb":18.25,"dp":15,"kir":505,"rh":60,)" +
        R"("upper":"23.5","upper2":"60.0","lower":"+OL","unit":"C",)" + kBlankTexts +
        R"("probe":"IRTEMP","battery":"Normal","backlight":0})" + "\n" +
        R"({"accepted":false})" + "\n" +
        R"({"accepted":false})" + "\n" +
        // The infrared hold repeats the over-range reading of line 4.
        R"({"accepted":true,"air":23.5,"wb":18.25,"dp":15,"kir":505,"rh":60,)" +
        R"("upper":"23.5","upper2":"60.0","lower":"+OL","unit":"C",)" + kBlankTexts +
        R"("probe":"            ","battery":"Normal","backlight":0})" + "\n" +
        R"({"accepted":true,"air":0.1,"wb":1.0000001,"dp":null,"kir":-9000,"rh":1e-07,)" +
        R"("upper":"23.5","upper2":"60.0","lower":"----","unit":"F",)" +
        R"("maxmin_upper":"     MIN","maxmin_lower":"      MIN","hold_upper":"    ","hold_lower":"    ",)" +
        R"("rec_upper":"     ","rec_lower":"     ","link":"PC-LINK","derived":"DP",)" +
        R"("probe":"IRTEMP","battery":"Low","backlight":1})" + "\n";
    EXPECT_EQ(r.out, expected);

    // The same bytes through standard input give the same lines.
    const auto viaStdin = runProgram(toolPath(), {"decode"}, dir.file("in.hex"), dir);
    EXPECT_EQ(viaStdin.status, 0);
    EXPECT_EQ(viaStdin.out, expected);
}

TEST_F(DecodeTool, MalformedHexNamesTheLine) {
    const auto ex = kv::buildFrame(example());
    kvtest::writeWhole(dir.file("bad.hex"), "# header\n" + hex(ex) + "\nAA 61 6\n" + hex(ex) + "\n");
    const auto r = runProgram(toolPath(), {"decode", dir.file("bad.hex")}, "", dir);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("bad.hex:3:"), std::string::npos) << r.err;
    // What came before the bad line was decoded; nothing after it.
    EXPECT_EQ(r.out.find(R"({"accepted":true,"air":23.5,)"), 0u);
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1);
}

TEST_F(DecodeTool, UnreadableFileAndBadArguments) {
    const auto missing = runProgram(toolPath(), {"decode", dir.file("nope.hex")}, "", dir);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("nope.hex"), std::string::npos);
    EXPECT_EQ(missing.out, "");
    const auto extra = runProgram(toolPath(), {"decode", "a", "b"}, "", dir);
    EXPECT_EQ(extra.status, 2);
    EXPECT_EQ(extra.out, "");    // A full disk under the output is a failure, however small the output.
    const std::string full = "echo AA | '" + toolPath() + "' decode > /dev/full 2>/dev/null";
    const int rc = std::system(full.c_str());
    EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 1) << rc;
}

// Every command that prints its result says so when the output cannot take it.
TEST_F(DecodeTool, FullOutputIsAnErrorWithAMessage) {
    auto rec = kv::makeRunRecord();
    rec->run.count = 2;
    rec->run.interval = 1;
    std::tie(rec->run.year, rec->run.month, rec->run.day) = std::tuple(2007, 7, 27);
    const std::string file = dir.file("run.AsmDat");
    kvtest::writeWhole(file, kv::encodeDataFile(*rec));
    kvtest::writeWhole(dir.file("reads.hex"), "AA\n");
    for (const std::vector<std::string>& args : {std::vector<std::string>{"info", file},
                                                {"export", file},
                                                {"stats", file},
                                                {"decode", dir.file("reads.hex")},
                                                {"--version"}}) {
        std::vector<std::string> full = {"-c", "\"$0\" \"$@\" > /dev/full", toolPath()};
        full.insert(full.end(), args.begin(), args.end());
        const auto run = runProgram("/bin/bash", full, "", dir);
        EXPECT_EQ(run.status, 1) << args[0];
        EXPECT_NE(run.err.find("cannot write the output: No space left on device"), std::string::npos)
            << args[0] << ": " << run.err;
    }
}

}  // namespace

namespace {

// Line lengths: a line is held in a buffer of 64 KiB, and a longer one (a file
// that is no capture, a line without an end) is refused with its number.
struct LengthRow {
    const char* name;
    std::string input;   // written to a file; empty: read /dev/zero
    int status;
    std::size_t jsonLines;
    const char* err;     // part of the message on standard error; "" = none
};
void PrintTo(const LengthRow& r, std::ostream* os) { *os << r.name; }

std::string frameLine(std::size_t length, const char* end = "\n") {
    std::string s = hex(kv::buildFrame(example()));
    return s + std::string(length - s.size(), ' ') + end;
}

class DecodeLineLength : public ::testing::TestWithParam<LengthRow> {};

TEST_P(DecodeLineLength, LongLinesAreRefusedByNumber) {
    if (toolPath().empty()) GTEST_SKIP() << "KV2047_TOOL is not set";
    ScratchDir dir;
    const LengthRow& row = GetParam();
    std::string in = "/dev/zero";
    if (!row.input.empty()) kvtest::writeWhole(in = dir.file("in.hex"), row.input);
    const auto r = runProgram(toolPath(), {"decode", in}, "", dir);
    EXPECT_EQ(r.status, row.status) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), long(row.jsonLines)) << r.out.substr(0, 200);
    if (*row.err) {
        EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
    } else {
        EXPECT_EQ(r.err, "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DecodeLineLength,
    ::testing::Values(LengthRow{"Exactly64KiB", frameLine(65536) + frameLine(65536), 0, 2, ""},
                      LengthRow{"Exactly64KiBWithCrLf", frameLine(65536, "\r\n"), 0, 1, ""},
                      LengthRow{"Exactly64KiBAtTheEndWithoutNewline", frameLine(65536, ""), 0, 1, ""},
                      LengthRow{"OneByteLonger", frameLine(140) + frameLine(65537), 2, 1, "in.hex:2: line longer"},
                      LengthRow{"LineWithoutEnd", frameLine(140) + std::string(1 << 20, 'a'), 2, 1,
                                "in.hex:2: line longer"},
                      LengthRow{"DevZero", "", 2, 0, "/dev/zero:1: line longer"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
