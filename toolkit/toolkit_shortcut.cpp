// toolkit-shortcut LIBRARY GROUP TITLE TARGET [ARGUMENTS]: has a toolkit library (a path to one of
// our .so files) create a shortcut, as the catalogue's own installer does. Exit 0 when it says it did.
// toolkit-shortcut --programs-folder: prints the folder the libraries put shortcuts in.
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "posix/folders.h"
#include "toolkit/entry.h"

namespace {

struct Closer {
  void operator()(void* handle) const { ::dlclose(handle); }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--programs-folder") {
    std::printf("%s\n", posix::programs_folder().c_str());
    return 0;
  }
  if (argc < 5 || argc > 6) {
    std::fprintf(stderr, "usage: %s LIBRARY GROUP TITLE TARGET [ARGUMENTS]\n       %s --programs-folder\n",
                 argv[0], argv[0]);
    return 2;
  }
  const std::string library = argv[1];
  const char* arguments = argc == 6 ? argv[5] : "";
  std::unique_ptr<void, Closer> handle(::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL));
  if (!handle) {
    std::fprintf(stderr, "%s\n", ::dlerror());
    return 2;
  }
  void* entry = ::dlsym(handle.get(), "fCreateShellLink");
  if (!entry) {
    std::fprintf(stderr, "%s has no fCreateShellLink\n", library.c_str());
    return 2;
  }
  // VB6STKIT takes two more arguments: the current user's own Programs folder.
  const bool takes_folder = library.find("VB6STKIT") != std::string::npos;
  const std::int32_t made =
      takes_folder ? reinterpret_cast<toolkit::CreateShellLinkUnder>(entry)(argv[2], argv[3], argv[4],
                                                                            arguments, -1, "$(Programs)")
                   : reinterpret_cast<toolkit::CreateShellLink>(entry)(argv[2], argv[3], argv[4], arguments);
  if (made == 0) {
    std::fprintf(stderr, "%s could not create the shortcut %s\n", library.c_str(), argv[3]);
    return 1;
  }
  return 0;
}
