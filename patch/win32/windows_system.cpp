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
#include "patch/win32/run_lock.h"
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

std::unique_ptr<RunLock> WindowsSystem::lock_single_run(const std::string& name) {
  return windows::lock_single_run(name);
}

std::unique_ptr<ProcessSnapshot> WindowsSystem::create_process_snapshot(std::uint32_t flags,
                                                                        std::uint32_t process_id) {
  return create_tool_help_snapshot(flags, process_id);
}

std::unique_ptr<ShellLink> WindowsSystem::create_shell_link() {
  return create_link_object();
}

void WindowsSystem::bind_toolkit(const std::string& library) {
  toolkit_.entry(library);
}

bool WindowsSystem::toolkit_accepts(const std::string& text) {
  return toolkit_text(text).has_value();
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

FileKind WindowsSystem::file_kind(const std::string& path) {
  return kind_of(path);
}

bool WindowsSystem::is_absolute_path(const std::string& path) {
  return is_absolute(path);
}

std::string WindowsSystem::read_file(const std::string& path) {
  return read_whole_file(path);
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
  return reinterpret_cast<std::uintptr_t>(load_toolkit_library(name));
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
