#include "posix/folders.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>

namespace posix {
namespace {

std::string without_trailing_slashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

std::string home_folder() {
  std::string home = environment("HOME");
  if (home.empty()) {
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) home = entry->pw_dir;
  }
  return without_trailing_slashes(home);
}

namespace {

std::string data_home() {
  const std::string xdg = environment("XDG_DATA_HOME");
  // Relative values are invalid for XDG variables and are ignored, as the XDG rules say.
  if (!xdg.empty() && xdg.front() == '/') return without_trailing_slashes(xdg);
  const std::string home = home_folder();
  return (home == "/" ? "" : home) + "/.local/share";
}

}  // namespace

std::string to_posix_path(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

std::string folder_of(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string base_name(const std::string& path) {
  return path.substr(path.rfind('/') + 1);  // npos + 1 is 0: the whole path
}

std::string programs_folder() {
  return data_home() + "/applications";
}

std::string executable_folder() {
  std::string buffer(256, '\0');
  while (true) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) throw std::system_error(errno, std::generic_category(), "/proc/self/exe");
    if (static_cast<std::size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(n));
      break;
    }
    buffer.resize(buffer.size() * 2);  // the link may have been cut: try again with more room
  }
  return folder_of(buffer);  // the link is an absolute path
}

}  // namespace posix
