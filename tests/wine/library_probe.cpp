// Run from a folder of its own by the seam tests: which toolkit libraries the Windows System can
// load from where it stands. Exit status: bit 0, 1, 2 for STKIT432, VB5STKIT, VB6STKIT loaded through
// the System; with --unhardened, bits 4, 5, 6 for the same names loaded before the System exists.
// Writes the System's app_path() to app_path.txt in the current directory.
#include <windows.h>

#include <array>
#include <cstring>
#include <fstream>

#include "patch/system.h"

int main(int argc, char** argv) {
  const std::array<const char*, 3> names{"STKIT432", "VB5STKIT", "VB6STKIT"};
  int mask = 0;
  if (argc > 1 && std::strcmp(argv[1], "--unhardened") == 0) {
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (HMODULE module = ::LoadLibraryA(names[i])) {
        mask |= 1 << (i + 4);
        ::FreeLibrary(module);
      }
    }
  }
  const auto system = ludrimex::make_platform_system();
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (system->load_library(names[i])) mask |= 1 << i;
  }
  std::ofstream("app_path.txt", std::ios::binary) << system->app_path();
  return mask;
}
