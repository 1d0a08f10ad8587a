// The stand-in setup-toolkit library: fCreateShellLink writes a real shortcut file into the user's
// menu folder (the Programs folder of the Linux stand-ins). One source, built as STKIT432 and
// VB5STKIT (four texts) and as VB6STKIT (with the private flag and the parent folder). Returns 1 on success,
// 0 on any failure.
#include <strings.h>
#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "posix/folders.h"
#include "shell_link/link.h"

namespace {

using posix::programs_folder;
using posix::to_posix_path;

constexpr char kProgramsMacro[] = "$(Programs)";

bool is_directory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The folder a target lies in: the next patch finds the installation through it.
std::string folder_of(const std::string& target) {
  const auto slash = target.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : target.substr(0, slash);
}

// `group` under `parent` ("." is the parent itself).
std::string group_folder(const std::string& parent, const std::string& group) {
  const std::string mapped = to_posix_path(group);
  return mapped.empty() || mapped == "." ? parent : parent + "/" + mapped;
}

std::int32_t create_shell_link(const char* gruppo, const char* titolo, const char* percorso,
                               const char* argomenti, const std::string& parent) noexcept {
  try {
    if (!gruppo || !titolo || !percorso || !argomenti) return 0;
    const std::string title = titolo;
    if (title.empty() || title.find_first_of("/\\") != std::string::npos) return 0;
    const std::string folder = group_folder(parent, gruppo);
    if (!is_directory(folder)) return 0;
    const std::string target = to_posix_path(percorso);
    shell_link::save(folder + "/" + title + ".lnk", {target, folder_of(target), argomenti, "", 0});
    return 1;
  } catch (...) {
    return 0;
  }
}

}  // namespace

extern "C" {

#if TOOLKIT_TAKES_FOLDER
// fPrivate true and sParent "$(Programs)" (optionally followed by sub-folders) name the current user's
// Programs folder; the all-users menu is not ours to write, so fPrivate false fails.
__attribute__((visibility("default"))) std::int32_t fCreateShellLink(const char* gruppo, const char* titolo,
                                                                     const char* percorso,
                                                                     const char* argomenti,
                                                                     std::int32_t fPrivate,
                                                                     const char* sParent) {
  if (fPrivate == 0 || !sParent) return 0;
  const std::string parent = sParent;
  const std::size_t macro = sizeof kProgramsMacro - 1;
  if (parent.size() < macro || ::strncasecmp(parent.c_str(), kProgramsMacro, macro) != 0) return 0;
  try {
    return create_shell_link(gruppo, titolo, percorso, argomenti,
                             programs_folder() + to_posix_path(parent.substr(macro)));
  } catch (...) {
    return 0;
  }
}
#else
__attribute__((visibility("default"))) std::int32_t fCreateShellLink(const char* gruppo, const char* titolo,
                                                                     const char* percorso,
                                                                     const char* argomenti) {
  try {
    return create_shell_link(gruppo, titolo, percorso, argomenti, programs_folder());
  } catch (...) {
    return 0;
  }
}
#endif

}  // extern "C"
