// The Windows files of the platform layer, run under Wine (and on Windows):
// the file writer's replace and pair, the names Windows refuses, the journal's
// lock, paths beyond the ANSI code page, local time with its offset.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>
#include <unistd.h>

#include "app/TempDir.h"
#include "core/io/AtomicFile.h"
#include "core/io/ReadFile.h"
#include "core/platform/System.h"

namespace {

std::string slurp(const std::string& path) {
    std::FILE* f = kv::sys::openStream(path, "rb");
    if (!f) return "<missing>";
    std::string s;
    char buf[256];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) s.append(buf, n);
    std::fclose(f);
    return s;
}

// Nothing but the files a test put there: no temporary left behind.
std::size_t entries(const TempDir& d) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(d.path)) ++n;
    return n;
}

TEST(WindowsFileWriter, ReplacesAndLeavesNoTemporary) {
    TempDir d;
    const std::string p = d.file("run.txt");
    std::string error;
    ASSERT_TRUE(kv::replaceFile(p, "old", &error)) << error;
    ASSERT_TRUE(kv::replaceFile(p, "new\r\nbytes\n", &error)) << error;
    EXPECT_EQ(slurp(p), "new\r\nbytes\n");   // binary: no line ends changed
    EXPECT_EQ(entries(d), 1u);
}

TEST(WindowsFileWriter, PairReplacesBothAndKeepsNoOlderFile) {
    TempDir d;
    const std::string a = d.file("r.AsmDat"), b = d.file("r.txt");
    ASSERT_TRUE(kv::replaceFile(a, "old a", nullptr));
    kv::AtomicFile fa(a), fb(b);
    ASSERT_TRUE(fa.open() && fa.write("new a") && fb.open() && fb.write("new b"));
    ASSERT_TRUE(kv::commitPair(fb, fa)) << fa.error() << " / " << fb.error();
    EXPECT_EQ(slurp(a), "new a");
    EXPECT_EQ(slurp(b), "new b");
    EXPECT_EQ(entries(d), 2u);
}

TEST(WindowsFileWriter, FailedSecondOfPairPutsTheFirstBack) {
    TempDir d;
    const std::string table = d.file("r.txt"), data = d.file("r.AsmDat");
    ASSERT_TRUE(kv::replaceFile(table, "old table", nullptr));
    ASSERT_TRUE(kv::replaceFile(data, "old data", nullptr));
    kv::AtomicFile ft(table), fd(data);
    ASSERT_TRUE(ft.open() && ft.write("new table") && fd.open() && fd.write("new data"));
    // Another program holds the data file without sharing: it cannot be replaced.
    const HANDLE held = ::CreateFileW(std::filesystem::path(data).wstring().c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(kv::commitPair(ft, fd));
    ::CloseHandle(held);
    EXPECT_FALSE(fd.reason().empty());
    EXPECT_EQ(slurp(data), "old data");
    EXPECT_EQ(slurp(table), "old table") << "the table went back";
    EXPECT_EQ(entries(d), 2u);
}

struct RefusedRow {
    const char* name;
    const char* file;
    const char* says;
};

class WindowsRefusedName : public ::testing::TestWithParam<RefusedRow> {};

TEST_P(WindowsRefusedName, IsRefusedBeforeTheDisk) {
    TempDir d;
    const std::string p = d.file(GetParam().file);
    std::string error;
    EXPECT_FALSE(kv::replaceFile(p, "x", &error));
    EXPECT_NE(error.find(GetParam().says), std::string::npos) << error;
    EXPECT_EQ(entries(d), 0u);
}

INSTANTIATE_TEST_SUITE_P(Names, WindowsRefusedName,
                         ::testing::Values(RefusedRow{"Device", "CON", "keeps for a device"},
                                           RefusedRow{"DeviceWithExtension", "aux.txt", "keeps for a device"},
                                           RefusedRow{"Colon", "a:b", "does not allow"},
                                           RefusedRow{"TrailingDot", "run.", "ends with a dot"},
                                           RefusedRow{"TrailingBlank", "run ", "ends with a dot"},
                                           RefusedRow{"AFolder", "", "directory"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WindowsFileWriter, BothSeparatorsAndNamesBeyondTheCodePage) {
    TempDir d;
    const std::string name = "Temp\xC3\xA9rature \xE6\xB8\xA9\xE5\xBA\xA6.txt";   // "Température 温度.txt"
    const std::string mixed = d.path.string() + "/" + name, native = d.path.string() + "\\" + name;
    std::string error;
    ASSERT_TRUE(kv::replaceFile(mixed, "utf-8", &error)) << error;
    EXPECT_TRUE(std::filesystem::exists(d.path / std::filesystem::path(std::u8string(name.begin(), name.end()))));
    EXPECT_EQ(slurp(native), "utf-8");
    EXPECT_TRUE(kv::sameFile(mixed, native));
}

TEST(WindowsFileWriter, SameFileIgnoresCaseOfNamesNotThereYet) {
    TempDir d;
    EXPECT_TRUE(kv::sameFile(d.file("Out.txt"), d.file("out.TXT")));
    EXPECT_FALSE(kv::sameFile(d.file("a.txt"), d.file("b.txt")));
}

TEST(WindowsJournalLock, ExcludesAnotherHolderButNotItsReaders) {
    TempDir d;
    std::string path;
    const int fd = kv::sys::createUnique(d.path.string(), ".journal-", &path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "header", 6), 6);
    ASSERT_TRUE(kv::sys::lockFile(fd));
    const int other = kv::openRegularFile(path, nullptr, kv::OpenFor::Appending);
    ASSERT_GE(other, 0);
    EXPECT_FALSE(kv::sys::tryLockFile(other)) << "a running program holds it";
    EXPECT_EQ(slurp(path), "header") << "the lock stops no reader";
    ::close(other);
    // Renamed and removed while open, as the journal is.
    ASSERT_TRUE(kv::sys::renameFile(path, d.file("run.kvj")));
    EXPECT_TRUE(kv::sys::removeFile(d.file("run.kvj")));
    ::close(fd);
    EXPECT_EQ(entries(d), 0u);
}

TEST(WindowsLocalTime, OffsetFollowsTheZone) {
    const struct { const char* tz; long offset; } rows[] = {{"UTC", 0}, {"EST5", -5 * 3600}, {"IST-5:30", 19800}};
    for (const auto& row : rows) {
        setenv("TZ", row.tz, 1);
        long off = 1;
        const std::tm tm = kv::sys::localTime(86400 * 400, &off);   // February 1971
        EXPECT_EQ(off, row.offset) << row.tz;
        EXPECT_EQ(tm.tm_year, 71) << row.tz;
    }
    setenv("TZ", "UTC", 1);
}

}  // namespace
