#include "patch/win32/delivery.h"

#include <windows.h>  // first: the headers below need it

#include <shlwapi.h>

#include <algorithm>

#include "patch/errors.h"
#include "patch/win32/files.h"
#include "patch/win32/platform_system.h"
#include "win32/program_folder.h"
#include "win32/text.h"

namespace ludrimex::windows {

namespace {

// The folder that holds `folder`; empty at a root ("C:\", "\\server\share").
std::wstring parent_of(const std::wstring& folder) {
  if (::PathIsRootW(folder.c_str())) return {};
  const std::size_t cut = folder.find_last_of(L'\\');
  if (cut == std::wstring::npos || cut == 0) return {};
  std::wstring parent = folder.substr(0, cut);
  if (parent.back() == L':') parent += L'\\';
  return parent == folder ? std::wstring() : parent;
}

// `folder` held as a current directory is: with access that the sharing check counts (FILE_TRAVERSE;
// attribute access alone would not), shared for all but deleting, so that nobody renames it.
win32::KernelHandle held_folder(const std::wstring& folder) {
  return win32::KernelHandle(::CreateFileW(file_path(win32::to_utf8(folder)).c_str(),
                                           FILE_TRAVERSE | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

}  // namespace

// The installer's folder and every one above it, so that its path names the same files to the end of
// the run. The folder itself must be held; one above it that this user may not open is left as it is.
void HeldDelivery::hold_folders(const std::wstring& folder) {
  if (!folders_.empty()) return;
  win32::KernelHandle own = held_folder(folder);
  if (!own) throw file_error(win32::to_utf8(folder));
  folders_.push_back(std::move(own));
  for (std::wstring above = parent_of(folder); !above.empty(); above = parent_of(above)) {
    if (auto handle = held_folder(above)) folders_.push_back(std::move(handle));
  }
}

std::optional<DeliveredFile> HeldDelivery::hold(const std::string& name) {
  const std::wstring folder = win32::program_folder();
  hold_folders(folder);
  const std::string path = win32::to_utf8(folder) + (folder.back() == L'\\' ? "" : "\\") + name;
  // Only "not found" is missing: a name pending delete answers "access denied".
  if (access_.regular_file_attributes(path) == INVALID_FILE_ATTRIBUTES) {
    missing_.push_back(win32::to_wide(name));
    return std::nullopt;
  }
  // Just extracted, it may be held for a moment by the shell or an antivirus.
  win32::KernelHandle file = access_.open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  DeliveredFile held{path, read_all(file.get(), path)};
  files_.push_back(std::move(file));
  return held;
}

bool HeldDelivery::may_load(const std::wstring& file) const {
  return std::none_of(missing_.begin(), missing_.end(), [&](const std::wstring& missing) {
    return ::CompareStringOrdinal(missing.c_str(), static_cast<int>(missing.size()), file.c_str(),
                                  static_cast<int>(file.size()), TRUE) == CSTR_EQUAL;
  });
}

std::optional<DeliveredFile> WindowsSystem::hold_delivered_file(const std::string& name) {
  return delivery_.hold(name);
}

}  // namespace ludrimex::windows
