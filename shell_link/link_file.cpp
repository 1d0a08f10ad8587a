// Shell link files on disk.
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <system_error>

#include "posix/file_io.h"
#include "posix/unique_fd.h"
#include "shell_link/link.h"

namespace shell_link {
namespace {

// Real shortcuts are a few kilobytes; anything far larger is not one and is not read into memory.
constexpr std::size_t kMaxFileSize = 1 << 20;

}  // namespace

Link load(const std::string& path) {
  // Non-blocking, so that a FIFO or a device is refused at once instead of waited on.
  const posix::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) throw posix::PathError(errno, path);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) throw posix::PathError(errno, path);
  if (!S_ISREG(info.st_mode)) throw posix::PathError(S_ISDIR(info.st_mode) ? EISDIR : EINVAL, path);
  const std::string bytes = posix::read_all(fd.get(), path, kMaxFileSize);
  if (bytes.size() > kMaxFileSize) throw FormatError("not a shell link: far too large");
  return decode(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

void save(const std::string& path, const NewLink& link) {
  const std::vector<std::uint8_t> encoded = encode(link);
  const std::string bytes(encoded.begin(), encoded.end());
  posix::replace_atomically(path, std::nullopt, [&](int fd) { posix::write_all(fd, bytes, path); });
}

}  // namespace shell_link
