#include "patch/win32/windows_system.h"

#include <windows.h>  // first: the headers below need it

#include <knownfolders.h>
#include <shlobj.h>

#include <array>
#include <cctype>
#include <stdexcept>

#include "patch/errors.h"
#include "patch/win32/files.h"
#include "patch/win32/link_object.h"
#include "patch/win32/process_snapshot.h"
#include "win32/program_folder.h"
#include "win32/text.h"

namespace ludrimex::windows {
namespace {

struct SpecialFolder {
  const char* name;
  const KNOWNFOLDERID* id;
};

// The names WScript.Shell's SpecialFolders knows.
const std::array<SpecialFolder, 16> kSpecialFolders{{
    {"AllUsersDesktop", &FOLDERID_PublicDesktop},
    {"AllUsersStartMenu", &FOLDERID_CommonStartMenu},
    {"AllUsersPrograms", &FOLDERID_CommonPrograms},
    {"AllUsersStartup", &FOLDERID_CommonStartup},
    {"Desktop", &FOLDERID_Desktop},
    {"Favorites", &FOLDERID_Favorites},
    {"Fonts", &FOLDERID_Fonts},
    {"MyDocuments", &FOLDERID_Documents},
    {"NetHood", &FOLDERID_NetHood},
    {"PrintHood", &FOLDERID_PrintHood},
    {"Programs", &FOLDERID_Programs},
    {"Recent", &FOLDERID_Recent},
    {"SendTo", &FOLDERID_SendTo},
    {"StartMenu", &FOLDERID_StartMenu},
    {"Startup", &FOLDERID_Startup},
    {"Templates", &FOLDERID_Templates},
}};

bool same_name(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return i == a.size() && b[i] == '\0';
}

}  // namespace

WindowsSystem::DllSearchHardening::DllSearchHardening() {
  // A patch is mostly started from a download folder, where anyone may have left a DLL named like a
  // toolkit library: the current directory is never searched. Our own folder and the system
  // folders still are, and that is where the toolkit libraries lie.
  ::SetDllDirectoryW(L"");
  // Where the loader has it (Windows 8, Windows 7 with KB2533623, Wine), also keep to the safe
  // folders by default: Wine takes an empty DLL directory for none and would search the current one.
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  const FARPROC proc = kernel32 ? ::GetProcAddress(kernel32, "SetDefaultDllDirectories") : nullptr;
  if (proc) {
    const auto set_default_dll_directories =
        reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void (*)()>(proc));
    set_default_dll_directories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  }
}

WindowsSystem::WindowsSystem() = default;

std::string WindowsSystem::special_folder(const std::string& name) {
  for (const auto& folder : kSpecialFolders) {
    if (!same_name(name, folder.name)) continue;
    PWSTR path = nullptr;
    const HRESULT hr = ::SHGetKnownFolderPath(*folder.id, 0, nullptr, &path);
    win32::TaskMem owned(path);
    if (FAILED(hr)) throw RunError(kPathNotFound, name);
    return win32::to_utf8(path);
  }
  return {};  // as WScript.Shell answers a name it does not know
}

std::string WindowsSystem::dir(const std::string& path, int attributes) {
  return find_first(path, attributes);
}

std::unique_ptr<ProcessSnapshot> WindowsSystem::create_process_snapshot(std::uint32_t flags,
                                                                        std::uint32_t process_id) {
  return create_tool_help_snapshot(flags, process_id);
}

std::unique_ptr<ShellLink> WindowsSystem::create_shell_link() {
  return create_link_object();
}

std::int32_t WindowsSystem::create_shell_link_4(const std::string& library, const std::string& gruppo,
                                                const std::string& titolo, const std::string& percorso,
                                                const std::string& argomenti) {
  return toolkit_.call_4(library, gruppo, titolo, percorso, argomenti);
}

std::int32_t WindowsSystem::create_shell_link_6(const std::string& library, const std::string& gruppo,
                                                const std::string& titolo, const std::string& percorso,
                                                const std::string& argomenti, std::int32_t privato,
                                                const std::string& genitore) {
  return toolkit_.call_6(library, gruppo, titolo, percorso, argomenti, privato, genitore);
}

std::string WindowsSystem::read_file(const std::string& path) {
  return read_whole_file(path);
}

void WindowsSystem::append_file(const std::string& path, const std::string& bytes) {
  append_to_file(path, bytes);
}

void WindowsSystem::write_file(const std::string& path, const std::string& bytes) {
  replace_file_contents(path, bytes);
}

void WindowsSystem::delete_file(const std::string& path) {
  windows::delete_file(path);
}

void WindowsSystem::copy_file(const std::string& from, const std::string& to) {
  windows::copy_file(from, to);
}

std::string WindowsSystem::short_date() {
  std::array<wchar_t, 128> text{};
  const int n = ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, text.data(),
                                  static_cast<int>(text.size()), nullptr);
  if (n == 0) throw RunError(kInvalidArgument);
  return win32::to_utf8(std::wstring_view(text.data(), static_cast<std::size_t>(n - 1)));
}

std::string WindowsSystem::app_path() {
  try {
    return win32::to_utf8(win32::program_folder());
  } catch (const std::runtime_error&) {
    throw RunError(kPathFileAccessError);
  }
}

int WindowsSystem::message_box(const std::string& text, const std::string& title, int style) {
  return ::MessageBoxW(nullptr, win32::to_wide(text).c_str(), win32::to_wide(title).c_str(),
                       static_cast<UINT>(style));
}

void WindowsSystem::do_events() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Not ours to consume: leave it for whoever runs the message loop.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

std::uintptr_t WindowsSystem::do_load_library(const std::string& name) {
  const auto ansi = win32::to_ansi(name);
  if (!ansi) return 0;
  // A probe that finds a broken library answers "not loadable" instead of raising a system box.
  DWORD previous = 0;
  ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous);
  const HMODULE module = ::LoadLibraryA(ansi->c_str());
  ::SetThreadErrorMode(previous, nullptr);
  return reinterpret_cast<std::uintptr_t>(module);
}

void WindowsSystem::do_free_library(std::uintptr_t handle) {
  ::FreeLibrary(reinterpret_cast<HMODULE>(handle));
}

}  // namespace ludrimex::windows

namespace ludrimex {
std::unique_ptr<System> make_platform_system() {
  return std::make_unique<windows::WindowsSystem>();
}
}  // namespace ludrimex
