// Captures of the serial traffic: the lines written, and how the hex-line
// reader of `decode` and of the simulator's replay takes them back.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/TempDir.h"
#include "core/link/FrameBuilder.h"
#include "core/link/HexLine.h"
#include "core/record/Capture.h"

namespace {

struct LineRow {
    const char* name;
    const char* line;
    kv::HexLineKind kind;
    std::vector<uint8_t> bytes;
    double stamp;
};

class CaptureLines : public ::testing::TestWithParam<LineRow> {};

TEST_P(CaptureLines, ReadBackAsReadsOrSkipped) {
    const LineRow& row = GetParam();
    std::vector<uint8_t> out{0xEE};
    const kv::HexLineResult r = kv::parseHexLine(row.line, out);
    EXPECT_EQ(r.kind, row.kind);
    if (row.kind == kv::HexLineKind::Bytes) {
        EXPECT_EQ(out, row.bytes);
    }
    EXPECT_DOUBLE_EQ(r.stamp, row.stamp);
}

INSTANTIATE_TEST_SUITE_P(
    Capture, CaptureLines,
    ::testing::Values(
        LineRow{"Read", "12.345 RX AA 61 64", kv::HexLineKind::Bytes, {0xAA, 0x61, 0x64}, 12.345},
        LineRow{"ReadWithoutFraction", "7 RX 01", kv::HexLineKind::Bytes, {0x01}, 7.0},
        LineRow{"ReadCrLf", "0.500 RX 0102\r", kv::HexLineKind::Bytes, {0x01, 0x02}, 0.5},
        LineRow{"WriteIsSkipped", "1.000 TX FF AA 55 63 63 00 00 00 C6 00 FF", kv::HexLineKind::Skip, {}, 1.0},
        LineRow{"AckIsSkipped", "3.001 TX 11", kv::HexLineKind::Skip, {}, 3.001},
        LineRow{"PlainHexUnchanged", "12 34 56", kv::HexLineKind::Bytes, {0x12, 0x34, 0x56}, -1.0},
        LineRow{"PlainHexNoSpaces", "AA6164", kv::HexLineKind::Bytes, {0xAA, 0x61, 0x64}, -1.0},
        LineRow{"Comment", "# KV2047 capture started", kv::HexLineKind::Skip, {}, -1.0},
        LineRow{"BadHexAfterStamp", "1.5 RX ZZ", kv::HexLineKind::Malformed, {}, -1.0},
        LineRow{"UnknownDirection", "1.5 QX 01", kv::HexLineKind::Malformed, {}, -1.0},
        LineRow{"DirectionGluedToBytes", "1.5 RX01", kv::HexLineKind::Malformed, {}, -1.0},
        LineRow{"TwoDots", "1.2.3 RX 01", kv::HexLineKind::Malformed, {}, -1.0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

TEST(CaptureFile, AppendsTimestampedLinesThatReadBackToTheSameBytes) {
    TempDir dir;
    const std::string path = dir.file("cap.txt");
    writeText(path, "# an earlier capture\n");
    uint8_t frame[kv::kFrameSize];
    kv::FrameFields f;
    f.air = 23.5f;
    f.kir = -1000.0f;
    kv::buildFrame(f, frame);
    const uint8_t init[] = {0xFF, 0xAA, 0x55, 0x63, 0x63, 0x00, 0x00, 0x00, 0xC6, 0x00, 0xFF};
    {
        kv::CaptureFile cap;
        std::string err;
        ASSERT_TRUE(cap.open(path, &err)) << err;
        cap.record(false, init, sizeof init);
        cap.record(true, frame, sizeof frame);
        cap.record(true, frame, 0);   // an empty read writes nothing
        EXPECT_TRUE(cap.good());
    }
    const std::string text = readText(path);
    ASSERT_EQ(text.rfind("# an earlier capture\n# KV2047 capture started ", 0), 0u) << text;

    std::vector<std::vector<uint8_t>> reads;
    int skipped = 0, lines = 0;
    std::size_t pos = 0;
    double lastStamp = -1;
    while (pos < text.size()) {
        const std::size_t nl = text.find('\n', pos);
        ASSERT_NE(nl, std::string::npos) << "every line ends with a newline";
        const std::string line = text.substr(pos, nl - pos);
        pos = nl + 1;
        ++lines;
        std::vector<uint8_t> bytes;
        const auto r = kv::parseHexLine(line, bytes);
        ASSERT_NE(r.kind, kv::HexLineKind::Malformed) << line;
        if (r.stamp >= 0) {
            EXPECT_GE(r.stamp, lastStamp);
            lastStamp = r.stamp;
        }
        if (r.kind == kv::HexLineKind::Bytes) reads.push_back(bytes);
        else ++skipped;
    }
    EXPECT_EQ(lines, 4);
    EXPECT_EQ(skipped, 3);   // two comments and the write
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0], std::vector<uint8_t>(frame, frame + kv::kFrameSize));
    EXPECT_EQ(kv::captureLine(1.5, false, init, 2), "1.500 TX FF AA");
}

TEST(CaptureFile, UnwritablePathIsReported) {
    TempDir dir;
    kv::CaptureFile cap;
    std::string err;
    EXPECT_FALSE(cap.open(dir.file("no/such/folder/cap.txt"), &err));
    EXPECT_NE(err.find("cap.txt"), std::string::npos);
    EXPECT_FALSE(cap.isOpen());
}

// A capture appends through the writer's rules: a link of ours is followed,
// another user's link in a shared folder is not, at the name or on the way,
// and another user's file there is not written into.
TEST(CaptureFile, AppendsOnlyWhereTheSharedFolderRuleAllows) {
    TempDir dir;
    namespace fs = std::filesystem;
    const fs::path shared = dir.path / "shared", home = dir.path / "home";
    fs::create_directories(shared);
    fs::create_directories(home);
    fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
    writeText((home / "cap.txt").string(), "ours\n");
    fs::create_symlink(home, shared / "ours");
    fs::create_symlink(home, shared / "theirs");
    writeText((shared / "their.cap").string(), "theirs\n");
    // Their own folder in the shared one, holding their link: still below a shared folder.
    fs::create_directories(shared / "theirdir");
    fs::create_symlink(home / "cap.txt", shared / "theirdir" / "cap");
    const uid_t other = ::geteuid() == 65534 ? 65533 : 65534;
    for (const fs::path& p : {shared / "theirs", shared / "their.cap", shared / "theirdir", shared / "theirdir" / "cap"})
        if (::lchown(p.c_str(), other, other) != 0) GTEST_SKIP() << "only root gives files away";
    const struct {
        const char* name;
        fs::path path;
        const char* refusal;   // null: appended
    } rows[] = {
        {"our own link on the way", shared / "ours" / "cap.txt", nullptr},
        {"their link to a folder on the way", shared / "theirs" / "cap.txt", "theirs is a symbolic link owned by another user"},
        {"their file in a sticky folder", shared / "their.cap", "It belongs to another user in a shared folder"},
        {"their link in their folder below a shared one", shared / "theirdir" / "cap",
         "It is a symbolic link owned by another user"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        kv::CaptureFile cap;
        std::string err;
        EXPECT_EQ(cap.open(row.path.string(), &err), row.refusal == nullptr) << err;
        if (row.refusal) {
            EXPECT_NE(err.find(row.refusal), std::string::npos) << err;
        }
    }
    EXPECT_EQ(readText((home / "cap.txt").string()).rfind("ours\n# KV2047 capture started ", 0), 0u);
    EXPECT_EQ(readText((shared / "their.cap").string()), "theirs\n");
}
