#pragma once
// A small Win32 debugger for the kill tests: runs a program with breakpoints on the NT calls that
// change files, lists every change it makes under some folders, and can kill it right after one.
// Wine's own server performs the renames and deletes, so the program is stopped where it asks for
// them: at the NT calls of its ntdll, which on Windows are the system calls themselves.
#include <windows.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace wine_test {

// What a change leaves on the disk once the program is killed (its handles closed).
enum class Effect {
  kCreated,  // the file exists
  kRenamed,  // the file has gone to the target
  kDeleted,  // the file has gone
  kOther,    // written, truncated, attributes or times set, created to go on close
};

// One NT call that returned success having changed a file.
struct DiskChange {
  Effect effect;
  std::string call;          // the NT call and what it did: "NtSetInformationFile FileRenameInformation"
  std::wstring file;         // its file, in Win32 form
  std::wstring target = {};  // a rename's or link's new name
  std::string text() const;
};

struct DebuggedRun {
  std::vector<DiskChange> changes;  // in the order they returned, the one killed at last
  bool killed = false;
  DWORD exit_code = 0;
};

// The exit status of a run killed by run_debugged.
constexpr DWORD kKilledExitCode = 0xDEAD;

// Runs `program` in `current_directory` under the debugger, listing the calls that change a file
// under one of the `watched` folders; when `kill_after` is N (from 1), terminates it right when the
// Nth such call returns, before it runs one more instruction.
DebuggedRun run_debugged(const std::filesystem::path& program, const std::filesystem::path& current_directory,
                         const std::vector<std::filesystem::path>& watched, std::size_t kill_after = 0);

}  // namespace wine_test
