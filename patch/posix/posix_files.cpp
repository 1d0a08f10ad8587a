#include "patch/posix/posix_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <optional>
#include <string_view>

#include "patch/errors.h"
#include "patch/posix/posix_paths.h"
#include "patch/posix/unique_fd.h"
#include "patch/system.h"

namespace ludrimex::posix {

using Fd = UniqueFd;

RunError error_for(int error, const std::string& path) {
  switch (error) {
    case ENOENT:
      return RunError(kFileNotFound, path);
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

// A missing file is "file not found" only when its folder exists; otherwise the path is missing.
RunError missing_error(int error, const std::string& path) {
  if (error == ENOENT) {
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return RunError(kPathNotFound, path);
  }
  return error_for(error, path);
}

// The bare name Dir gives back: the last component, "." for a path that ends with a separator.
std::string bare_name(const std::string& path) {
  if (path.ends_with('/')) return ".";
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void write_all(const Fd& fd, std::string_view bytes, const std::string& path) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw error_for(errno, path);
    done += static_cast<std::size_t>(n);
  }
}

std::string read_all(const Fd& fd, const std::string& path) {
  std::string bytes;
  char chunk[65536];
  while (true) {
    const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw error_for(errno, path);
    if (n == 0) return bytes;
    bytes.append(chunk, static_cast<std::size_t>(n));
  }
}

// Opens a regular file for reading. O_NONBLOCK keeps a FIFO or a device from holding the run up: they
// are refused like a folder, at once.
Fd open_for_reading(const std::string& path) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) throw missing_error(errno, path);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) throw error_for(errno, path);
  if (!S_ISREG(info.st_mode)) throw RunError(kPathFileAccessError, path);
  return fd;
}

// The checks Windows makes before overwriting `path`, which a rename over it would skip: a file nobody
// may write (the Linux picture of a read-only one, which Windows refuses even to an administrator), one
// this user may not write, an immutable one, a running program, anything but a regular file. Returns the
// permission bits of the file there, if any.
std::optional<mode_t> check_replaceable(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno != ENOENT || ::lstat(path.c_str(), &info) == 0) throw missing_error(errno, path);
    return std::nullopt;  // the folder's absence, if so, is reported when the new file is made
  }
  if (!S_ISREG(info.st_mode)) throw RunError(kPathFileAccessError, path);
  if ((info.st_mode & 0222) == 0) throw RunError(kPermissionDenied, path);
  const Fd probe(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!probe) throw error_for(errno, path);
  return info.st_mode & 07777;
}

// Writes the new content beside `path` with `fill`, then renames it over `path`: whatever fails, or
// whenever the process dies, `path` holds its old bytes or the new ones, never a part. The file keeps
// the permission bits it had; a new one gets `new_mode` (or the umask's default).
void replace_file(const std::string& path, std::optional<mode_t> new_mode,
                  const std::function<void(const Fd&)>& fill) {
  const std::optional<mode_t> kept = check_replaceable(path);
  std::string temporary;
  Fd target;
  for (int attempt = 0; !target; ++attempt) {
    temporary = path + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    target = Fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!target && (errno != EEXIST || attempt == 100)) throw missing_error(errno, path);
  }
  try {
    fill(target);
    const std::optional<mode_t> mode = kept ? kept : new_mode;
    if (mode && ::fchmod(target.get(), *mode) != 0) throw error_for(errno, path);
    if (::fsync(target.get()) != 0 || target.close() != 0) throw error_for(errno, path);
    if (::rename(temporary.c_str(), path.c_str()) != 0) throw error_for(errno, path);
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
}

void copy_all(const Fd& source, const std::string& from, const Fd& target, const std::string& to) {
  char chunk[65536];
  while (true) {
    const ssize_t n = ::read(source.get(), chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw error_for(errno, from);
    if (n == 0) return;
    write_all(target, std::string_view(chunk, static_cast<std::size_t>(n)), to);
  }
}

// Windows refuses to delete a read-only file even for an administrator.
void refuse_read_only(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0222) == 0)
    throw RunError(kPermissionDenied, path);
}

}  // namespace

std::string dir(const std::string& windows_path, int attributes) {
  if (windows_path.empty()) throw RunError(kInvalidArgument);
  if (windows_path.find('\0') != std::string::npos) throw RunError(kBadFileName, windows_path);
  const std::string path = to_posix_path(windows_path);
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return {};
    throw error_for(errno, path);
  }
  if (S_ISDIR(info.st_mode) && (attributes & kAttrDirectory) == 0) return {};
  if (!S_ISDIR(info.st_mode) && path.ends_with('/')) return {};
  return bare_name(path);
}

FileKind file_kind(const std::string& windows_path) {
  if (windows_path.find('\0') != std::string::npos) throw RunError(kBadFileName, windows_path);
  const std::string path = to_posix_path(windows_path);
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return FileKind::kMissing;
    throw error_for(errno, path);
  }
  if (S_ISREG(info.st_mode)) return FileKind::kRegular;
  return S_ISDIR(info.st_mode) ? FileKind::kFolder : FileKind::kOther;
}

std::string read_file(const std::string& windows_path) {
  const std::string path = to_posix_path(windows_path);
  return read_all(open_for_reading(path), path);
}

void write_file(const std::string& windows_path, const std::string& bytes) {
  const std::string path = to_posix_path(windows_path);
  replace_file(path, std::nullopt, [&](const Fd& target) { write_all(target, bytes, path); });
}

void delete_file(const std::string& windows_path) {
  const std::string path = to_posix_path(windows_path);
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) throw RunError(kFileNotFound, path);
  refuse_read_only(path);
  if (::unlink(path.c_str()) != 0) throw missing_error(errno, path);
}

void copy_file(const std::string& windows_from, const std::string& windows_to) {
  const std::string from = to_posix_path(windows_from);
  const std::string to = to_posix_path(windows_to);
  const Fd source = open_for_reading(from);
  struct stat source_info {};
  if (::fstat(source.get(), &source_info) != 0) throw error_for(errno, from);
  replace_file(to, source_info.st_mode & 0777, [&](const Fd& target) { copy_all(source, from, target, to); });
}

}  // namespace ludrimex::posix
