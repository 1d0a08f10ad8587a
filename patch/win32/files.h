#pragma once
// What the parts of the Windows file layer share (files.cpp, replacement.cpp, file_access.cpp): paths
// as the wide file functions take them, the one mapping of a system error to the runtime's, whole
// reads and writes.
#include <windows.h>

#include <string>

#include "patch/errors.h"
#include "win32/scoped.h"

namespace ludrimex::windows {

// The RunError the runtime raises for a file operation on `path` that failed with the system error
// `code` (GetLastError of the failed call, unless given).
RunError file_error(const std::string& path, DWORD code = ::GetLastError());

// `path` as the wide file functions take it: beyond MAX_PATH, its full "\\?\" form, which the
// system does not cut.
std::wstring file_path(const std::string& path);

// Every byte from `file`'s position on, and every byte of `bytes` to it; RunError naming `path`.
std::string read_all(HANDLE file, const std::string& path);
void write_all(HANDLE file, const std::string& bytes, const std::string& path);

}  // namespace ludrimex::windows
