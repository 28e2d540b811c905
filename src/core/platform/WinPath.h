#pragma once
// Between the program's UTF-8 paths and the wide strings of the Win32 calls,
// and from Win32 error codes to errno values (Windows only).
#include <string>

namespace kv::sys {

std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& wide);
// ERROR_FILE_NOT_FOUND -> ENOENT, ERROR_DISK_FULL -> ENOSPC, ...; EIO for the rest.
int errnoOfWin32(unsigned long error);

}  // namespace kv::sys
