#pragma once
// What every file operation of one run shares: the calls that meet other programs' files, one budget
// for waiting on files those programs hold for a moment, and one counter for temporary names.
#include <windows.h>

#include <chrono>
#include <memory>
#include <string>

#include "patch/win32/file_calls.h"
#include "win32/scoped.h"

namespace ludrimex::windows {

// Failures that pass once the other program (the shell reading a new shortcut, the indexer, an
// antivirus) lets go of the file, and that leave every file under its own name.
bool passing(DWORD code);

class FileAccess {
 public:
  // A few seconds for the whole run: longer, and the file is held for good as far as a user waits.
  static constexpr std::chrono::milliseconds kWaitBudget{4000};
  static constexpr std::chrono::milliseconds kPause{50};

  explicit FileAccess(std::unique_ptr<FileCalls> calls, std::chrono::milliseconds budget = kWaitBudget);

  FileCalls& calls() { return *calls_; }

  // `step()` (ERROR_SUCCESS or a system error) again, a pause apart, while it fails in a way that
  // passes and `again()` holds, as long as the run's budget lasts: its last result.
  template <class Step, class Again>
  DWORD retried(Step step, Again again);
  template <class Step>
  DWORD retried(Step step) {
    return retried(step, [] { return true; });
  }
  // One pause out of the budget, for a wait of the caller's own; false when the budget is spent.
  bool pause();

  // CreateFileW of a regular file, tried again while another program holds it; throws RunError
  // naming `path`. A folder or a device is refused at once: opening one would fail late or wait.
  win32::KernelHandle open(const std::string& path, DWORD access, DWORD share, DWORD disposition);
  // DeleteFileW, tried again likewise: ERROR_SUCCESS or the error.
  DWORD remove(const std::wstring& path);
  // The attributes of the regular file `path`, INVALID_FILE_ATTRIBUTES when nothing has its name.
  // Throws RunError naming it for a folder, a device, or a name the system won't tell about (a file
  // pending delete answers "access denied": its name is taken all the same).
  DWORD regular_file_attributes(const std::string& path);
  // Whether nothing has the name `path` (a file_path): only "not found" says so.
  bool is_free(const std::wstring& path);
  // A number for this process's next temporary names, never one an earlier replace of the run had:
  // that one's names may still be taken by files pending delete.
  unsigned next_name() { return next_name_++; }

 private:
  std::unique_ptr<FileCalls> calls_;
  std::chrono::milliseconds left_;
  unsigned next_name_ = 0;
};

template <class Step, class Again>
DWORD FileAccess::retried(Step step, Again again) {
  DWORD code = step();
  while (passing(code) && again() && pause()) code = step();
  return code;
}

}  // namespace ludrimex::windows
