#pragma once
// An INI file with private-profile semantics: case-insensitive sections and
// keys, other content kept as it is, file/section/key created on write.
//
// The file is read once and kept in memory with an index of its sections (and
// of the keys of each section read); it is read again only when it changed on
// the disk (another program, an editor), so a program reading dozens of
// settings from a large file reads it once. Written through the safe writer.
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kv {

class ProfileFile {
public:
    explicit ProfileFile(std::string path);
    // Its lines point into its own buffers.
    ProfileFile(const ProfileFile&) = delete;
    ProfileFile& operator=(const ProfileFile&) = delete;

    // Integer read: the default when the key is missing, 0 when the value is no number.
    int readInt(const std::string& section, const std::string& key, int def) const;
    // String read of at most 259 characters, the default when the key is missing.
    std::string readString(const std::string& section, const std::string& key, const std::string& def) const;
    // True when the section holds the key (whatever its value).
    bool hasKey(const std::string& section, const std::string& key) const;
    // Writes one key; returns false when the file could not be written.
    bool writeString(const std::string& section, const std::string& key, const std::string& value);

    // Sets one key in memory only; save() writes them all at once. False when
    // the file is there but cannot be read (it would come back holding only
    // what was set).
    bool setString(const std::string& section, const std::string& key, const std::string& value);
    // Writes the file through the safe writer. False with error() set.
    bool save();
    const std::string& error() const { return error_; }

    const std::string& path() const { return path_; }

private:
    // What identifies the file's version on the disk.
    struct Stamp {
        bool exists = false;
        dev_t dev = 0;
        ino_t ino = 0;
        off_t size = 0;
        long long mtimeNs = 0, ctimeNs = 0;
        bool operator==(const Stamp&) const = default;
    };
    static Stamp stampOf(const std::string& path);
    // Loads the file unless what is in memory is still what is on the disk.
    void refresh() const;
    void buildIndex() const;
    bool find(const std::string& section, const std::string& key, std::string* value) const;

    std::string path_;
    std::string error_;
    mutable bool loaded_ = false;
    mutable bool unreadable_ = false;
    mutable Stamp stamp_;
    // The file as read, and its lines as views into it or into `added_`, which
    // holds the lines set since (a deque: its strings never move).
    mutable std::unique_ptr<char[]> text_;
    mutable std::size_t textSize_ = 0;
    mutable std::vector<std::string_view> lines_;
    mutable std::deque<std::string> added_;
    // Section name (lower case) -> the line ranges of its sections, in file order.
    mutable std::unordered_map<std::string, std::vector<std::pair<std::size_t, std::size_t>>> sections_;
    // Section name -> key (lower case) -> line of the first match. Built for a
    // section when it is first read, so a large file costs one pass.
    mutable std::unordered_map<std::string, std::unordered_map<std::string, std::size_t>> keys_;
    mutable bool indexed_ = false;
    bool dirty_ = false;   // set in memory, not saved yet: not replaced by a reload
};

}  // namespace kv
