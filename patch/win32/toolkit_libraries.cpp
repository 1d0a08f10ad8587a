#include "patch/win32/toolkit_libraries.h"

#include <windows.h>

#include "patch/errors.h"
#include "win32/text.h"

namespace ludrimex::windows {
namespace {

// The libraries get writable copies of the texts, as a by-value string reaches them.
using CreateShellLink4 = std::int32_t(WINAPI*)(char*, char*, char*, char*);
using CreateShellLink6 = std::int32_t(WINAPI*)(char*, char*, char*, char*, std::int32_t, char*);

// Through the generic function pointer type, the one conversion of FARPROC every compiler accepts
// without a warning.
template <class Function>
Function as_function(FARPROC proc) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(proc));
}

// The libraries take ANSI text; a character the code page can't hold would give another path.
std::string ansi(const std::string& utf8) {
  auto text = win32::to_ansi(utf8);
  if (!text) throw RunError(kInvalidArgument, utf8);
  return *text;
}

}  // namespace

FARPROC ToolkitLibraries::entry(const std::string& library) {
  if (auto it = bound_.find(library); it != bound_.end()) return it->second.function;

  win32::Library module(::LoadLibraryA(ansi(library).c_str()));
  if (!module) {
    const DWORD code = ::GetLastError();
    throw RunError(code == ERROR_MOD_NOT_FOUND ? kFileNotFound : kDllLoadError, library);
  }
  const FARPROC function = ::GetProcAddress(module.get(), "fCreateShellLink");
  if (!function) throw RunError(kDllEntryNotFound, library);
  bound_.emplace(library, Bound{std::move(module), function});
  return function;
}

std::int32_t ToolkitLibraries::call_4(const std::string& library, const std::string& gruppo,
                                      const std::string& titolo, const std::string& percorso,
                                      const std::string& argomenti) {
  const auto function = as_function<CreateShellLink4>(entry(library));
  std::string a = ansi(gruppo), b = ansi(titolo), c = ansi(percorso), d = ansi(argomenti);
  return function(a.data(), b.data(), c.data(), d.data());
}

std::int32_t ToolkitLibraries::call_6(const std::string& library, const std::string& gruppo,
                                      const std::string& titolo, const std::string& percorso,
                                      const std::string& argomenti, std::int32_t privato,
                                      const std::string& genitore) {
  const auto function = as_function<CreateShellLink6>(entry(library));
  std::string a = ansi(gruppo), b = ansi(titolo), c = ansi(percorso), d = ansi(argomenti);
  std::string f = ansi(genitore);
  return function(a.data(), b.data(), c.data(), d.data(), privato, f.data());
}

}  // namespace ludrimex::windows
