#include "patch/posix/process_snapshot.h"

#include <algorithm>

#include "patch/posix/platform_system.h"

namespace ludrimex::stand_in {
namespace {

constexpr std::int32_t kNormalPriority = 8;

}  // namespace

bool ProcSnapshot::first(ProcessEntry& entry) {
  if (entry.size < sizeof(ProcessEntry)) return false;  // as Process32First refuses a short record
  position_ = 0;
  return fill(entry);
}

bool ProcSnapshot::next(ProcessEntry& entry) {
  if (entry.size < sizeof(ProcessEntry) || position_ >= processes_.size()) return false;
  ++position_;
  return fill(entry);
}

bool ProcSnapshot::fill(ProcessEntry& entry) const {
  if (position_ >= processes_.size()) return false;
  const ::posix::ProcessInfo& process = processes_[position_];
  entry.usage = 0;
  entry.process_id = process.process_id;
  entry.default_heap_id = 0;
  entry.module_id = 0;
  entry.threads = process.threads;
  entry.parent_process_id = process.parent_process_id;
  entry.priority_class_base = kNormalPriority;
  entry.flags = 0;
  entry.exe_file.fill('\0');
  const std::size_t length = std::min(process.exe_name.size(), entry.exe_file.size() - 1);
  std::copy_n(process.exe_name.begin(), length, entry.exe_file.begin());
  return true;
}

// /proc read once, as the snapshot is taken; nothing when it can't be listed.
std::unique_ptr<ProcessSnapshot> PosixSystem::create_process_snapshot(std::uint32_t flags,
                                                                      std::uint32_t /*process_id*/) {
  if (!(flags & kSnapProcess)) return std::make_unique<ProcSnapshot>(std::vector<::posix::ProcessInfo>{});
  auto processes = ::posix::read_process_list();
  if (!processes) return nullptr;
  return std::make_unique<ProcSnapshot>(std::move(*processes));
}

}  // namespace ludrimex::stand_in
