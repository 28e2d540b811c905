#pragma once
// An INI file with private-profile semantics: case-insensitive sections and
// keys, other content kept as it is, file/section/key created on write.
#include <string>
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

    const std::string& path() const { return path_; }

private:
    std::vector<std::string> load() const;
    bool find(const std::vector<std::string>& lines, const std::string& section, const std::string& key,
              std::string* value) const;

    std::string path_;
};

}  // namespace kv
