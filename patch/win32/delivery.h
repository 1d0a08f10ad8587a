#pragma once
// The files of the installer's delivery held for the run (System::hold_delivered_file): each open,
// shared for reading only, from its check until the System goes, so that nobody writes, renames or
// deletes it meanwhile; and the installer's folder and those above it open, shared for all but
// deleting, so that nobody renames them. The copy and the library loads then open by its name the very
// file that was checked.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "patch/system.h"
#include "patch/win32/file_access.h"
#include "win32/scoped.h"

namespace ludrimex::windows {

class HeldDelivery {
 public:
  explicit HeldDelivery(FileAccess& access) : access_(access) {}

  // Holds the file `name` of the installer's folder; nullopt when the folder has none. Throws RunError
  // naming the file (or the folder) when it can't be held.
  std::optional<DeliveredFile> hold(const std::string& name);

  // Whether the file `file` (a bare name) of the installer's folder may be loaded: not when it was held
  // missing, for a file that came there later is nobody's.
  bool may_load(const std::wstring& file) const;

 private:
  void hold_folders(const std::wstring& folder);

  FileAccess& access_;
  std::vector<win32::KernelHandle> folders_;
  std::vector<win32::KernelHandle> files_;
  std::vector<std::wstring> missing_;
};

}  // namespace ludrimex::windows
