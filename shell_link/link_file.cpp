// Shell link files on disk.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <system_error>

#include "shell_link/link.h"

namespace shell_link {
namespace {

// Real shortcuts are a few kilobytes; anything far larger is not one and is not read into memory.
constexpr std::size_t kMaxFileSize = 1 << 20;

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now, reporting the error close() may return for a file just written.
  int close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

[[noreturn]] void throw_errno(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

void write_all(int fd, const std::vector<std::uint8_t>& bytes, const std::string& path) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw_errno(path);
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

Link load(const std::string& path) {
  // Non-blocking, so that a FIFO or a device is refused at once instead of waited on.
  Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) throw_errno(path);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) throw_errno(path);
  if (!S_ISREG(info.st_mode))
    throw std::system_error(S_ISDIR(info.st_mode) ? EISDIR : EINVAL, std::generic_category(), path);
  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[4096];
  while (true) {
    const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw_errno(path);
    if (n == 0) break;
    bytes.insert(bytes.end(), chunk, chunk + n);
    if (bytes.size() > kMaxFileSize) throw FormatError("not a shell link: far too large");
  }
  return decode(bytes);
}

void save(const std::string& path, const NewLink& link) {
  const std::vector<std::uint8_t> bytes = encode(link);
  const std::string temporary = path + ".partial-" + std::to_string(::getpid());
  Fd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (fd.get() < 0) throw_errno(path);
  try {
    write_all(fd.get(), bytes, path);
    if (fd.close() != 0) throw_errno(path);
    if (::rename(temporary.c_str(), path.c_str()) != 0) throw_errno(path);
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
}

}  // namespace shell_link
