// Stands for a library someone left in a download folder under a toolkit library's name: as soon as
// it is loaded its code runs, and leaves a marker file beside it.
#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  std::wstring name(32768, L'\0');
  const DWORD n = ::GetModuleFileNameW(instance, name.data(), static_cast<DWORD>(name.size()));
  name.resize(n);
  const HANDLE marker = ::CreateFileW((name + L".eseguita").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker != INVALID_HANDLE_VALUE) ::CloseHandle(marker);
  return TRUE;
}
