#include <algorithm>
#include <array>
#include <exception>

#include "patch/form1.h"

namespace ludrimex {
namespace {

struct Toolkit {
  std::int32_t number;
  const char* probe_name;
  const char* file_name;
};

// In probe order: the last one that loads wins.
constexpr std::array<Toolkit, 3> kToolkits{{
    {4, "STKIT432", "STKIT432.DLL"},
    {5, "VB5STKIT", "VB5STKIT.DLL"},
    {6, "VB6STKIT", "VB6STKIT.DLL"},
}};

std::int32_t probe_toolkit(System& system) {
  std::int32_t found = 0;
  for (const auto& toolkit : kToolkits) {
    // The temporary Library frees the probed library again at once.
    if (system.load_library(toolkit.probe_name)) found = toolkit.number;
  }
  return found;
}

}  // namespace

// The library the shortcuts will be made with, bound now; when none loads, the shipped one is what is
// missing.
void Form1::check_toolkit() {
  const std::int32_t libreria = probe_toolkit(system_);
  const auto chosen = std::find_if(kToolkits.begin(), kToolkits.end(),
                                   [&](const Toolkit& toolkit) { return toolkit.number == libreria; });
  system_.bind_toolkit(chosen == kToolkits.end() ? kToolkits[0].file_name : chosen->file_name);
}

bool Form1::crea_collegamento(std::int32_t libreria, const std::string& gruppo, const std::string& titolo,
                              const std::string& percorso) {
  try {
    if (libreria == 0) libreria = probe_toolkit(system_);
    std::int32_t result = 0;
    switch (libreria) {
      case 6:
        result = system_.create_shell_link_6(kToolkits[2].file_name, gruppo, titolo, percorso, "", -1,
                                             "$(Programs)");
        break;
      case 5:
        result = system_.create_shell_link_4(kToolkits[1].file_name, gruppo, titolo, percorso, "");
        break;
      case 4:
        result = system_.create_shell_link_4(kToolkits[0].file_name, gruppo, titolo, percorso, "");
        break;
      default:
        break;
    }
    return result != 0;
  } catch (const std::exception&) {
    // A library or entry that can't be bound, or a failing call: no shortcut, nothing to report.
    return false;
  }
}

}  // namespace ludrimex
