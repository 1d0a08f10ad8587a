#pragma once
// Where the loader may look for a DLL loaded by name. Both programs are started from folders anyone
// may write to (a Downloads folder, a copied catalogue), so a DLL found there by name is never ours.
#include <windows.h>

#include <string>
#include <string_view>

namespace win32 {

// An entry GetProcAddress found, as the function it is: through the generic function pointer type,
// the one conversion of FARPROC every compiler accepts without a warning.
template <class Function>
Function as_function(FARPROC proc) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(proc));
}

// Takes the program's folder and the current directory out of the search for every DLL loaded by
// name from now on, ours and the system's own (COM servers, shell extensions): only the system
// folder remains. A DLL of our own is loaded by its full path.
inline void restrict_dll_search() {
  // Removes the current directory, also where the call below is missing (Windows 7 without
  // KB2533623).
  ::SetDllDirectoryW(L"");
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  const FARPROC proc = kernel32 ? ::GetProcAddress(kernel32, "SetDefaultDllDirectories") : nullptr;
  if (proc) as_function<SetDefaultDllDirectoriesFunction>(proc)(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// Whether the loader takes the LOAD_LIBRARY_SEARCH_ flags (not on Windows 7 without KB2533623).
inline bool search_flags_known() {
  const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  return kernel32 && ::GetProcAddress(kernel32, "AddDllDirectory");
}

// The full path of `file` in the system folder; empty when the system can't tell its folder.
inline std::wstring in_system_folder(std::wstring_view file) {
  wchar_t folder[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(folder, length) + L"\\" + std::wstring(file);
}

// A DLL of the system's own ("dwmapi.dll") from the system folder and nowhere else, its
// dependencies too: by name where the loader takes the search flags, else by its full path. Null
// when the system has none.
inline HMODULE load_system_library(const wchar_t* file) {
  if (search_flags_known()) return ::LoadLibraryExW(file, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  const std::wstring path = in_system_folder(file);
  return path.empty() ? nullptr : ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// For a member that must come up before anything loads a DLL.
struct RestrictedDllSearch {
  RestrictedDllSearch() { restrict_dll_search(); }
};

}  // namespace win32
