// The three programs' --help and --version, without a display, and what is
// installed beside them: the manual pages render without warnings and name
// every option --help lists, the AppStream metainfo validates, and bash
// completes every command and option the tool has.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tools/RunProgram.h"

namespace {

using kvtest::runProgram;
using kvtest::EnvScope;
using kvtest::ScratchDir;
using Names = std::set<std::string>;

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}
const std::string kSource = KV2047_SOURCE_DIR;

// The names in the "Options:" table of a --help text ("-o, --output <OUT>  ...").
Names optionsOf(const std::string& help) {
    Names names;
    std::istringstream in(help.substr(std::min(help.find("\nOptions:\n"), help.size())));
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("  -", 0) != 0) continue;  // wrapped descriptions are indented further
        std::istringstream cols(line.substr(2, line.find("  ", 2) - 2));
        for (std::string w; cols >> w;)
            if (w[0] == '-') names.insert(w.substr(0, w.find_first_of(",")));
    }
    return names;
}

// The command names in the "Commands:" section of kv2047-tool --help.
Names commandsOf(const std::string& help) {
    Names names;
    std::istringstream in(help.substr(std::min(help.find("\nCommands:\n") + 1, help.size())));
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line) && line.rfind("  ", 0) == 0) names.insert(line.substr(2, line.find(' ', 2) - 2));
    return names;
}

struct Program {
    const char* caseName;
    const char* name;
    const char* pathVar;
    const char* versionLine;
};
void PrintTo(const Program& p, std::ostream* os) { *os << p.name; }

class Programs : public ::testing::TestWithParam<Program> {
protected:
    std::string path() const { return env(GetParam().pathVar); }
    void SetUp() override {
        if (path().empty()) GTEST_SKIP() << GetParam().pathVar << " is not set";
    }
    ScratchDir dir;
};

TEST_P(Programs, HelpAndVersionNeedNoDisplayAndBadOptionsExitTwo) {
    {
        EnvScope noDisplay;
        noDisplay.set("DISPLAY", nullptr);
        noDisplay.set("WAYLAND_DISPLAY", nullptr);
        noDisplay.set("QT_QPA_PLATFORM", "xcb");  // a QApplication would abort here
        const auto version = runProgram(path(), {"--version"}, "", dir);
        EXPECT_EQ(version.status, 0) << version.err;
        EXPECT_EQ(version.out, std::string(GetParam().versionLine) + " " KV2047_VERSION "\n");
        for (const char* h : {"--help", "-h"}) {
            const auto help = runProgram(path(), {h}, "", dir);
            EXPECT_EQ(help.status, 0) << help.err;
            EXPECT_TRUE(optionsOf(help.out).count("--version")) << help.out;
        }
    }
    EnvScope offscreen;
    offscreen.set("QT_QPA_PLATFORM", "offscreen");
    const auto bad = runProgram(path(), {"--no-such-option"}, "", dir);
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("no-such-option"), std::string::npos) << bad.err;
    EXPECT_NE(bad.err.find(std::string("\nusage: ") + GetParam().name + " "), std::string::npos) << bad.err;
}

TEST_P(Programs, ManualPageRendersAndNamesEveryOption) {
    if (access("/usr/bin/man", X_OK) != 0) GTEST_SKIP() << "man is not installed (scripts/deps installs man-db)";
    const std::string page = kSource + "/packaging/man/" + GetParam().name + ".1";
    EnvScope width;
    width.set("MANWIDTH", "80");
    const auto man = runProgram("/usr/bin/man", {"-l", "--warnings=w", page}, "", dir);
    EXPECT_EQ(man.status, 0);
    EXPECT_EQ(man.err, "");  // troff warns of anything it finds amiss (-ww)
    EXPECT_NE(man.out.find("EXIT STATUS"), std::string::npos);

    // Every option the program lists, and for the tool every command's too.
    std::vector<std::vector<std::string>> helps = {{"--help"}};
    if (std::string(GetParam().name) == "kv2047-tool")
        for (const auto& c : commandsOf(runProgram(path(), {"--help"}, "", dir).out)) helps.push_back({c, "--help"});
    const std::string roff = kvtest::readWhole(page);
    for (const auto& args : helps) {
        const auto help = runProgram(path(), args, "", dir);
        ASSERT_EQ(help.status, 0) << args[0];
        for (std::string o : optionsOf(help.out)) {
            for (std::size_t i = 0; (i = o.find('-', i)) != std::string::npos; i += 2) o.insert(i, "\\");
            EXPECT_NE(roff.find(o), std::string::npos) << o << " (" << args[0] << ")";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(All, Programs,
                         ::testing::Values(Program{"Desktop", "kv2047", "KV2047_DESKTOP", "kv2047"},
                                           Program{"Tool", "kv2047-tool", "KV2047_TOOL", "kv2047-tool"},
                                           Program{"Sim", "kv2047-sim", "KV2047_SIM", "kv2047-sim"}),
                         [](const auto& info) { return std::string(info.param.caseName); });

// The desktop program where no display can be had: one line and status 1, or
// for a bad argument its message and the usage line with status 2, never
// Qt's abort. DISPLAY and the platform as the row gives them, WAYLAND_DISPLAY unset.
struct NoDisplayCase {
    const char* name;
    const char* display;
    const char* platform;
    std::vector<std::string> args;
    int status;
    const char* firstLine;  // how standard error begins
    std::size_t lines;
};
void PrintTo(const NoDisplayCase& c, std::ostream* os) { *os << c.name; }

class DesktopWithoutDisplay : public ::testing::TestWithParam<NoDisplayCase> {};

TEST_P(DesktopWithoutDisplay, SaysWhyAndExits) {
    const std::string desktop = env("KV2047_DESKTOP");
    if (desktop.empty()) GTEST_SKIP() << "KV2047_DESKTOP is not set";
    const NoDisplayCase& c = GetParam();
    ScratchDir dir;
    EnvScope scope;
    scope.set("DISPLAY", c.display);
    scope.set("WAYLAND_DISPLAY", nullptr);
    scope.set("QT_QPA_PLATFORM", c.platform);
    scope.set("KV2047_CONFIG_DIR", dir.path().c_str());
    const auto r = runProgram(desktop, c.args, "", dir);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(r.err.rfind(c.firstLine, 0), 0u) << r.err;
    EXPECT_EQ(std::size_t(std::count(r.err.begin(), r.err.end(), '\n')), c.lines) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DesktopWithoutDisplay,
    ::testing::Values(
        NoDisplayCase{"NoDisplay", nullptr, nullptr, {}, 1, "kv2047: no display: ", 1},
        NoDisplayCase{"XcbWithoutDisplay", nullptr, "xcb", {"--port", "/dev/null"}, 1, "kv2047: no display: ", 1},
        NoDisplayCase{"DisplayGone", ":4711", nullptr, {}, 1, "kv2047: no display: ", 1},
        NoDisplayCase{"BadOption", nullptr, nullptr, {"--bogus"}, 2, "kv2047: Unknown option 'bogus'.\nusage: ", 3},
        // A word that is no option is a data file to open (an .AsmDat opened from the desktop).
        NoDisplayCase{"DataFileArgument", nullptr, nullptr, {"run.AsmDat"}, 1, "kv2047: no display: ", 1},
        NoDisplayCase{"MissingValue", nullptr, "xcb", {"--port"}, 2, "kv2047: Missing value after '--port'.\n", 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AppStream, MetainfoValidatesWithTheDesktopEntryAndIcon) {
    if (access("/usr/bin/appstreamcli", X_OK) != 0) GTEST_SKIP() << "appstreamcli is not installed (scripts/deps)";
    ScratchDir dir;
    namespace fs = std::filesystem;
    // The installed layout, so that the metainfo's desktop-id must resolve.
    const std::pair<const char*, const char*> files[] = {
        {"packaging/io.github.kv2047.KV2047.metainfo.xml", "usr/share/metainfo"},
        {"packaging/kv2047.desktop", "usr/share/applications"},
        {"src/res/artwork/kv2047.svg", "usr/share/icons/hicolor/scalable/apps"},
    };
    for (const auto& [from, to] : files) {
        fs::create_directories(dir.file("root/") + to);
        fs::copy(kSource + "/" + from, dir.file("root/") + to);
    }
    const auto r = runProgram("/usr/bin/appstreamcli", {"validate-tree", "--no-net", dir.file("root")}, "", dir);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("io.github.kv2047.KV2047"), std::string::npos) << r.out;
}

// The Debian package as cpack makes it from this build passes lintian without
// an error or a warning: copyright, changelog, compressed manual pages, a
// maintainer, a description that fits. Skipped without the tools of
// `scripts/deps package`, and in a sanitizer build, which is never packaged.
TEST(DebianPackage, IsLintianClean) {
#ifdef KV2047_SANITIZED
    GTEST_SKIP() << "a sanitizer build is not packaged";
#endif
    for (const char* tool : {"/usr/bin/lintian", "/usr/bin/dpkg-shlibdeps", "/usr/bin/file"})
        if (access(tool, X_OK) != 0) GTEST_SKIP() << tool << " is not installed (scripts/deps package)";
    ScratchDir dir;
    const auto made =
        runProgram(env("KV2047_CPACK"), {"--config", env("KV2047_CPACK_CONFIG"), "-G", "DEB", "-B", dir.path()}, "", dir);
    ASSERT_EQ(made.status, 0) << made.out << made.err;
    std::string deb;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        if (e.path().extension() == ".deb") deb = e.path().string();
    ASSERT_FALSE(deb.empty()) << made.out;
    const auto lint = runProgram("/usr/bin/lintian", {"--no-cfg", deb}, "", dir);
    EXPECT_EQ(lint.status, 0) << lint.out << lint.err;
    std::istringstream tags(lint.out);
    for (std::string line; std::getline(tags, line);)
        EXPECT_FALSE(line.rfind("E: ", 0) == 0 || line.rfind("W: ", 0) == 0) << line;
}

// bash completion of kv2047-tool: the words typed so far, the last being
// the one completed, in a folder holding run.AsmDat, old.CH4, out.pdf,
// notes.txt and user.cap.
class Completion : public ::testing::Test {
protected:
    void SetUp() override {
        if (access("/usr/share/bash-completion/bash_completion", R_OK) != 0)
            GTEST_SKIP() << "bash-completion is not installed (scripts/deps)";
        std::filesystem::create_directory(dir.file("files"));
        for (const char* f : {"run.AsmDat", "old.CH4", "out.pdf", "notes.txt", "user.cap"})
            kvtest::writeWhole(dir.file("files/") + f, "");
    }
    Names complete(std::vector<std::string> words) {
        // COMP_LINE as typed: no blanks around '=', which bash splits off as a word.
        const std::string script =
            "cd \"$1\" && shift && source /usr/share/bash-completion/bash_completion && source \"$KV_COMPLETION\" "
            "&& compopt() { :; } && COMP_WORDS=(\"$@\") && COMP_CWORD=$(($# - 1)) && COMP_LINE= && "
            "for w; do [[ $w == = || $p == = ]] && COMP_LINE+=$w || COMP_LINE+=${COMP_LINE:+ }$w; p=$w; done && "
            "COMP_POINT=${#COMP_LINE} && _kv2047_tool; printf '%s\\n' \"${COMPREPLY[@]}\"";
        words.insert(words.begin(), {"--norc", "--noprofile", "-c", script, "bash", dir.file("files"), "kv2047-tool"});
        EnvScope scope;
        scope.set("KV_COMPLETION", (kSource + "/packaging/bash-completion/kv2047-tool").c_str());
        const auto r = runProgram("/bin/bash", words, "", dir);
        EXPECT_EQ(r.err, "");
        Names got;
        std::istringstream in(r.out);
        for (std::string l; std::getline(in, l);)
            if (!l.empty()) got.insert(l);
        return got;
    }
    ScratchDir dir;
};

TEST_F(Completion, ValuesAndFiles) {
    const struct {
        std::vector<std::string> words;
        Names expected;
    } rows[] = {
        {{"rec"}, {"record", "recover"}},
        {{"export", "run.AsmDat", "--format", ""}, {"txt", "csv", "json"}},
        {{"export", "run.AsmDat", "--format", "=", "c"}, {"csv"}},
        {{"report", "run.AsmDat", "--show", "air,r"}, {"air,RH"}},
        {{"report", "run.AsmDat", "-o", ""}, {"out.pdf"}},
        {{"report", "run.AsmDat", "--page-size", ""}, {"A4", "Letter"}},
        {{"info", ""}, {"run.AsmDat"}},
        // Serial reads and text outputs: never a data file, a journal or a report.
        {{"decode", ""}, {"notes.txt", "user.cap"}},
        {{"export", "run.AsmDat", "-o", ""}, {"notes.txt", "user.cap"}},
        {{"record", "--capture", ""}, {"notes.txt", "user.cap"}},
        {{"record", "--rate", ""}, {}},
        {{"monitor", "--format", ""}, {"jsonl", "csv"}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(complete(row.words), row.expected) << row.words[0] << " ... " << row.words.back();
}

TEST_F(Completion, EveryCommandAndOptionOfTheTool) {
    const std::string tool = env("KV2047_TOOL");
    if (tool.empty()) GTEST_SKIP() << "KV2047_TOOL is not set";
    const std::string help = runProgram(tool, {"--help"}, "", dir).out;
    const Names commands = commandsOf(help);
    EXPECT_GE(commands.size(), 6u) << help;
    EXPECT_EQ(complete({""}), commands);
    EXPECT_EQ(complete({"-"}), optionsOf(help));
    for (const auto& c : commands)
        EXPECT_EQ(complete({c, "-"}), optionsOf(runProgram(tool, {c, "--help"}, "", dir).out)) << c;
}

}  // namespace
