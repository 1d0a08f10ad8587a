#pragma once
// The setup-toolkit libraries: loaded from trusted folders only, their fCreateShellLink bound by
// library name at its first call.
#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "win32/scoped.h"

namespace ludrimex::windows {

// Loads a toolkit library named as LoadLibraryA would take it ("VB6STKIT", "STKIT432.DLL"), but
// never from the current directory or a folder someone else chose: the library we ship
// (STKIT432) from the installer's own folder, else from the system folder; any other library only
// from the system folder. A full path is loaded as it stands. Its dependencies come from the
// system folder. Null when it can't be loaded, with GetLastError() telling why.
HMODULE load_toolkit_library(const std::string& name);

// `utf8` as the toolkit libraries take it: in the ANSI code page without any substitution, with no
// NUL and shorter than MAX_PATH bytes; nothing when it is not so.
std::optional<std::string> toolkit_text(const std::string& utf8);

class ToolkitLibraries {
 public:
  // fCreateShellLink(gruppo, titolo, percorso, argomenti) of `library`.
  std::int32_t call_4(const std::string& library, const std::string& gruppo, const std::string& titolo,
                      const std::string& percorso, const std::string& argomenti);
  // fCreateShellLink(gruppo, titolo, percorso, argomenti, privato, genitore) of `library`.
  std::int32_t call_6(const std::string& library, const std::string& gruppo, const std::string& titolo,
                      const std::string& percorso, const std::string& argomenti, std::int32_t privato,
                      const std::string& genitore);

  // The entry of `library`, loading it on first use; a bound library stays loaded while we live.
  // Throws RunError 53 (not found), 48 (can't be loaded) or 453 (no entry) naming the library.
  FARPROC entry(const std::string& library);

 private:
  struct Bound {
    win32::Library module;
    FARPROC function = nullptr;
  };
  std::map<std::string, Bound> bound_;  // by the library name as the caller spells it
};

}  // namespace ludrimex::windows
