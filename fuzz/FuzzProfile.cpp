// The configuration file as the program reads it at start-up and rewrites it on
// closing. The reader takes a path, so each input is written to a scratch file
// first. After closing writes its fifteen keys, each reads back as written.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "FuzzInput.h"
#include "core/Model.h"
#include "core/config/ProfileFile.h"
#include "core/config/Settings.h"

namespace {

std::string scratchPath() {
    const char* dir = std::getenv("TMPDIR");
    std::string tmpl = std::string(dir && *dir ? dir : "/tmp") + "/kv2047-fuzz-ini-XXXXXX";
    const int fd = mkstemp(tmpl.data());
    KVFUZZ_CHECK(fd >= 0);
    close(fd);
    return tmpl;
}

struct Scratch {
    std::string path = scratchPath();
    ~Scratch() {
        std::remove(path.c_str());
        std::remove((path + ".tmp").c_str());
    }
};

bool writeFile(const std::string& path, const uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static Scratch scratch;
    KVFUZZ_CHECK(writeFile(scratch.path, data, size));
    kv::ProfileFile ini(scratch.path);

    // Start-up: every reader keeps its value within what its user can take.
    kv::Model m;
    m.link.port = kv::readPortNumber(ini);
    KVFUZZ_CHECK(m.link.port >= 1 && m.link.port <= 16);
    m.run.yGain = kv::readYGain(ini);
    m.run.yOffset = kv::readYOffset(ini);
    KVFUZZ_CHECK(kv::isAllowedGain(m.run.yGain) && kv::isAllowedOffset(m.run.yOffset));
    const int rate = kv::readSampleRate(ini);
    const int count = kv::readSampleCount(ini);
    KVFUZZ_CHECK(rate >= 1 && rate <= 3600 && count >= 1000 && count <= 10000);
    for (int n = 1; n <= 16; ++n) KVFUZZ_CHECK(kv::readDeviceFor(ini, n).size() <= 259);
    for (int q = 0; q < 5; ++q)
        for (bool high : {true, false}) {
            const std::string text = kv::readLimitText(ini, q, high);
            KVFUZZ_CHECK(text.size() <= 259);
            kv::loadLimitText(m.readings, q, high, text);
        }

    // Closing: the fifteen keys are written and read back as written. Writing
    // costs fifteen file replacements, so a quarter of the inputs do it.
    if (size % 4 != 0) return 0;
    m.link.runConfirmedOnce = size % 8 == 0;
    m.link.lastRate = rate;
    m.link.lastCount = count;
    if (!kv::writeSettingsOnClose(ini, m)) return 0;  // e.g. the scratch folder is full
    const kv::ProfileFile back(scratch.path);
    KVFUZZ_CHECK(kv::readPortNumber(back) == m.link.port);
    KVFUZZ_CHECK(kv::readYGain(back) == m.run.yGain && kv::readYOffset(back) == m.run.yOffset);
    if (m.link.runConfirmedOnce) KVFUZZ_CHECK(kv::readSampleRate(back) == rate && kv::readSampleCount(back) == count);
    // A line break inside a value is written as a blank: it cannot split the line.
    auto asWritten = [](std::string s) {
        for (char& c : s)
            if (c == '\r' || c == '\n') c = ' ';
        return s;
    };
    for (int q = 0; q < 5; ++q) {
        KVFUZZ_CHECK(kv::readLimitText(back, q, true) == asWritten(m.readings.hiText[q]));
        KVFUZZ_CHECK(kv::readLimitText(back, q, false) == asWritten(m.readings.loText[q]));
    }
    return 0;
}
