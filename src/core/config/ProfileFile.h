#pragma once
// An INI file with private-profile semantics: case-insensitive sections and
// keys, other content kept as it is, file/section/key created on write.
//
// The file is read once and kept in memory with an index of its section
// headers (and of the keys of each section read); it is read again only when
// it changed on the disk (another program, an editor), so a program reading
// dozens of settings from a large file reads it once. Written through the
// safe writer.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kv {

class ProfileFile {
public:
    explicit ProfileFile(std::string path);

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
        uint64_t dev = 0, ino = 0, size = 0;
        int64_t mtimeNs = 0, ctimeNs = 0;
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
    // The file's bytes as read, with what was set since spliced in. Lines are
    // found in it as they are needed: a file of millions of short lines costs
    // no more memory than its size.
    mutable std::string text_;
    // Where each section header's line starts, in file order.
    mutable std::vector<std::size_t> headers_;
    // Section name (lower case) -> key (lower case) -> where the line of its
    // first match starts. Built for a section when it is first read.
    mutable std::unordered_map<std::string, std::unordered_map<std::string, std::size_t>> keys_;
    mutable bool indexed_ = false;
    bool dirty_ = false;   // set in memory, not saved yet: not replaced by a reload
};

}  // namespace kv
