#pragma once
// The program's settings in KV2047config.ini: where the file lives, what each
// reader takes from it, and what closing the main window writes back.
#include <functional>
#include <string>

#include "core/config/ProfileFile.h"

namespace kv {

struct Model;

inline constexpr const char* kConfigFileName = "KV2047config.ini";

// Environment lookup: returns the variable's value, or nullptr when it is not set.
using EnvLookup = std::function<const char*(const char*)>;

// The configuration directory: --config-dir, else $KV2047_CONFIG_DIR, else
// $XDG_CONFIG_HOME, else $HOME/.config (without HOME, the account's home folder;
// the current directory only when there is none). Empty variables count as unset.
std::string resolveConfigDir(const std::string& cliDir);
std::string resolveConfigDir(const std::string& cliDir, const EnvLookup& env);

// "<dir>/KV2047config.ini".
std::string configFilePath(const std::string& dir);

// Defaults of the keys.
inline constexpr int kDefaultPort = 1;
inline constexpr int kDefaultGain = 10;
inline constexpr int kDefaultOffset = 0;
inline constexpr int kDefaultRate = 1;
inline constexpr int kDefaultCount = 1000;

// Port number, 1..16; anything else names no port we can open and becomes 1.
int readPortNumber(const ProfileFile& f);

// The live graph's Y scale. A value that is not one of the scale's choices
// (gains 1, 2, 5, ... 500; offsets 0, 2, 5, -2, -5) becomes the default: a
// gain of 0 from a damaged file would make every grid value 0 and the graph
// divide by zero.
int readYGain(const ProfileFile& f);
int readYOffset(const ProfileFile& f);
bool isAllowedGain(int gain);
bool isAllowedOffset(int offset);

// What the run settings dialog opens with before the first Run, kept within
// what the store and the arrows allow (1..3600 s, 1000..10000 samples).
int readSampleRate(const ProfileFile& f);
int readSampleCount(const ProfileFile& f);

// Device path of COMn: section "COMDevices", key "COMn", default /dev/ttyUSB<n-1>
// (the port COMn itself on Windows).
std::string defaultDeviceFor(int portNumber);
std::string readDeviceFor(const ProfileFile& f, int portNumber);

// Alarm limit texts, q = 0..4 (AIR, WB, DP, K/IR, RH), as the readings panel shows them.
struct LimitKey {
    const char* section;
    const char* key;
    const char* def;
};
LimitKey limitKey(int q, bool high);
std::string readLimitText(const ProfileFile& f, int q, bool high);

// Closing: writes all fifteen keys in their fixed order (the order new sections
// take in a fresh file), creating the directory when needed. "Samprate" and
// "Sampdata" come from the last confirmed Run; without one, what the file holds
// is kept (the defaults are written when the keys are missing). The file is
// written once, through the safe writer. Returns false when it failed.
bool writeSettingsOnClose(ProfileFile& f, const Model& m);

}  // namespace kv
