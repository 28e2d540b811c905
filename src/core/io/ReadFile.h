#pragma once
// Opening what the programs read from outside (the configuration, run
// journals, data files) so that nothing at the name can stall or swamp them:
// a pipe nobody writes never blocks the open, and a file that must be a file
// is refused when it is a pipe, a device or a folder, or larger than its kind.
#include <cstddef>
#include <string>

namespace kv {

// Opens `path` for reading without waiting for a pipe's writer (a pipe with
// none reads as empty); reads then wait as usual. -1 with errno set.
int openForReading(const std::string& path);

// Opens `path` for reading (or for appending to it, never creating it) only
// when it is a regular file. -1 with the reason and errno set: ENOENT when
// nothing is there, EINVAL when it is no regular file.
enum class OpenFor { Reading, Appending };
int openRegularFile(const std::string& path, std::string* reason, OpenFor how = OpenFor::Reading);

// Reads the whole regular file at `path`, refusing one larger than `maxBytes`.
// False with the reason and errno set (EFBIG for a file too large).
bool readRegularFile(const std::string& path, std::size_t maxBytes, std::string* bytes, std::string* reason);

// Reads `fd` to its end or to one byte past `maxBytes`, whichever comes first,
// so a caller tells "too large" from "just fits". False on a read error.
bool readBounded(int fd, std::size_t maxBytes, std::string* bytes);

}  // namespace kv
