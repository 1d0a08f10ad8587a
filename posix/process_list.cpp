#include "posix/process_list.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "posix/file_io.h"
#include "posix/folders.h"
#include "posix/unique_dir.h"
#include "posix/unique_fd.h"

namespace posix {
namespace {

bool all_digits(const char* name) {
  return *name != '\0' &&
         std::all_of(name, name + std::strlen(name), [](char c) { return c >= '0' && c <= '9'; });
}

// The executable's file name; empty when the link can't be read (kernel threads, another user's
// process without the right to look).
std::string exe_name(const std::string& process_dir) {
  char target[4096];
  const ssize_t n = ::readlink((process_dir + "/exe").c_str(), target, sizeof target);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) return {};
  std::string path(target, static_cast<std::size_t>(n));
  // The kernel marks a replaced or removed executable; its name is still the process's name.
  constexpr std::string_view kDeleted = " (deleted)";
  if (path.ends_with(kDeleted)) path.resize(path.size() - kDeleted.size());
  return base_name(path);
}

// A small file of the process's folder; empty once the process has ended, as it may at any moment.
std::string read_process_file(const std::string& file) {
  const UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return {};
  try {
    return read_all(fd.get(), file);
  } catch (const PathError&) {
    return {};
  }
}

std::string comm_name(const std::string& process_dir) {
  const std::string text = read_process_file(process_dir + "/comm");
  return text.substr(0, text.find('\n'));
}

// The "Key:\tvalue" fields of /proc/PID/status that a process entry carries.
void read_status(const std::string& process_dir, ProcessInfo& info) {
  const std::string text = read_process_file(process_dir + "/status");
  const auto field = [&text](std::string_view key) -> std::uint32_t {
    const auto at = text.find("\n" + std::string(key));
    return at == std::string::npos
               ? 0
               : static_cast<std::uint32_t>(std::strtoul(&text[at + 1 + key.size()], nullptr, 10));
  };
  info.parent_process_id = field("PPid:");
  info.threads = field("Threads:");
}

}  // namespace

std::optional<std::vector<ProcessInfo>> read_process_list(const std::string& proc_root) {
  std::vector<ProcessInfo> processes;
  UniqueDir dir(::opendir(proc_root.c_str()));
  if (!dir) return std::nullopt;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (!entry) break;
    if (!all_digits(entry->d_name)) continue;
    const std::string process_dir = proc_root + "/" + entry->d_name;
    ProcessInfo info;
    info.process_id = static_cast<std::uint32_t>(std::strtoul(entry->d_name, nullptr, 10));
    info.exe_name = exe_name(process_dir);
    if (info.exe_name.empty()) info.exe_name = comm_name(process_dir);
    if (info.exe_name.empty()) continue;  // gone meanwhile
    read_status(process_dir, info);
    processes.push_back(std::move(info));
  }
  if (errno != 0) return std::nullopt;  // a listing cut short
  std::sort(processes.begin(), processes.end(),
            [](const ProcessInfo& a, const ProcessInfo& b) { return a.process_id < b.process_id; });
  return processes;
}

}  // namespace posix
