#include "core/config/Settings.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "core/Model.h"
#include "core/link/LinkEngine.h"
#include "core/platform/System.h"

namespace kv {

namespace {

std::string envOrEmpty(const EnvLookup& env, const char* name) {
    const char* v = env ? env(name) : nullptr;
    return v ? std::string(v) : std::string();
}

bool ensureParentDir(const std::string& filePath) {
    const std::filesystem::path dir = sys::fsPath(filePath).parent_path();
    if (dir.empty()) return true;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return !ec && std::filesystem::is_directory(dir, ec);
}

constexpr int kGains[] = {1, 2, 5, 10, 20, 50, 100, 200, 500};
constexpr int kOffsets[] = {0, 2, 5, -2, -5};

const LimitKey kHighKeys[5] = {
    {"Alarmhi1Info", "Hi1 limit", "140.0"},  {"Alarmhi2Info", "Hi2 limit", "140.0"},
    {"Alarmhi3Info", "Hi3 limit", "140.0"},  {"Alarmhi4Info", "Hi4 limit", "2501.0"},
    {"Alarmhi5Info", "Hi5 limit", "100.0"},
};
const LimitKey kLowKeys[5] = {
    {"Alarmlow1Info", "Low1 limit", "0.0"}, {"Alarmlow2Info", "Low2 limit", "0.0"},
    {"Alarmlow3Info", "Low3 limit", "0.0"}, {"Alarmlow4Info", "Low4 limit", "0.0"},
    {"Alarmlow5Info", "Low5 limit", "0.0"},
};

}  // namespace

std::string resolveConfigDir(const std::string& cliDir) {
    return resolveConfigDir(cliDir, [](const char* name) -> const char* { return std::getenv(name); });
}

std::string resolveConfigDir(const std::string& cliDir, const EnvLookup& env) {
    if (!cliDir.empty()) return cliDir;
    if (std::string d = envOrEmpty(env, "KV2047_CONFIG_DIR"); !d.empty()) return d;
    if (std::string d = envOrEmpty(env, "XDG_CONFIG_HOME"); !d.empty()) return d;
    std::string home = envOrEmpty(env, "HOME");
    // Without HOME (a cron job, a service) the account's home folder.
    if (home.empty()) home = sys::homeFolder();
    if (!home.empty()) {
        while (home.size() > 1 && home.back() == '/') home.pop_back();
        return (home == "/" ? std::string() : home) + "/.config";
    }
    return ".";
}

std::string configFilePath(const std::string& dir) {
    if (dir.empty()) return kConfigFileName;
    return dir.back() == '/' ? dir + kConfigFileName : dir + "/" + kConfigFileName;
}

int readPortNumber(const ProfileFile& f) {
    const int n = f.readInt("COMInfo", "COM num", kDefaultPort);
    return (n >= 1 && n <= 16) ? n : kDefaultPort;
}

bool isAllowedGain(int gain) { return std::find(std::begin(kGains), std::end(kGains), gain) != std::end(kGains); }
bool isAllowedOffset(int offset) {
    return std::find(std::begin(kOffsets), std::end(kOffsets), offset) != std::end(kOffsets);
}

int readYGain(const ProfileFile& f) {
    const int g = f.readInt("GainInfo", "Gain", kDefaultGain);
    return isAllowedGain(g) ? g : kDefaultGain;
}

int readYOffset(const ProfileFile& f) {
    const int o = f.readInt("OffsetInfo", "Offset", kDefaultOffset);
    return isAllowedOffset(o) ? o : kDefaultOffset;
}

int readSampleRate(const ProfileFile& f) { return clampRate(f.readInt("SamprateInfo", "Samprate", kDefaultRate)); }
int readSampleCount(const ProfileFile& f) {
    return clampCount(f.readInt("SampdataInfo", "Sampdata", kDefaultCount));
}

std::string defaultDeviceFor(int portNumber) { return sys::defaultSerialDevice(portNumber); }

std::string readDeviceFor(const ProfileFile& f, int portNumber) {
    const std::string key = "COM" + std::to_string(portNumber);
    const std::string dev = f.readString("COMDevices", key, "");
    return dev.empty() ? defaultDeviceFor(portNumber) : dev;
}

LimitKey limitKey(int q, bool high) {
    q = std::clamp(q, 0, 4);
    return high ? kHighKeys[q] : kLowKeys[q];
}

std::string readLimitText(const ProfileFile& f, int q, bool high) {
    const LimitKey k = limitKey(q, high);
    return f.readString(k.section, k.key, k.def);
}

bool writeSettingsOnClose(ProfileFile& f, const Model& m) {
    bool ok = ensureParentDir(f.path());
    // Every key is set in memory and the file written once.
    auto put = [&](const char* section, const char* key, const std::string& value) {
        ok = f.setString(section, key, value) && ok;
    };
    // Without a confirmed Run the stored texts go back untouched, so a value
    // this program would not have written is still there next time.
    auto kept = [&](const char* section, const char* key, int def) {
        return f.hasKey(section, key) ? f.readString(section, key, "") : std::to_string(def);
    };

    put("COMInfo", "COM num", std::to_string(m.link.port));
    for (int q = 0; q < 5; ++q) put(kHighKeys[q].section, kHighKeys[q].key, m.readings.hiText[q]);
    for (int q = 0; q < 5; ++q) put(kLowKeys[q].section, kLowKeys[q].key, m.readings.loText[q]);
    if (m.link.runConfirmedOnce) {
        put("SamprateInfo", "Samprate", std::to_string(m.link.lastRate));
        put("SampdataInfo", "Sampdata", std::to_string(m.link.lastCount));
    } else {
        put("SamprateInfo", "Samprate", kept("SamprateInfo", "Samprate", kDefaultRate));
        put("SampdataInfo", "Sampdata", kept("SampdataInfo", "Sampdata", kDefaultCount));
    }
    put("GainInfo", "Gain", std::to_string(m.run.yGain));
    put("OffsetInfo", "Offset", std::to_string(m.run.yOffset));
    return ok && f.save();
}

}  // namespace kv
