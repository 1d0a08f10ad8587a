#pragma once
// The running program file, and its folder as App.Path gives it: no trailing backslash, except at
// the root of a drive.
#include <windows.h>

#include <stdexcept>
#include <string>

namespace win32 {

// The running program file's full path.
inline std::wstring program_file() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (n == 0) throw std::runtime_error("GetModuleFileNameW failed");
    if (n < name.size()) {
      name.resize(n);
      return name;
    }
    name.resize(name.size() * 2);
  }
}

inline std::wstring program_folder() {
  std::wstring name = program_file();
  name.erase(name.find_last_of(L'\\'));
  if (name.size() == 2 && name[1] == L':') name += L'\\';
  return name;
}

}  // namespace win32
