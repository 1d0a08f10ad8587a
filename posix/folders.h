#pragma once
// The Linux stand-ins' rules for paths and the folders they use: the user's menu folder, the running
// program's folder.
#include <string>

namespace posix {

// A path as the Windows program builds it, made usable on Linux: every '\' becomes '/'.
std::string to_posix_path(std::string path);

// The folder that holds `path`: what comes before its last '/', "/" for a name at the root, "." for a
// bare name.
std::string folder_of(const std::string& path);

// What follows the last '/' of `path` (the whole path when it has none).
std::string base_name(const std::string& path);

// $HOME, or the user's home folder from the password database when HOME is unset or empty; no trailing
// separator except for "/" itself.
std::string home_folder();

// The user's menu folder, standing in for the Start-menu Programs folder: $XDG_DATA_HOME/applications,
// or $HOME/.local/share/applications when XDG_DATA_HOME is unset, empty or not absolute. No trailing
// separator.
std::string programs_folder();

// The folder of the running executable (from /proc/self/exe), without a trailing separator except
// for "/" itself.
std::string executable_folder();

}  // namespace posix
