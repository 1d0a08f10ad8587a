#include "patch/posix/posix_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "patch/errors.h"
#include "patch/posix/posix_paths.h"
#include "patch/posix/unique_fd.h"
#include "patch/system.h"

namespace ludrimex::posix {
namespace {

using Fd = UniqueFd;

// The runtime's error for a failed system call on `path`.
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
    if (n < 0) throw error_for(errno == EISDIR ? EACCES : errno, path);
    if (n == 0) return bytes;
    bytes.append(chunk, static_cast<std::size_t>(n));
  }
}

Fd open_for_reading(const std::string& path) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) throw missing_error(errno, path);
  struct stat info {};
  if (::fstat(fd.get(), &info) == 0 && S_ISDIR(info.st_mode)) throw RunError(kPathFileAccessError, path);
  return fd;
}

// Windows refuses to change a read-only file even for an administrator; a file nobody may write is the
// Linux picture of one.
void refuse_read_only(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode) && (info.st_mode & 0222) == 0)
    throw RunError(kPermissionDenied, path);
}

void write_with_flags(const std::string& windows_path, const std::string& bytes, int flags) {
  const std::string path = to_posix_path(windows_path);
  refuse_read_only(path);
  Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0666));
  if (!fd) throw missing_error(errno == EISDIR ? EACCES : errno, path);
  write_all(fd, bytes, path);
  if (fd.close() != 0) throw error_for(errno, path);
}

// The checks Windows makes before overwriting `path`, which a rename over it would skip.
void check_replaceable(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT) return;
    throw missing_error(errno, path);
  }
  if (S_ISDIR(info.st_mode)) throw RunError(kPathFileAccessError, path);
  refuse_read_only(path);
  // A running program can't be opened for writing (ETXTBSY): the "file in use" of Windows.
  Fd probe(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
  if (!probe) throw error_for(errno, path);
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

std::string read_file(const std::string& windows_path) {
  const std::string path = to_posix_path(windows_path);
  return read_all(open_for_reading(path), path);
}

void append_file(const std::string& path, const std::string& bytes) {
  write_with_flags(path, bytes, O_APPEND);
}

void write_file(const std::string& path, const std::string& bytes) {
  write_with_flags(path, bytes, O_TRUNC);
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
  check_replaceable(to);

  // Copy beside the destination, then rename over it: the destination is either the old file or the
  // complete new one.
  const std::string temporary = to + ".partial-" + std::to_string(::getpid());
  Fd target(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, source_info.st_mode & 0777));
  if (!target) throw missing_error(errno, to);
  try {
    copy_all(source, from, target, to);
    if (::fchmod(target.get(), source_info.st_mode & 0777) != 0) throw error_for(errno, to);
    if (target.close() != 0) throw error_for(errno, to);
    if (::rename(temporary.c_str(), to.c_str()) != 0) throw error_for(errno, to);
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
}

}  // namespace ludrimex::posix
