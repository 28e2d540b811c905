#include "core/config/ProfileFile.h"


#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "core/io/AtomicFile.h"
#include "core/io/ReadFile.h"
#include "core/platform/System.h"

namespace kv {

namespace {

constexpr std::size_t kMaxString = 259;  // 260-character buffer with its terminator

std::string_view trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// "[name]" -> name; false when the line is no section header.
bool sectionName(std::string_view line, std::string_view* name) {
    const std::string_view t = trim(line);
    if (t.size() < 2 || t.front() != '[') return false;
    const auto close = t.find(']');
    if (close == std::string_view::npos) return false;
    *name = trim(t.substr(1, close - 1));
    return true;
}

bool keyValue(std::string_view line, std::string_view* key, std::string_view* value) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    *key = trim(line.substr(0, eq));
    *value = trim(line.substr(eq + 1));
    return true;
}


constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The line that starts at `pos` as getline gives it, without its LF and a CR
// before it, and where the next one starts. A byte-order mark left by an
// editor would hide the first section: it is no part of the first line.
std::string_view lineAt(const std::string& text, std::size_t pos, std::size_t* next) {
    std::size_t end = text.find('\n', pos);
    *next = end == std::string::npos ? text.size() : end + 1;
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (pos == 0 && line.substr(0, kByteOrderMark.size()) == kByteOrderMark) line.remove_prefix(kByteOrderMark.size());
    return line;
}

// Far more than any configuration holds; what is larger is no configuration.
constexpr std::size_t kMaxFileBytes = 128u << 20;

// The whole file; false when it is there but cannot be read: no regular file
// (a link to /dev/zero, a pipe, which would never end or never begin), or
// larger than any configuration.
bool readWhole(const std::string& path, std::string* bytes) {
    if (readRegularFile(path, kMaxFileBytes, bytes, nullptr)) return true;
    return errno == ENOENT || errno == ENOTDIR;
}

}  // namespace

ProfileFile::ProfileFile(std::string path) : path_(std::move(path)) {}

ProfileFile::Stamp ProfileFile::stampOf(const std::string& path) {
    Stamp s;
    sys::FileStamp st;
    if (!sys::fileStamp(path, &st)) return s;
    s.exists = true;
    s.dev = st.device;
    s.ino = st.inode;
    s.size = st.size;
    s.mtimeNs = st.modifiedNs;
    s.ctimeNs = st.changedNs;
    return s;
}

void ProfileFile::refresh() const {
    if (dirty_) return;   // what was set wins until it is saved
    const Stamp now = stampOf(path_);
    if (loaded_ && now == stamp_) return;
    indexed_ = false;
    unreadable_ = !readWhole(path_, &text_);
    stamp_ = now;
    loaded_ = true;
}

void ProfileFile::buildIndex() const {
    headers_.clear();
    keys_.clear();
    // Only a line whose first character that is not a space is '[' can be a
    // header: the others are passed over at the speed of memchr.
    const char* data = text_.data();
    const std::size_t size = text_.size();
    std::size_t pos = 0;
    while (pos < size) {
        std::size_t i = pos == 0 && text_.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0 ? kByteOrderMark.size() : pos;
        while (i < size && data[i] != '\n' && std::isspace(static_cast<unsigned char>(data[i]))) ++i;
        std::size_t next = 0;
        std::string_view name;
        if (i < size && data[i] == '[' && sectionName(lineAt(text_, pos, &next), &name)) {
            headers_.push_back(pos);
            pos = next;
            continue;
        }
        const void* lf = i < size ? std::memchr(data + i, '\n', size - i) : nullptr;
        pos = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - data) + 1 : size;
    }
    indexed_ = true;
}

bool ProfileFile::find(const std::string& section, const std::string& key, std::string* value) const {
    refresh();
    if (!indexed_) buildIndex();
    auto [keys, fresh] = keys_.try_emplace(lower(section));
    if (fresh) {
        for (std::size_t h = 0; h < headers_.size(); ++h) {
            std::size_t next = 0;
            std::string_view name;
            sectionName(lineAt(text_, headers_[h], &next), &name);
            if (!equalNoCase(name, section)) continue;
            const std::size_t end = h + 1 < headers_.size() ? headers_[h + 1] : text_.size();
            for (std::size_t pos = next; pos < end; pos = next) {
                std::string_view k, v;
                // The first match wins, also across sections of the same name.
                if (keyValue(lineAt(text_, pos, &next), &k, &v)) keys->second.emplace(lower(k), pos);
            }
        }
    }
    const auto it = keys->second.find(lower(key));
    if (it == keys->second.end()) return false;
    std::size_t next = 0;
    std::string_view k, v;
    keyValue(lineAt(text_, it->second, &next), &k, &v);
    value->assign(v);
    return true;
}

bool ProfileFile::hasKey(const std::string& section, const std::string& key) const {
    std::string v;
    return find(section, key, &v);
}

int ProfileFile::readInt(const std::string& section, const std::string& key, int def) const {
    std::string v;
    if (!find(section, key, &v)) return def;
    long n = std::strtol(v.c_str(), nullptr, 10);
    if (n > 2147483647L) n = 2147483647L;
    if (n < -2147483647L - 1) n = -2147483647L - 1;
    return static_cast<int>(n);
}

std::string ProfileFile::readString(const std::string& section, const std::string& key, const std::string& def) const {
    std::string v;
    if (!find(section, key, &v)) v = def;
    if (v.size() > kMaxString) v.resize(kMaxString);
    return v;
}

bool ProfileFile::setString(const std::string& section, const std::string& key, const std::string& value) {
    refresh();
    // A file that is there but cannot be read would come back holding what
    // was set alone: leave it as it is.
    if (unreadable_) {
        error_ = path_ + ": the file cannot be read";
        return false;
    }
    if (!indexed_) buildIndex();
    // A line break in a value would start a line of its own and break the file.
    std::string oneLine = value;
    std::replace(oneLine.begin(), oneLine.end(), '\n', ' ');
    std::replace(oneLine.begin(), oneLine.end(), '\r', ' ');
    const std::string entry = key + "=" + oneLine;

    // The key goes into the first section of that name: in place of its line
    // there, else after the section's last line that is not blank.
    std::size_t h = 0, next = 0;
    for (; h < headers_.size(); ++h) {
        std::string_view name;
        sectionName(lineAt(text_, headers_[h], &next), &name);
        if (equalNoCase(name, section)) break;
    }
    // Headers after an edit move by what it added; the key index is rebuilt
    // for a section when it is next read.
    auto shiftFrom = [&](std::size_t at, std::ptrdiff_t by) {
        for (std::size_t& o : headers_)
            if (o >= at) o = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(o) + by);
    };
    keys_.clear();
    if (h == headers_.size()) {
        if (!text_.empty() && text_.back() != '\n') text_ += '\n';
        headers_.push_back(text_.size());
        text_ += "[" + section + "]\n" + entry + "\n";
    } else {
        const std::size_t end = h + 1 < headers_.size() ? headers_[h + 1] : text_.size();
        std::size_t insertAt = next;
        bool done = false;
        for (std::size_t pos = next; pos < end && !done; pos = next) {
            const std::string_view line = lineAt(text_, pos, &next);
            std::string_view k, v;
            if (keyValue(line, &k, &v) && equalNoCase(k, key)) {
                // The whole line up to its LF, a CR before it included.
                const std::size_t lf = text_.find('\n', pos);
                const std::size_t len = (lf == std::string::npos ? text_.size() : lf) - pos;
                text_.replace(pos, len, entry);
                shiftFrom(pos + 1, static_cast<std::ptrdiff_t>(entry.size()) - static_cast<std::ptrdiff_t>(len));
                done = true;
            } else if (!trim(line).empty()) {
                insertAt = next;
            }
        }
        if (!done) {
            // After a last line without its LF, the entry starts a line of its own.
            const std::string add =
                insertAt == text_.size() && !text_.empty() && text_.back() != '\n' ? "\n" + entry : entry + "\n";
            text_.insert(insertAt, add);
            shiftFrom(insertAt, static_cast<std::ptrdiff_t>(add.size()));
        }
    }
    dirty_ = true;
    return true;
}

bool ProfileFile::save() {
    refresh();
    if (unreadable_) {
        error_ = path_ + ": the file cannot be read";
        return false;
    }
    // Line by line as read: LF endings, no byte-order mark, a last LF.
    std::string bytes;
    bytes.reserve(text_.size() + 1);
    std::size_t next = 0;
    for (std::size_t pos = 0; pos < text_.size(); pos = next) {
        bytes += lineAt(text_, pos, &next);
        bytes += '\n';
    }
    if (!replaceFile(path_, bytes, &error_)) return false;
    dirty_ = false;
    stamp_ = stampOf(path_);
    return true;
}

bool ProfileFile::writeString(const std::string& section, const std::string& key, const std::string& value) {
    return setString(section, key, value) && save();
}

}  // namespace kv
