#pragma once
// The files of the installer's delivery held for the run (System::hold_delivered_file). Linux can't
// stop another program from changing a file or renaming it, so the bytes read for the check are kept
// in a sealed memory file, which nobody can change, and the copy and the library loads take that in
// the file's place.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "patch/system.h"
#include "posix/unique_fd.h"

namespace ludrimex::stand_in {

class HeldDelivery {
 public:
  explicit HeldDelivery(std::string folder) : folder_(std::move(folder)) {}

  // Reads the file `file` of the folder and keeps its bytes; nullopt when the folder has none. Throws
  // RunError naming the file when it can't be read or is no regular file.
  std::optional<DeliveredFile> hold(const std::string& file);

  // What a copy of `path` reads: the sealed bytes of a file held, else `path` itself.
  std::string copy_source(const std::string& path) const;
  // What a load of `path` opens: the sealed bytes of a file held, nothing for one held missing (no file
  // that came later), else `path` itself. The folder's files match whatever the case of their names, as
  // on Windows, so that no other spelling gets round a held one.
  std::optional<std::string> library_source(const std::string& path) const;

 private:
  struct Held {
    std::string file;
    ::posix::UniqueFd sealed;  // none: held missing
  };
  const Held* held(const std::string& path) const;

  std::string folder_;
  std::vector<Held> held_;
};

}  // namespace ludrimex::stand_in
