#pragma once
// An open folder listing (opendir), closed when it goes out of scope.
#include <dirent.h>

#include <memory>

namespace posix {

struct CloseDir {
  void operator()(DIR* folder) const { ::closedir(folder); }
};
using UniqueDir = std::unique_ptr<DIR, CloseDir>;

}  // namespace posix
