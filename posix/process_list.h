#pragma once
// The processes running on this machine, read from /proc.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace posix {

struct ProcessInfo {
  std::uint32_t process_id = 0;
  std::uint32_t parent_process_id = 0;
  std::uint32_t threads = 0;
  std::string exe_name;  // bare file name of /proc/PID/exe, else the kernel's comm name
};

// Every process visible under `proc_root` at this moment, nothing when the list itself can't be read.
// Processes that end while being read are left out.
std::optional<std::vector<ProcessInfo>> read_process_list(const std::string& proc_root = "/proc");

}  // namespace posix
