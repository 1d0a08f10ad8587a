#pragma once
// LoadLibraryA, FreeLibrary and the binding of a toolkit library's entry, stood in for by dlopen:
// "NAME.DLL" (or a bare "NAME") is the shared object "NAME.so". Only trusted folders are searched: the
// library the installer ships, STKIT432, by full path beside the running program, else by the dynamic
// loader's own search (the system library folders); every other library by that search only, so that a
// library left in the program's folder (a Downloads folder) never runs.
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "patch/posix/delivery.h"

namespace ludrimex::stand_in {

// The shared object's file name for a library name as the Windows program gives it.
std::string shared_object_name(const std::string& name);

class ToolkitLibraries {
 public:
  // With `delivery`, the shipped library comes from what it holds of it (HeldDelivery::library_source).
  explicit ToolkitLibraries(std::string program_folder, const HeldDelivery* delivery = nullptr)
      : program_folder_(std::move(program_folder)), delivery_(delivery) {}

  // A handle for free(), or 0 when the library can't be loaded.
  std::uintptr_t load(const std::string& name) const;
  void free(std::uintptr_t handle) const;

  // The address of fCreateShellLink in `library`, which stays loaded as long as this object. Throws
  // RunError naming `library`: 53 when no trusted folder holds it, 48 when it is there but can't be
  // loaded, 453 when it lacks the entry.
  void* entry(const std::string& library);

 private:
  struct Closer {
    void operator()(void* handle) const;
  };
  using Handle = std::unique_ptr<void, Closer>;
  struct Opened {
    void* handle = nullptr;
    bool found = false;  // the file is there, loaded or not
  };

  Opened open(const std::string& name) const;

  std::string program_folder_;
  const HeldDelivery* delivery_;
  std::map<std::string, Handle> bound_;
};

}  // namespace ludrimex::stand_in
