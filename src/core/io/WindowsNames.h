#pragma once
// The names Windows refuses or silently changes: device names (CON, aux.txt,
// COM1.log, ...), characters it does not allow (a:b, a?b), and a trailing dot
// or blank, which it drops so that another file would be written. The Windows
// file writer refuses them with this reason before touching the disk; it is a
// plain rule on text, so it is tested on every system.
#include <string>

namespace kv {

// Why Windows would refuse `path` (folders separated by '\' or '/', an
// optional drive "C:" or a "\\server\share" first); empty when it takes it.
std::string windowsNameProblem(const std::string& path);

}  // namespace kv
