#pragma once
// The setup-toolkit libraries' fCreateShellLink, bound by library name at its first call.
#include <cstdint>
#include <map>
#include <string>

#include "win32/scoped.h"

namespace ludrimex::windows {

class ToolkitLibraries {
 public:
  // fCreateShellLink(gruppo, titolo, percorso, argomenti) of `library`.
  std::int32_t call_4(const std::string& library, const std::string& gruppo, const std::string& titolo,
                      const std::string& percorso, const std::string& argomenti);
  // fCreateShellLink(gruppo, titolo, percorso, argomenti, privato, genitore) of `library`.
  std::int32_t call_6(const std::string& library, const std::string& gruppo, const std::string& titolo,
                      const std::string& percorso, const std::string& argomenti, std::int32_t privato,
                      const std::string& genitore);

 private:
  // The entry of `library`, loading it on first use; a bound library stays loaded while we live.
  FARPROC entry(const std::string& library);

  struct Bound {
    win32::Library module;
    FARPROC function = nullptr;
  };
  std::map<std::string, Bound> bound_;  // by the library name as the caller spells it
};

}  // namespace ludrimex::windows
