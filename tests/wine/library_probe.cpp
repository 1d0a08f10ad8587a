// Run from a folder of its own by the seam tests: which toolkit libraries the Windows System can
// load from where it stands, and which one the installer's probe picks. Exit status, bit by bit:
//   0, 1, 2    STKIT432, VB5STKIT, VB6STKIT loaded through the System;
//   4, 5, 6    the same names loaded plainly (LoadLibraryA) before the System exists (with
//              --unhardened), and 13, 14, 15 loaded plainly after it exists;
//   8, 9, 10   the library left bound after crea_collegamento(0, ".", TITLE, TARGET) (with --create);
//   12         crea_collegamento answered true;
//   16         Sorvanta.exe and STKIT432.DLL of the probe's folder held by the System (with --hold);
//   17 to 20   with --meddle, then refused: opening Sorvanta.exe for writing, renaming it (and back),
//              renaming the probe's folder (and back), deleting Sorvanta.exe;
//   21         with --meddle, STKIT432.later copied to STKIT432.DLL, which was not there before;
//   22         with --meddle, refused: renaming the folder above the probe's (and back).
// The options come in this order; the loads above come after them. Writes the System's app_path()
// to app_path.txt in the current directory.
#include <windows.h>

#include <array>
#include <fstream>
#include <string>

#include "patch/shortcut_creator.h"
#include "patch/system.h"
#include "win32/program_folder.h"
#include "win32/scoped.h"

namespace {

// Whether `from` could be renamed `to`; renamed back if so.
bool renamed(const std::wstring& from, const std::wstring& to) {
  if (!::MoveFileW(from.c_str(), to.c_str())) return false;
  ::MoveFileW(to.c_str(), from.c_str());
  return true;
}

// What another program might do to the delivery after its check: the bits of what was refused.
int meddle() {
  const std::wstring folder = win32::program_folder(), launcher = folder + L"\\Sorvanta.exe";
  int status = 0;
  const win32::KernelHandle written(::CreateFileW(launcher.c_str(), GENERIC_WRITE,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!written) status |= 1 << 17;
  if (!renamed(launcher, folder + L"\\Sorvanta.old")) status |= 1 << 18;
  if (!renamed(folder, folder + L"-altrove")) status |= 1 << 19;
  if (!::DeleteFileW(launcher.c_str())) status |= 1 << 20;
  const std::wstring above = folder.substr(0, folder.find_last_of(L'\\'));
  if (!renamed(above, above + L"-altrove")) status |= 1 << 22;
  if (::CopyFileW((folder + L"\\STKIT432.later").c_str(), (folder + L"\\STKIT432.DLL").c_str(), TRUE))
    status |= 1 << 21;
  return status;
}

}  // namespace

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
  if (next < argc && std::string(argv[next]) == "--hold") {
    ++next;
    const bool launcher = system->hold_delivered_file("Sorvanta.exe").has_value();
    if (system->hold_delivered_file("STKIT432.DLL") && launcher) status |= 1 << 16;
  }
  if (next < argc && std::string(argv[next]) == "--meddle") {
    ++next;
    status |= meddle();
  }
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
