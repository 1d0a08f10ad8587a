#pragma once
// The Tool Help process snapshot, stood in for by a reading of /proc.
#include <vector>

#include "patch/system.h"
#include "posix/process_list.h"

namespace ludrimex::stand_in {

// A snapshot taken once at construction; first()/next() walk it like Process32First/Next.
class ProcSnapshot : public ProcessSnapshot {
 public:
  explicit ProcSnapshot(std::vector<::posix::ProcessInfo> processes) : processes_(std::move(processes)) {}
  bool first(ProcessEntry& entry) override;
  bool next(ProcessEntry& entry) override;

 private:
  bool fill(ProcessEntry& entry) const;

  std::vector<::posix::ProcessInfo> processes_;
  std::size_t position_ = 0;
};

}  // namespace ludrimex::stand_in
