#include "core/config/ProfileFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "core/io/AtomicFile.h"

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

long long nanoseconds(const struct timespec& t) { return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec; }

// The whole file into *bytes (not zeroed first: a large file is read once);
// false when it is there but cannot be read.
bool readWhole(const std::string& path, std::unique_ptr<char[]>* bytes, std::size_t* size) {
    *size = 0;
    bytes->reset();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR;
    struct stat st {};
    std::size_t cap = ::fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : 4096;
    *bytes = std::make_unique_for_overwrite<char[]>(cap);
    for (;;) {
        if (*size == cap) {   // it grew while we read
            auto bigger = std::make_unique_for_overwrite<char[]>(cap * 2);
            std::memcpy(bigger.get(), bytes->get(), *size);
            *bytes = std::move(bigger);
            cap *= 2;
        }
        const ssize_t n = ::read(fd, bytes->get() + *size, cap - *size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            *size = 0;
            return false;
        }
        if (n == 0) break;
        *size += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return true;
}

}  // namespace

ProfileFile::ProfileFile(std::string path) : path_(std::move(path)) {}

ProfileFile::Stamp ProfileFile::stampOf(const std::string& path) {
    Stamp s;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return s;
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtimeNs = nanoseconds(st.st_mtim);
    s.ctimeNs = nanoseconds(st.st_ctim);
    return s;
}

void ProfileFile::refresh() const {
    if (dirty_) return;   // what was set wins until it is saved
    const Stamp now = stampOf(path_);
    if (loaded_ && now == stamp_) return;
    lines_.clear();
    added_.clear();
    indexed_ = false;
    unreadable_ = !readWhole(path_, &text_, &textSize_);
    stamp_ = now;
    loaded_ = true;
    if (unreadable_) return;
    // Lines as getline gives them: split at LF, a CR before it dropped, no line
    // after a final LF.
    const std::string_view all(text_.get(), textSize_);
    lines_.reserve(static_cast<std::size_t>(std::count(all.begin(), all.end(), '\n')) + 1);
    std::size_t pos = 0;
    while (pos < all.size()) {
        std::size_t end = all.find('\n', pos);
        if (end == std::string_view::npos) end = all.size();
        std::string_view line = all.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        // A byte-order mark left by an editor would hide the first section.
        if (lines_.empty() && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
        lines_.push_back(line);
        pos = end + 1;
    }
}

void ProfileFile::buildIndex() const {
    sections_.clear();
    keys_.clear();
    std::vector<std::pair<std::size_t, std::size_t>>* open = nullptr;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        std::string_view name;
        if (!sectionName(lines_[i], &name)) continue;
        if (open) open->back().second = i;
        open = &sections_[lower(name)];
        open->emplace_back(i + 1, lines_.size());
    }
    indexed_ = true;
}

bool ProfileFile::find(const std::string& section, const std::string& key, std::string* value) const {
    refresh();
    if (!indexed_) buildIndex();
    const std::string sec = lower(section);
    auto [keys, fresh] = keys_.try_emplace(sec);
    if (fresh) {
        if (const auto s = sections_.find(sec); s != sections_.end()) {
            for (const auto& [from, to] : s->second) {
                for (std::size_t i = from; i < to; ++i) {
                    std::string_view k, v;
                    // The first match wins, also across sections of the same name.
                    if (keyValue(lines_[i], &k, &v)) keys->second.emplace(lower(k), i);
                }
            }
        }
    }
    const auto it = keys->second.find(lower(key));
    if (it == keys->second.end()) return false;
    std::string_view k, v;
    keyValue(lines_[it->second], &k, &v);
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
    // A line break in a value would start a line of its own and break the file.
    std::string oneLine = value;
    std::replace(oneLine.begin(), oneLine.end(), '\n', ' ');
    std::replace(oneLine.begin(), oneLine.end(), '\r', ' ');
    const std::string entry = key + "=" + oneLine;
    bool inSection = false, sectionFound = false;
    std::size_t insertAt = lines_.size();
    bool done = false;
    for (std::size_t i = 0; i < lines_.size() && !done; ++i) {
        std::string_view name, k, v;
        if (sectionName(lines_[i], &name)) {
            if (inSection) break;  // insertAt: after the last line of this section
            inSection = equalNoCase(name, section);
            if (inSection) {
                sectionFound = true;
                insertAt = i + 1;
            }
        } else if (inSection) {
            if (keyValue(lines_[i], &k, &v) && equalNoCase(k, key)) {
                lines_[i] = added_.emplace_back(entry);
                done = true;
            } else if (!trim(lines_[i]).empty()) {
                insertAt = i + 1;
            }
        }
    }
    if (!done) {
        if (sectionFound) {
            lines_.insert(lines_.begin() + static_cast<long>(insertAt), added_.emplace_back(entry));
        } else {
            lines_.push_back(added_.emplace_back("[" + section + "]"));
            lines_.push_back(added_.emplace_back(entry));
        }
    }
    indexed_ = false;
    dirty_ = true;
    return true;
}

bool ProfileFile::save() {
    refresh();
    if (unreadable_) {
        error_ = path_ + ": the file cannot be read";
        return false;
    }
    std::string bytes;
    std::size_t total = 0;
    for (const auto& l : lines_) total += l.size() + 1;
    bytes.reserve(total);
    for (const auto& l : lines_) {
        bytes += l;
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
