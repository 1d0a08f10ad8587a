#include "patch/posix/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <optional>

#include "patch/errors.h"
#include "patch/posix/platform_system.h"
#include "patch/system.h"
#include "posix/file_io.h"
#include "posix/folders.h"
#include "posix/unique_fd.h"

namespace ludrimex::stand_in {

using Fd = ::posix::UniqueFd;
using ::posix::to_posix_path;

namespace {

// Whether the folder that would hold `path` is there: a missing file in it is "file not found", one
// whose folder is missing "path not found".
bool folder_exists(const std::string& path) {
  struct stat info {};
  return ::stat(::posix::folder_of(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

RunError error_for(int error, const std::string& path) {
  switch (error) {
    case ENOENT:
      return RunError(folder_exists(path) ? kFileNotFound : kPathNotFound, path);
    case ENOTDIR:
      return RunError(kPathNotFound, path);
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:  // an executable that is running: "in use" on Windows
    case EBUSY:
      return RunError(kPermissionDenied, path);
    case ENAMETOOLONG:
    case EILSEQ:
    case EINVAL:
    case ELOOP:
      return RunError(kBadFileName, path);
    case ENOSPC:
    case EDQUOT:
      return RunError(kDiskFull, path);
    case EIO:
      return RunError(kDeviceIoError, path);
    default:
      return RunError(kPathFileAccessError, path);
  }
}

namespace {

// What `path` names, followed through links; nothing when it, or its folder, is missing.
std::optional<struct stat> status_of(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) return info;
  if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
  throw error_for(errno, path);
}

// The bare name Dir gives back: the last component, "." for a path that ends with a separator.
std::string bare_name(const std::string& path) {
  if (path.ends_with('/')) return ".";
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct OpenFile {
  Fd fd;
  mode_t mode;
};

// Opens a regular file for reading. O_NONBLOCK keeps a FIFO or a device from holding the run up: they
// are refused like a folder, at once.
OpenFile open_for_reading(const std::string& path) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) throw error_for(errno, path);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) throw error_for(errno, path);
  if (!S_ISREG(info.st_mode)) throw RunError(kPathFileAccessError, path);
  return {std::move(fd), info.st_mode};
}

// The checks Windows makes before overwriting `path`, which a rename over it would skip: a file nobody
// may write (the Linux picture of a read-only one, which Windows refuses even to an administrator), one
// this user may not write, an immutable one, a running program, anything but a regular file. Returns the
// permission bits of the file there, if any.
std::optional<mode_t> check_replaceable(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno != ENOENT || ::lstat(path.c_str(), &info) == 0) throw error_for(errno, path);
    return std::nullopt;  // the folder's absence, if so, is reported when the new file is made
  }
  if (!S_ISREG(info.st_mode)) throw RunError(kPathFileAccessError, path);
  if ((info.st_mode & 0222) == 0) throw RunError(kPermissionDenied, path);
  const Fd probe(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!probe) throw error_for(errno, path);
  return info.st_mode & 07777;
}

// Replaces `path` in one step after the checks Windows makes. The file keeps the permission bits it
// had; a new one gets `new_mode` (or the umask's default).
void replace_file(const std::string& path, std::optional<mode_t> new_mode,
                  const std::function<void(int)>& fill) {
  const std::optional<mode_t> kept = check_replaceable(path);
  reporting([&] { ::posix::replace_atomically(path, kept ? kept : new_mode, fill); });
}

}  // namespace

std::string PosixSystem::dir(const std::string& windows_path, int attributes) {
  if (windows_path.empty()) throw RunError(kInvalidArgument);
  if (windows_path.find('\0') != std::string::npos) throw RunError(kBadFileName, windows_path);
  const std::string path = to_posix_path(windows_path);
  const auto info = status_of(path);
  if (!info) return {};
  if (S_ISDIR(info->st_mode) && (attributes & kAttrDirectory) == 0) return {};
  if (!S_ISDIR(info->st_mode) && path.ends_with('/')) return {};
  return bare_name(path);
}

bool PosixSystem::is_absolute_path(const std::string& path) {
  return to_posix_path(path).starts_with('/');
}

FileKind PosixSystem::file_kind(const std::string& windows_path) {
  if (windows_path.find('\0') != std::string::npos) throw RunError(kBadFileName, windows_path);
  const auto info = status_of(to_posix_path(windows_path));
  if (!info) return FileKind::kMissing;
  if (S_ISREG(info->st_mode)) return FileKind::kRegular;
  return S_ISDIR(info->st_mode) ? FileKind::kFolder : FileKind::kOther;
}

std::string PosixSystem::read_file(const std::string& windows_path) {
  const std::string path = to_posix_path(windows_path);
  const OpenFile file = open_for_reading(path);
  return reporting([&] { return ::posix::read_all(file.fd.get(), path); });
}

void PosixSystem::write_file(const std::string& windows_path, const std::string& bytes) {
  const std::string path = to_posix_path(windows_path);
  replace_file(path, std::nullopt, [&](int target) { ::posix::write_all(target, bytes, path); });
}

void PosixSystem::delete_file(const std::string& windows_path) {
  const std::string path = to_posix_path(windows_path);
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) throw RunError(kFileNotFound, path);
    // Windows refuses to delete a read-only file even for an administrator.
    if (S_ISREG(info.st_mode) && (info.st_mode & 0222) == 0) throw RunError(kPermissionDenied, path);
  }
  if (::unlink(path.c_str()) != 0) throw error_for(errno, path);
  reporting([&] { ::posix::sync_folder_of(path); });
}

void PosixSystem::copy_file(const std::string& windows_from, const std::string& windows_to) {
  const std::string from = to_posix_path(windows_from);
  const std::string to = to_posix_path(windows_to);
  const OpenFile source = open_for_reading(delivery_.copy_source(from));
  replace_file(to, source.mode & 0777,
               [&](int target) { ::posix::write_all(target, ::posix::read_all(source.fd.get(), from), to); });
}

// Our replaces leave only their "NAME.new-PID-N" files behind: a rename loses no copy.
void PosixSystem::clean_up_replace(const std::string& windows_path) {
  const std::string path = to_posix_path(windows_path);
  reporting([&] { ::posix::remove_replace_leftovers(path); });
}

}  // namespace ludrimex::stand_in
