#include "patch/win32/platform_system.h"

#include <windows.h>

#include "patch/errors.h"
#include "win32/scoped.h"
#include "win32/text.h"

namespace ludrimex::windows {
namespace {

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

// The mutex "Local\\NAME", taken without waiting and held until the returned lock goes; one abandoned
// by a run that died counts as taken.
std::unique_ptr<RunLock> WindowsSystem::lock_single_run(const std::string& name) {
  win32::ObjectHandle mutex(::CreateMutexW(nullptr, FALSE, win32::to_wide("Local\\" + name).c_str()));
  if (!mutex) {
    // Made by a process of another security context in this session: that one holds it.
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

}  // namespace ludrimex::windows
