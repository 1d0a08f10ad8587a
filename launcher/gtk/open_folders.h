#pragma once
// Folders held open for the program's life, so that pages WebKit can't load by their path load
// through the open folder instead.
#include <dirent.h>

#include <memory>
#include <string>
#include <vector>

namespace sorvanta::gtk {

class OpenFolders {
 public:
  // The URI WebKit loads for an address handed to Navigate. A folder whose name WebKit cannot take
  // is opened and stays open, so that its pages and their links load.
  std::string loadable_uri(const std::string& address);

 private:
  struct CloseFolder {
    void operator()(DIR* folder) const { closedir(folder); }
  };
  std::vector<std::unique_ptr<DIR, CloseFolder>> folders_;
};

}  // namespace sorvanta::gtk
