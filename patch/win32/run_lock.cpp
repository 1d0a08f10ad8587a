#include "patch/win32/platform_system.h"

#include <windows.h>

#include "patch/errors.h"
#include "patch/win32/files.h"
#include "win32/scoped.h"
#include "win32/text.h"

namespace ludrimex::windows {
namespace {

// The file a run holds in the HTML folder; hidden, and gone with its last handle.
constexpr const char* kFolderLockName = "Ludrimex.lock";

class FileLock final : public RunLock {
 public:
  explicit FileLock(win32::KernelHandle file) : file_(std::move(file)) {}

 private:
  win32::KernelHandle file_;  // opened with no sharing and deleted on close
};

class MutexLock final : public RunLock {
 public:
  explicit MutexLock(win32::ObjectHandle mutex) : mutex_(std::move(mutex)) {}
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;
  ~MutexLock() override { ::ReleaseMutex(mutex_.get()); }

 private:
  win32::ObjectHandle mutex_;
};

}  // namespace

// The mutex "Global\\NAME", for every session of the machine, taken without waiting and held until the
// returned lock goes; one abandoned by a run that died counts as taken.
std::unique_ptr<RunLock> WindowsSystem::lock_single_run(const std::string& name) {
  win32::ObjectHandle mutex(::CreateMutexW(nullptr, FALSE, win32::to_wide("Global\\" + name).c_str()));
  if (!mutex) {
    // Made by a process of another user or security context: that one holds it.
    if (::GetLastError() == ERROR_ACCESS_DENIED) return nullptr;
    throw RunError(kPathFileAccessError, name);
  }
  switch (::WaitForSingleObject(mutex.get(), 0)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:  // its holder died: the log is whole either way, so the run may go on
      return std::make_unique<MutexLock>(std::move(mutex));
    case WAIT_TIMEOUT:
      return nullptr;
    default:
      throw RunError(kPathFileAccessError, name);
  }
}

// A file of its own in `folder`, opened with no sharing and deleted on close: any process of any session
// or computer that opens it meanwhile is refused, and it goes however the run ends (a power cut leaves
// it, and the next run takes it over). A name that is taken but can't be opened is a lock file of a
// run that has just ended, pending delete while another program reads it: it passes.
FolderLock WindowsSystem::lock_folder(const std::string& folder) {
  DWORD attributes = 0;
  const DWORD found = access_.calls().attributes(file_path(folder), attributes);
  if (found == ERROR_FILE_NOT_FOUND || found == ERROR_PATH_NOT_FOUND ||
      (found == ERROR_SUCCESS && !(attributes & FILE_ATTRIBUTE_DIRECTORY))) {
    throw RunError(kPathNotFound, folder);
  }
  if (found != ERROR_SUCCESS) throw file_error(folder, found);
  const std::wstring name = file_path(folder + "\\" + kFolderLockName);
  for (;;) {
    win32::KernelHandle file;
    const DWORD code = access_.calls().create(name, GENERIC_READ | GENERIC_WRITE | DELETE, 0, OPEN_ALWAYS,
                                              FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, file);
    if (code == ERROR_SUCCESS) return {FolderLockState::kLocked, std::make_unique<FileLock>(std::move(file))};
    if (code == ERROR_SHARING_VIOLATION) return {FolderLockState::kHeld, nullptr};
    if (code != ERROR_ACCESS_DENIED) throw file_error(folder, code);
    if (access_.is_free(name) || !access_.pause()) return {FolderLockState::kNotWritable, nullptr};
  }
}

}  // namespace ludrimex::windows
