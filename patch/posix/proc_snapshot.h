#pragma once
// The Tool Help process snapshot, stood in for by a reading of /proc.
#include <string>
#include <vector>

#include "patch/system.h"

namespace ludrimex::posix {

struct ProcessInfo {
  std::uint32_t process_id = 0;
  std::uint32_t parent_process_id = 0;
  std::uint32_t threads = 0;
  std::string exe_name;  // bare file name of /proc/PID/exe, else the kernel's comm name
};

// Every process visible under `proc_root` at this moment. Processes that end while being read are
// left out.
std::vector<ProcessInfo> read_process_list(const std::string& proc_root = "/proc");

// A snapshot taken once at construction; first()/next() walk it like Process32First/Next.
class ProcSnapshot : public ProcessSnapshot {
 public:
  explicit ProcSnapshot(std::vector<ProcessInfo> processes) : processes_(std::move(processes)) {}
  bool first(ProcessEntry& entry) override;
  bool next(ProcessEntry& entry) override;

 private:
  bool fill(ProcessEntry& entry) const;

  std::vector<ProcessInfo> processes_;
  std::size_t position_ = 0;
};

}  // namespace ludrimex::posix
