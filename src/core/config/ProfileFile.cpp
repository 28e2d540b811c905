#include "core/config/ProfileFile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kv {

namespace {

constexpr std::size_t kMaxString = 259;  // 260-character buffer with its terminator

std::string trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

bool equalNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// "[name]" -> name; empty optional when the line is no section header.
bool sectionName(const std::string& line, std::string* name) {
    const std::string t = trim(line);
    if (t.size() < 2 || t.front() != '[') return false;
    const auto close = t.find(']');
    if (close == std::string::npos) return false;
    *name = trim(t.substr(1, close - 1));
    return true;
}

bool keyValue(const std::string& line, std::string* key, std::string* value) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) return false;
    *key = trim(line.substr(0, eq));
    *value = trim(line.substr(eq + 1));
    return true;
}

}  // namespace

ProfileFile::ProfileFile(std::string path) : path_(std::move(path)) {}

std::vector<std::string> ProfileFile::load() const {
    std::vector<std::string> lines;
    std::ifstream in(path_, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // A byte-order mark left by an editor would hide the first section.
        if (lines.empty() && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
        lines.push_back(line);
    }
    return lines;
}

bool ProfileFile::find(const std::vector<std::string>& lines, const std::string& section, const std::string& key,
                       std::string* value) const {
    bool inSection = false;
    for (const auto& l : lines) {
        std::string name, k, v;
        if (sectionName(l, &name)) {
            inSection = equalNoCase(name, section);
        } else if (inSection && keyValue(l, &k, &v) && equalNoCase(k, key)) {
            *value = v;
            return true;
        }
    }
    return false;
}

bool ProfileFile::hasKey(const std::string& section, const std::string& key) const {
    std::string v;
    return find(load(), section, key, &v);
}

int ProfileFile::readInt(const std::string& section, const std::string& key, int def) const {
    std::string v;
    if (!find(load(), section, key, &v)) return def;
    long n = std::strtol(v.c_str(), nullptr, 10);
    if (n > 2147483647L) n = 2147483647L;
    if (n < -2147483647L - 1) n = -2147483647L - 1;
    return static_cast<int>(n);
}

std::string ProfileFile::readString(const std::string& section, const std::string& key, const std::string& def) const {
    std::string v;
    if (!find(load(), section, key, &v)) v = def;
    if (v.size() > kMaxString) v.resize(kMaxString);
    return v;
}

bool ProfileFile::writeString(const std::string& section, const std::string& key, const std::string& value) {
    // A file that is there but cannot be read would come back holding this key
    // alone: leave it as it is.
    {
        std::error_code ec;
        if (std::filesystem::exists(path_, ec) && !std::ifstream(path_, std::ios::binary)) return false;
    }
    std::vector<std::string> lines = load();
    // A line break in a value would start a line of its own and break the file.
    std::string oneLine = value;
    std::replace(oneLine.begin(), oneLine.end(), '\n', ' ');
    std::replace(oneLine.begin(), oneLine.end(), '\r', ' ');
    const std::string entry = key + "=" + oneLine;
    bool inSection = false, sectionFound = false;
    std::size_t insertAt = lines.size();
    bool done = false;
    for (std::size_t i = 0; i < lines.size() && !done; ++i) {
        std::string name, k, v;
        if (sectionName(lines[i], &name)) {
            if (inSection) break;  // insertAt: after the last line of this section
            inSection = equalNoCase(name, section);
            if (inSection) { sectionFound = true; insertAt = i + 1; }
        } else if (inSection) {
            if (keyValue(lines[i], &k, &v) && equalNoCase(k, key)) {
                lines[i] = entry;
                done = true;
            } else if (!trim(lines[i]).empty()) {
                insertAt = i + 1;
            }
        }
    }
    if (!done) {
        if (sectionFound) {
            lines.insert(lines.begin() + static_cast<long>(insertAt), entry);
        } else {
            lines.push_back("[" + section + "]");
            lines.push_back(entry);
        }
    }
    // Write beside and rename, so a failed write never leaves half a file.
    const std::string tmp = path_ + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        for (const auto& l : lines) out << l << "\n";
        out.flush();
        if (!out) { std::remove(tmp.c_str()); return false; }
    }
    if (std::rename(tmp.c_str(), path_.c_str()) != 0) { std::remove(tmp.c_str()); return false; }
    return true;
}

}  // namespace kv
