#include "bench/process_tree.h"

#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

namespace bench {
namespace {

// The parent of `pid` from /proc/PID/stat, or 0 when it is gone. The command name in parentheses
// may hold blanks and parentheses itself, so the fields are read after its last ')'.
pid_t parent_of(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const auto close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 1));
  std::string state;
  pid_t parent = 0;
  fields >> state >> parent;
  return parent;
}

std::multimap<pid_t, pid_t> children_by_parent() {
  std::multimap<pid_t, pid_t> children;
  const std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), closedir);
  if (!proc) return children;
  while (const dirent* entry = readdir(proc.get())) {
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (*end != '\0' || pid <= 0) continue;
    children.emplace(parent_of(static_cast<pid_t>(pid)), static_cast<pid_t>(pid));
  }
  return children;
}

}  // namespace

std::vector<pid_t> process_tree(pid_t root) {
  const auto children = children_by_parent();
  std::vector<pid_t> tree{root};
  for (std::size_t i = 0; i < tree.size(); ++i) {
    const auto [first, last] = children.equal_range(tree[i]);
    for (auto it = first; it != last; ++it) tree.push_back(it->second);
  }
  return tree;
}

namespace {

// The value of `key` (e.g. "VmHWM:") in a /proc file of "key value kB" lines; 0 when absent.
long proc_value_kib(const std::string& file, const std::string& wanted) {
  std::ifstream in(file);
  std::string key;
  while (in >> key) {
    if (key == wanted) {
      long kib = 0;
      in >> kib;
      return kib;
    }
    in.ignore(1 << 16, '\n');
  }
  return 0;
}

}  // namespace

long peak_rss_kib(pid_t pid) {
  return proc_value_kib("/proc/" + std::to_string(pid) + "/status", "VmHWM:");
}

long pss_kib(pid_t pid) {
  return proc_value_kib("/proc/" + std::to_string(pid) + "/smaps_rollup", "Pss:");
}

}  // namespace bench
