// Run from a folder of its own by the seam tests: which toolkit libraries the Windows System can
// load from where it stands, and which one the installer's probe picks. Exit status, bit by bit:
//   0, 1, 2    STKIT432, VB5STKIT, VB6STKIT loaded through the System;
//   4, 5, 6    the same names loaded plainly (LoadLibraryA) before the System exists (with
//              --unhardened), and 13, 14, 15 loaded plainly after it exists;
//   8, 9, 10   the library left bound after crea_collegamento(0, ".", TITLE, TARGET) (with --create);
//   12         crea_collegamento answered true.
// Writes the System's app_path() to app_path.txt in the current directory.
#include <windows.h>

#include <array>
#include <fstream>
#include <string>

#include "patch/shortcut_creator.h"
#include "patch/system.h"

int main(int argc, char** argv) {
  const std::array<const char*, 3> names{"STKIT432", "VB5STKIT", "VB6STKIT"};
  int status = 0;
  int next = 1;
  const auto load_plainly = [&](int first_bit) {
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (HMODULE module = ::LoadLibraryA(names[i])) {
        status |= 1 << (i + first_bit);
        ::FreeLibrary(module);
      }
    }
  };
  const bool unhardened = next < argc && std::string(argv[next]) == "--unhardened";
  if (unhardened) {
    ++next;
    load_plainly(4);
  }
  const auto system = ludrimex::make_platform_system();
  if (unhardened) load_plainly(13);
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (system->load_library(names[i])) status |= 1 << i;
  }
  if (next + 2 < argc && std::string(argv[next]) == "--create") {
    if (ludrimex::crea_collegamento(*system, 0, ".", argv[next + 1], argv[next + 2])) status |= 1 << 12;
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (::GetModuleHandleA((std::string(names[i]) + ".DLL").c_str())) status |= 1 << (i + 8);
    }
  }
  std::ofstream("app_path.txt", std::ios::binary) << system->app_path();
  return status;
}
