#include "patch/posix/platform_system.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "patch/errors.h"
#include "patch/posix/files.h"
#include "posix/folders.h"
#include "posix/unique_fd.h"

namespace ludrimex::stand_in {
namespace {

using ::posix::UniqueFd;

class FlockLock : public RunLock {
 public:
  explicit FlockLock(UniqueFd fd) : fd_(std::move(fd)) {}

 private:
  UniqueFd fd_;  // closing it drops the lock
};

std::string lock_folder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/') return runtime;
  const std::string cache = ::posix::home_folder() + "/.cache";
  if (::mkdir(cache.c_str(), 0700) != 0 && errno != EEXIST) throw error_for(errno, cache);
  return cache;
}

// The lock file for `name`: in $XDG_RUNTIME_DIR when it is set and absolute, else in $HOME/.cache.
std::string run_lock_path(const std::string& name) {
  return lock_folder() + "/" + name + ".lock";
}

}  // namespace

// flock on a file of the user's own, which the kernel releases when the holding process ends, however
// it ends.
std::unique_ptr<RunLock> PosixSystem::lock_single_run(const std::string& name) {
  const std::string path = run_lock_path(name);
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
  if (!fd) throw error_for(errno, path);
  while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) return nullptr;
    if (errno != EINTR) throw error_for(errno, path);
  }
  return std::make_unique<FlockLock>(std::move(fd));
}

// flock on the folder itself: nothing is left in it, however the run ends, and every process that
// reaches the folder (another user's, another machine's over NFS) sees the lock.
FolderLock PosixSystem::lock_folder(const std::string& folder) {
  const std::string path = ::posix::to_posix_path(folder);
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) throw RunError(kPathNotFound, folder);
    throw error_for(error, folder);
  }
  while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) return {FolderLockState::kHeld, nullptr};
    if (errno != EINTR) throw error_for(errno, folder);
  }
  if (::faccessat(AT_FDCWD, path.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
    if (errno == EACCES || errno == EROFS || errno == EPERM) return {FolderLockState::kNotWritable, nullptr};
    throw error_for(errno, folder);
  }
  return {FolderLockState::kLocked, std::make_unique<FlockLock>(std::move(fd))};
}

}  // namespace ludrimex::stand_in
