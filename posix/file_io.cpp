#include "posix/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "posix/folders.h"
#include "posix/unique_dir.h"
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

namespace {

constexpr std::string_view kReplacementMark = ".new-";

bool all_digits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Whether `name` is one of the names replace_atomically writes `base` under: base.new-PID-N.
bool is_replacement_of(std::string_view name, std::string_view base) {
  if (!name.starts_with(base) || !name.substr(base.size()).starts_with(kReplacementMark)) return false;
  const std::string_view numbers = name.substr(base.size() + kReplacementMark.size());
  const auto dash = numbers.find('-');
  return dash != std::string_view::npos && all_digits(numbers.substr(0, dash)) &&
         all_digits(numbers.substr(dash + 1));
}

}  // namespace

void replace_atomically(const std::string& path, std::optional<mode_t> mode,
                        const std::function<void(int fd)>& fill) {
  std::string temporary;
  UniqueFd target;
  for (int attempt = 0; !target; ++attempt) {
    temporary =
        path + std::string(kReplacementMark) + std::to_string(::getpid()) + "-" + std::to_string(attempt);
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
  sync_folder_of(path);
}

void remove_replace_leftovers(const std::string& path) {
  const std::string folder = folder_of(path);
  const std::string base = base_name(path);
  const UniqueDir listing(::opendir(folder.c_str()));
  if (!listing) {
    if (errno == ENOENT || errno == ENOTDIR) return;
    throw PathError(errno, folder);
  }
  std::vector<std::string> leftovers;
  errno = 0;
  while (const dirent* entry = ::readdir(listing.get())) {
    if (is_replacement_of(entry->d_name, base)) leftovers.push_back(folder + "/" + entry->d_name);
  }
  if (errno != 0) throw PathError(errno, folder);
  for (const std::string& leftover : leftovers) {
    struct stat info {};
    // Only a file of ours: a folder or a link of that name is someone else's.
    if (::lstat(leftover.c_str(), &info) != 0) {
      if (errno == ENOENT) continue;
      throw PathError(errno, leftover);
    }
    if (S_ISREG(info.st_mode) && ::unlink(leftover.c_str()) != 0 && errno != ENOENT)
      throw PathError(errno, leftover);
  }
}

void sync_folder_of(const std::string& path) {
  const UniqueFd folder(::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder) throw PathError(errno, path);
  // EINVAL: a file system that keeps no folder to flush (it has nothing to lose).
  if (::fsync(folder.get()) != 0 && errno != EINVAL) throw PathError(errno, path);
}

}  // namespace posix
