#include "launcher/gtk/open_folders.h"

#include <unistd.h>

#include "launcher/gtk/navigation_uri.h"

namespace sorvanta::gtk {

std::string OpenFolders::loadable_uri(const std::string& address) {
  const std::size_t folder_length = folder_to_open(address);
  if (folder_length == 0) return navigation_uri(address);
  ::posix::UniqueDir folder(opendir(address.substr(0, folder_length).c_str()));
  // A folder that can't be opened is as missing to WebKit: its page reports that as for any address.
  if (!folder) return navigation_uri(address);
  const int fd = dirfd(folder.get());
  folders_.push_back(std::move(folder));
  return uri_through_descriptor(address, folder_length, getpid(), fd);
}

}  // namespace sorvanta::gtk
