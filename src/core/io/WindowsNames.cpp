#include "core/io/WindowsNames.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace kv {

namespace {

bool isSep(char c) { return c == '/' || c == '\\'; }

bool reservedDevice(std::string_view part) {
    // The device name is what stands before the first dot, blanks trimmed.
    std::string base(part.substr(0, part.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    std::transform(base.begin(), base.end(), base.begin(), [](unsigned char c) { return std::toupper(c); });
    for (const char* d : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (base == d) return true;
    return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) && base[3] >= '0' &&
           base[3] <= '9';
}

std::string quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

}  // namespace

std::string windowsNameProblem(const std::string& path) {
    std::string_view rest(path);
    if (rest.size() >= 2 && isSep(rest[0]) && isSep(rest[1])) {
        // \\server\share\...: the server and share are the network's business.
        rest.remove_prefix(2);
        for (int skip = 0; skip < 2 && !rest.empty(); ++skip) {
            const auto sep = std::find_if(rest.begin(), rest.end(), isSep);
            rest.remove_prefix(static_cast<std::size_t>(sep - rest.begin()));
            if (!rest.empty()) rest.remove_prefix(1);
        }
    } else if (rest.size() >= 2 && std::isalpha(static_cast<unsigned char>(rest[0])) && rest[1] == ':' &&
               (rest.size() == 2 || isSep(rest[2]))) {
        // A drive: "C:\..." ("a:b" is a name with a colon, not a place on drive A).
        rest.remove_prefix(2);
    }
    while (!rest.empty()) {
        const auto sep = std::find_if(rest.begin(), rest.end(), isSep);
        const std::string_view part = rest.substr(0, static_cast<std::size_t>(sep - rest.begin()));
        rest.remove_prefix(part.size());
        if (!rest.empty()) rest.remove_prefix(1);
        if (part.empty() || part == "." || part == "..") continue;
        for (const char c : part) {
            if (static_cast<unsigned char>(c) < 32 || std::string_view("<>:\"|?*").find(c) != std::string_view::npos)
                return quoted(part) + " holds a character Windows does not allow in a name (" +
                       (static_cast<unsigned char>(c) < 32 ? std::string("a control character")
                                                           : std::string(1, c)) +
                       ").";
        }
        if (part.back() == '.' || part.back() == ' ')
            return quoted(part) + " ends with a dot or a blank, which Windows drops from a name.";
        if (reservedDevice(part)) return quoted(part) + " is a name Windows keeps for a device.";
    }
    return {};
}

}  // namespace kv
