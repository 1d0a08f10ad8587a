#pragma once
// The setup-toolkit libraries: loaded from trusted folders only, their fCreateShellLink bound by
// library name at its first call.
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

#include "patch/win32/delivery.h"
#include "win32/scoped.h"

namespace ludrimex::windows {

class ToolkitLibraries {
 public:
  // The shipped library is loaded from beside the installer only as `delivery` allows.
  explicit ToolkitLibraries(const HeldDelivery& delivery) : delivery_(delivery) {}

  // The entry of `library`, loading it on first use; a bound library stays loaded while we live.
  // Throws RunError 53 (not found), 48 (can't be loaded) or 453 (no entry) naming the library.
  FARPROC entry(const std::string& library);

 private:
  struct Bound {
    win32::Library module;
    FARPROC function = nullptr;
  };
  const HeldDelivery& delivery_;
  std::map<std::string, Bound> bound_;  // by the library name as the caller spells it
};

}  // namespace ludrimex::windows
