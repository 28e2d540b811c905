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
    }
    ~TestHome() {
        // A forked child that exits leaves its parent's home alone.
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
