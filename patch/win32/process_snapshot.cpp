#include "patch/win32/platform_system.h"

#include <windows.h>  // first: the headers below need it

#include <tlhelp32.h>

#include <cstddef>
#include <cstring>

#include "patch/errors.h"
#include "win32/scoped.h"

namespace ludrimex::windows {
namespace {

// The seam's record mirrors the ANSI PROCESSENTRY32 (the ANSI entry points are used).
static_assert(sizeof(PROCESSENTRY32) == sizeof(ProcessEntry));
static_assert(sizeof(PROCESSENTRY32::szExeFile) == sizeof(ProcessEntry::exe_file));
static_assert(offsetof(PROCESSENTRY32, szExeFile) == offsetof(ProcessEntry, exe_file));

PROCESSENTRY32 to_record(const ProcessEntry& entry) {
  PROCESSENTRY32 record;
  record.dwSize = entry.size;
  record.cntUsage = entry.usage;
  record.th32ProcessID = entry.process_id;
  record.th32DefaultHeapID = entry.default_heap_id;
  record.th32ModuleID = entry.module_id;
  record.cntThreads = entry.threads;
  record.th32ParentProcessID = entry.parent_process_id;
  record.pcPriClassBase = entry.priority_class_base;
  record.dwFlags = entry.flags;
  std::memcpy(record.szExeFile, entry.exe_file.data(), entry.exe_file.size());
  return record;
}

void from_record(const PROCESSENTRY32& record, ProcessEntry& entry) {
  entry.size = record.dwSize;
  entry.usage = record.cntUsage;
  entry.process_id = record.th32ProcessID;
  entry.default_heap_id = static_cast<std::uint32_t>(record.th32DefaultHeapID);
  entry.module_id = record.th32ModuleID;
  entry.threads = record.cntThreads;
  entry.parent_process_id = record.th32ParentProcessID;
  entry.priority_class_base = record.pcPriClassBase;
  entry.flags = record.dwFlags;
  std::memcpy(entry.exe_file.data(), record.szExeFile, entry.exe_file.size());
}

class ToolHelpSnapshot final : public ProcessSnapshot {
 public:
  explicit ToolHelpSnapshot(win32::KernelHandle handle) : handle_(std::move(handle)) {}

  bool first(ProcessEntry& entry) override { return call(::Process32First, entry); }
  bool next(ProcessEntry& entry) override { return call(::Process32Next, entry); }

 private:
  // The end of the list is ERROR_NO_MORE_FILES; any other failure leaves the list unread.
  template <class Function>
  bool call(Function function, ProcessEntry& entry) {
    PROCESSENTRY32 record = to_record(entry);
    const BOOL found = function(handle_.get(), &record);
    if (!found && ::GetLastError() != ERROR_NO_MORE_FILES)
      throw RunError(kPathFileAccessError, kProcessListName);
    from_record(record, entry);
    return found != FALSE;
  }

  win32::KernelHandle handle_;
};

}  // namespace

// CreateToolhelp32Snapshot; nothing when it could not be taken.
std::unique_ptr<ProcessSnapshot> WindowsSystem::create_process_snapshot(std::uint32_t flags,
                                                                        std::uint32_t process_id) {
  win32::KernelHandle handle(::CreateToolhelp32Snapshot(flags, process_id));
  if (!handle) return nullptr;
  return std::make_unique<ToolHelpSnapshot>(std::move(handle));
}

}  // namespace ludrimex::windows
