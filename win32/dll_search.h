#pragma once
// Where the loader may look for a DLL loaded by name. Both programs are started from folders anyone
// may write to (a Downloads folder, a copied catalogue), so a DLL found there by name is never ours.
#include <windows.h>

namespace win32 {

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
  if (proc) {
    const auto set_default_dll_directories =
        reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void (*)()>(proc));
    set_default_dll_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
}

// For a member that must come up before anything loads a DLL.
struct RestrictedDllSearch {
  RestrictedDllSearch() { restrict_dll_search(); }
};

}  // namespace win32
