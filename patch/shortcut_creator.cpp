#include "patch/shortcut_creator.h"

#include <algorithm>
#include <array>
#include <exception>
#include <string>
#include <vector>

namespace ludrimex {
namespace {

struct Toolkit {
  std::int32_t number;
  const char* probe_name;
  const char* file_name;
  bool takes_folder;  // the entry's form with the private flag and the parent folder
};

constexpr const char* kArguments = "";                // of every shortcut
constexpr const char* kParentFolder = "$(Programs)";  // the current user's own Programs folder

// In probe order: the last one that loads wins.
constexpr std::array<Toolkit, 3> kToolkits{{
    {4, "STKIT432", "STKIT432.DLL", false},
    {5, "VB5STKIT", "VB5STKIT.DLL", false},
    {6, "VB6STKIT", "VB6STKIT.DLL", true},
}};

// The row of the library numbered `libreria`; nullptr for none.
const Toolkit* toolkit_numbered(std::int32_t libreria) {
  const auto row = std::find_if(kToolkits.begin(), kToolkits.end(),
                                [&](const Toolkit& toolkit) { return toolkit.number == libreria; });
  return row == kToolkits.end() ? nullptr : &*row;
}

std::int32_t probe_toolkit(System& system) {
  std::int32_t found = 0;
  for (const auto& toolkit : kToolkits) {
    // The temporary Library frees the probed library again at once.
    if (system.load_library(toolkit.probe_name)) found = toolkit.number;
  }
  return found;
}

}  // namespace

std::int32_t choose_toolkit(System& system) {
  const Toolkit* chosen = toolkit_numbered(probe_toolkit(system));
  const Toolkit& toolkit = chosen ? *chosen : kToolkits.front();
  system.bind_toolkit(toolkit.file_name);
  return toolkit.number;
}

std::string toolkit_file_name(std::int32_t libreria) {
  const Toolkit* toolkit = toolkit_numbered(libreria);
  return toolkit ? toolkit->file_name : std::string();
}

std::vector<std::string> toolkit_fixed_texts(std::int32_t libreria) {
  const Toolkit* toolkit = toolkit_numbered(libreria);
  if (toolkit && toolkit->takes_folder) return {kArguments, kParentFolder};
  return {kArguments};
}

bool crea_collegamento(System& system, std::int32_t libreria, const std::string& gruppo,
                       const std::string& titolo, const std::string& percorso) {
  try {
    if (libreria == 0) libreria = probe_toolkit(system);
    const Toolkit* toolkit = toolkit_numbered(libreria);
    if (!toolkit) return false;
    const std::int32_t result =
        toolkit->takes_folder
            ? system.create_shell_link(toolkit->file_name, gruppo, titolo, percorso, kArguments, -1,
                                       kParentFolder)
            : system.create_shell_link(toolkit->file_name, gruppo, titolo, percorso, kArguments);
    return result != 0;
  } catch (const std::exception&) {
    // A library or entry that can't be bound, or a failing call: no shortcut, nothing to report.
    return false;
  }
}

}  // namespace ludrimex
