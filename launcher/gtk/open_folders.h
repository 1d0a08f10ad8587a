#pragma once
// Folders held open for the program's life, so that pages WebKit can't load by their path load
// through the open folder instead.
#include <string>
#include <vector>

#include "posix/unique_dir.h"

namespace sorvanta::gtk {

class OpenFolders {
 public:
  // The URI WebKit loads for an address handed to Navigate. A folder whose name WebKit cannot take
  // is opened and stays open, so that its pages and their links load.
  std::string loadable_uri(const std::string& address);

 private:
  std::vector<::posix::UniqueDir> folders_;
};

}  // namespace sorvanta::gtk
