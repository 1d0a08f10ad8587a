#pragma once
// Reading and writing whole files through descriptors, and replacing a file in one step. Every failure
// of the system is a PathError naming the file concerned.
#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace posix {

// A refusal of the system (its errno) on one file.
class PathError : public std::system_error {
 public:
  PathError(int error, const std::string& path)
      : std::system_error(error, std::generic_category(), path), path_(path) {}
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Every byte `fd` gives until its end, or until more than `most` have come (the caller refuses that).
std::string read_all(int fd, const std::string& path,
                     std::size_t most = std::numeric_limits<std::size_t>::max());

// All of `bytes`, however many writes that takes.
void write_all(int fd, std::string_view bytes, const std::string& path);

// Writes the new content beside `path` (as "NAME.new-PID-N") with `fill`, then renames it over `path`
// and flushes the folder: whatever fails, or whenever the process or the machine stops, `path` holds
// its old bytes or the new ones, never a part, and once this returns the new ones stay. The new file
// gets `mode` when given, otherwise the umask's default.
void replace_atomically(const std::string& path, std::optional<mode_t> mode,
                        const std::function<void(int fd)>& fill);

// Deletes the files replace_atomically left beside `path` when its process was stopped before the
// rename: the regular files named exactly "NAME.new-" digits "-" digits. A missing folder has none.
void remove_replace_leftovers(const std::string& path);

// Flushes the folder holding `path` to the disk, so that a rename or delete in it lasts through a
// power cut.
void sync_folder_of(const std::string& path);

}  // namespace posix
