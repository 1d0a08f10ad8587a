#include "patch/win32/platform_system.h"

#include <windows.h>  // first: the headers below need it

#include <knownfolders.h>
#include <shlobj.h>

#include <array>
#include <cctype>
#include <stdexcept>
#include <utility>

#include "patch/errors.h"
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

WindowsSystem::WindowsSystem(std::unique_ptr<FileCalls> calls, std::chrono::milliseconds wait_budget)
    : access_(std::move(calls), wait_budget) {}

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

std::string WindowsSystem::app_path() {
  try {
    return win32::to_utf8(win32::program_folder());
  } catch (const std::runtime_error&) {
    throw RunError(kPathFileAccessError);
  }
}

// The installer shows no window of its own: its box comes to the front, not behind the folder it was
// started from.
int WindowsSystem::message_box(const std::string& text, const std::string& title, int style) {
  return ::MessageBoxW(nullptr, win32::to_wide(text).c_str(), win32::to_wide(title).c_str(),
                       static_cast<UINT>(style) | MB_SETFOREGROUND);
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

}  // namespace ludrimex::windows

namespace ludrimex {
std::unique_ptr<System> make_platform_system() {
  return std::make_unique<windows::WindowsSystem>();
}
}  // namespace ludrimex
