// Linked into every test program: before main() it gives the program a home
// and XDG folders of its own in a fresh temporary folder, and removes them at
// its end, so that a test run leaves the user's home as it was (Qt's dialogs
// write QtProject.conf into the configuration folder, the run journal goes to
// the state folder). The programs a test starts (the simulator, kv2047-tool,
// kv2047) inherit them.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class TestHome {
public:
    TestHome() : owner_(::getpid()) {
        // A test program that a test starts (one killed on purpose, say) keeps
        // the home of the one that started it, which removes it.
        if (const char* outer = std::getenv("KV2047_TEST_HOME"); outer && std::filesystem::is_directory(outer)) {
            owner_ = -1;
            return;
        }
        std::string tmpl = (std::filesystem::temp_directory_path() / "kv2047-test-home-XXXXXX").string();
        if (::mkdtemp(tmpl.data()) == nullptr) {
            std::perror("kv2047 tests: a temporary home");
            std::abort();
        }
        root_ = tmpl;
        const std::pair<const char*, const char*> folders[] = {
            {"HOME", ""},
            {"XDG_CONFIG_HOME", "/.config"},
            {"XDG_STATE_HOME", "/.local/state"},
            {"XDG_DATA_HOME", "/.local/share"},
            {"XDG_CACHE_HOME", "/.cache"},
            {"XDG_RUNTIME_DIR", "/runtime"},  // Qt wants it private (0700)
        };
        for (const auto& [name, sub] : folders) {
            const std::string dir = root_ + sub;
            std::filesystem::create_directories(dir);
            ::chmod(dir.c_str(), 0700);
            ::setenv(name, dir.c_str(), 1);
        }
        ::setenv("KV2047_TEST_HOME", root_.c_str(), 1);
    }
    ~TestHome() {
        // Neither a forked child nor a program started by a test removes it.
        if (::getpid() != owner_) return;
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

private:
    pid_t owner_;
    std::string root_;
};

const TestHome home;

}  // namespace
