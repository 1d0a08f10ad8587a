#include <windows.h>  // first: the headers below need it

#include <shlwapi.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "patch/errors.h"
#include "patch/win32/platform_system.h"
#include "toolkit/entry.h"
#include "win32/dll_search.h"
#include "win32/program_folder.h"
#include "win32/text.h"

namespace ludrimex::windows {
namespace {

// `utf8` as the toolkit libraries take it: in the ANSI code page without any substitution, with no
// NUL and shorter than MAX_PATH bytes; nothing when it is not so.
std::optional<std::string> toolkit_text(const std::string& utf8) {
  if (utf8.find('\0') != std::string::npos) return std::nullopt;
  auto text = win32::to_ansi(utf8);
  if (!text || text->size() >= MAX_PATH) return std::nullopt;
  return text;
}

// The libraries take ANSI text; a character the code page can't hold would give another path.
std::string ansi(const std::string& utf8) {
  auto text = toolkit_text(utf8);
  if (!text) throw RunError(kInvalidArgument, utf8);
  return *text;
}

// The toolkit libraries that ship beside Ludrimex.exe, by their file names.
constexpr std::array<std::wstring_view, 1> kShipped{L"STKIT432.DLL"};

bool is_bare_name(const std::wstring& name) {
  return name.find_first_of(L"\\/:") == std::wstring::npos;
}

// The file name LoadLibrary would look for: ".DLL" added when the name has no extension, a
// trailing dot standing for none.
std::wstring file_name(std::wstring name) {
  if (!name.empty() && name.back() == L'.') {
    name.pop_back();
  } else if (name.find(L'.') == std::wstring::npos) {
    name += L".DLL";
  }
  return name;
}

bool is_shipped(const std::wstring& file) {
  return std::any_of(kShipped.begin(), kShipped.end(), [&](std::wstring_view shipped) {
    return ::CompareStringOrdinal(file.c_str(), static_cast<int>(file.size()), shipped.data(),
                                  static_cast<int>(shipped.size()), TRUE) == CSTR_EQUAL;
  });
}

bool is_file(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// LoadLibraryExW, with the library's dependencies from the system folder where the loader can be
// told so; else a library named by its full path has them looked up beside it first, not beside
// the installer, which lies in a download folder. A library that can't be loaded answers null
// instead of raising a system box.
HMODULE load(const std::wstring& name) {
  DWORD previous = 0;
  ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous);
  const DWORD where = win32::search_flags_known()       ? LOAD_LIBRARY_SEARCH_SYSTEM32
                      : ::PathIsRelativeW(name.c_str()) ? 0
                                                        : LOAD_WITH_ALTERED_SEARCH_PATH;
  const HMODULE module = ::LoadLibraryExW(name.c_str(), nullptr, where);
  const DWORD error = ::GetLastError();
  ::SetThreadErrorMode(previous, nullptr);
  ::SetLastError(error);
  return module;
}

// `file` from the system folder alone: by name where the search flags are known, else by full path.
HMODULE load_from_system_folder(const std::wstring& file) {
  if (win32::search_flags_known()) return load(file);
  const std::wstring path = win32::in_system_folder(file);
  return path.empty() ? nullptr : load(path);
}

// Loads a toolkit library named as LoadLibraryA would take it ("VB6STKIT", "STKIT432.DLL"), but
// never from the current directory or a folder someone else chose: the library we ship
// (STKIT432) from the installer's own folder, else from the system folder; any other library only
// from the system folder. A full path is loaded as it stands. Its dependencies come from the
// system folder. Null when it can't be loaded, with GetLastError() telling why.
HMODULE load_toolkit_library(const std::string& name, const HeldDelivery& delivery) {
  const std::wstring wide = win32::to_wide(name);
  if (wide.empty()) {
    ::SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  if (!is_bare_name(wide)) return load(wide);
  const std::wstring file = file_name(wide);
  if (is_shipped(file) && delivery.may_load(file)) {
    std::wstring beside_us = win32::program_folder();
    if (beside_us.back() != L'\\') beside_us += L'\\';
    beside_us += file;
    if (is_file(beside_us)) return load(beside_us);
  }
  return load_from_system_folder(file);
}

}  // namespace

FARPROC ToolkitLibraries::entry(const std::string& library) {
  if (auto it = bound_.find(library); it != bound_.end()) return it->second.function;

  win32::Library module(load_toolkit_library(library, delivery_));
  if (!module) {
    const DWORD code = ::GetLastError();
    throw RunError(code == ERROR_MOD_NOT_FOUND ? kFileNotFound : kDllLoadError, library);
  }
  const FARPROC function = ::GetProcAddress(module.get(), "fCreateShellLink");
  if (!function) throw RunError(kDllEntryNotFound, library);
  bound_.emplace(library, Bound{std::move(module), function});
  return function;
}

void WindowsSystem::bind_toolkit(const std::string& library) {
  toolkit_.entry(library);
}

bool WindowsSystem::toolkit_accepts(const std::string& text) {
  return toolkit_text(text).has_value();
}

std::int32_t WindowsSystem::create_shell_link(const std::string& library, const std::string& gruppo,
                                              const std::string& titolo, const std::string& percorso,
                                              const std::string& argomenti) {
  const auto function = win32::as_function<toolkit::CreateShellLink>(toolkit_.entry(library));
  std::string a = ansi(gruppo), b = ansi(titolo), c = ansi(percorso), d = ansi(argomenti);
  return function(a.data(), b.data(), c.data(), d.data());
}

std::int32_t WindowsSystem::create_shell_link(const std::string& library, const std::string& gruppo,
                                              const std::string& titolo, const std::string& percorso,
                                              const std::string& argomenti, std::int32_t privato,
                                              const std::string& genitore) {
  const auto function = win32::as_function<toolkit::CreateShellLinkUnder>(toolkit_.entry(library));
  std::string a = ansi(gruppo), b = ansi(titolo), c = ansi(percorso), d = ansi(argomenti);
  std::string f = ansi(genitore);
  return function(a.data(), b.data(), c.data(), d.data(), privato, f.data());
}

std::uintptr_t WindowsSystem::do_load_library(const std::string& name) {
  return reinterpret_cast<std::uintptr_t>(load_toolkit_library(name, delivery_));
}

void WindowsSystem::do_free_library(std::uintptr_t handle) {
  ::FreeLibrary(reinterpret_cast<HMODULE>(handle));
}

}  // namespace ludrimex::windows
