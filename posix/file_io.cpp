#include "posix/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "posix/unique_fd.h"

namespace posix {

std::string read_all(int fd, const std::string& path, std::size_t most) {
  std::string bytes;
  char chunk[65536];
  while (bytes.size() <= most) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw PathError(errno, path);
    if (n == 0) break;
    bytes.append(chunk, static_cast<std::size_t>(n));
  }
  return bytes;
}

void write_all(int fd, std::string_view bytes, const std::string& path) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw PathError(errno, path);
    done += static_cast<std::size_t>(n);
  }
}

void replace_atomically(const std::string& path, std::optional<mode_t> mode,
                        const std::function<void(int fd)>& fill) {
  std::string temporary;
  UniqueFd target;
  for (int attempt = 0; !target; ++attempt) {
    temporary = path + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    target = UniqueFd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!target && (errno != EEXIST || attempt == 100)) throw PathError(errno, path);
  }
  try {
    fill(target.get());
    if (mode && ::fchmod(target.get(), *mode) != 0) throw PathError(errno, path);
    if (::fsync(target.get()) != 0 || target.close() != 0) throw PathError(errno, path);
    if (::rename(temporary.c_str(), path.c_str()) != 0) throw PathError(errno, path);
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
}

}  // namespace posix
