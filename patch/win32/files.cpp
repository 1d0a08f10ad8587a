#include <windows.h>

#include <algorithm>
#include <string>

#include "patch/errors.h"
#include "patch/win32/platform_system.h"
#include "win32/scoped.h"
#include "win32/text.h"

namespace ludrimex::windows {
namespace {

// The RunError the runtime raises for a file operation on `path` that failed with the system error
// `code` (GetLastError of the failed call, unless given).
RunError file_error(const std::string& path, DWORD code = ::GetLastError()) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
      return RunError(kFileNotFound, path);
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_DIRECTORY:
      return RunError(kPathNotFound, path);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_USER_MAPPED_FILE:
    case ERROR_UNABLE_TO_REMOVE_REPLACED:
      return RunError(kPermissionDenied, path);
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return RunError(kBadFileName, path);
    case ERROR_INVALID_DRIVE:
    case ERROR_DEV_NOT_EXIST:
      return RunError(kDeviceUnavailable, path);
    case ERROR_NOT_READY:
      return RunError(kDiskNotReady, path);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return RunError(kDiskFull, path);
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
      return RunError(kDeviceIoError, path);
    default:
      return RunError(kPathFileAccessError, path);
  }
}

// Attributes a search has to ask for to see an entry that carries them.
constexpr DWORD kSelectiveAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;

// Attributes a replaced file keeps; read-only is refused before it comes to that.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Beyond this length the plain form of a path may be refused (MAX_PATH less room for a file name).
constexpr std::size_t kPlainPathLimit = MAX_PATH - 12;

// `path` as the wide file functions take it: beyond MAX_PATH, its full "\\?\" form, which the
// system does not cut.
std::wstring file_path(const std::string& path) {
  const std::wstring wide = win32::to_wide(path);
  if (wide.size() < kPlainPathLimit || wide.starts_with(L"\\\\?\\")) return wide;
  const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;
  std::wstring full(size, L'\0');
  const DWORD n = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (n == 0 || n >= size) return wide;
  full.resize(n);
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

bool admitted(const WIN32_FIND_DATAW& entry, int attributes) {
  return (entry.dwFileAttributes & kSelectiveAttributes & ~static_cast<DWORD>(attributes)) == 0;
}

// The attributes of `path`, INVALID_FILE_ATTRIBUTES when it is missing. A folder or a device is
// refused at once: opening one would fail late or wait.
DWORD regular_file_attributes(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(file_path(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
    throw RunError(kPathFileAccessError, path);
  }
  return attributes;
}

win32::KernelHandle open(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
  regular_file_attributes(path);
  win32::KernelHandle file(::CreateFileW(file_path(path).c_str(), access, share, nullptr, disposition,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw file_error(path);
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) throw RunError(kPathFileAccessError, path);
  return file;
}

void write_all(HANDLE file, const std::string& bytes, const std::string& path) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) throw file_error(path);
    done += written;
  }
}

bool exists(const std::string& path) {
  return ::GetFileAttributesW(file_path(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Refuses, before anything is written, a file that may not be written in place: read-only, no
// permission, held by another program. The replace would otherwise get round the first.
DWORD writable_attributes(const std::string& path) {
  const DWORD attributes = regular_file_attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return attributes;
  if (attributes & FILE_ATTRIBUTE_READONLY) throw RunError(kPermissionDenied, path);
  open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
  return attributes;
}

// A new file beside the one it is to replace, holding the next content until it takes that one's
// place in a single step; deleted again unless it did.
class Replacement {
 public:
  explicit Replacement(const std::string& path)
      : path_(path), target_(file_path(path)), attributes_(writable_attributes(path)) {
    // The first free name of a few: another run's leftover must not stop this one.
    for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
      name_ =
          file_path(path + ".~" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(attempt));
      file_.reset(::CreateFileW(name_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
      if (!file_ && ::GetLastError() != ERROR_FILE_EXISTS) throw file_error(path);
    }
    if (!file_) throw RunError(kPathFileAccessError, path);
  }
  Replacement(const Replacement&) = delete;
  Replacement& operator=(const Replacement&) = delete;
  ~Replacement() {
    file_.reset();
    if (!done_) ::DeleteFileW(name_.c_str());
  }

  void write(const std::string& bytes) {
    write_all(file_.get(), bytes, path_);
    if (!::FlushFileBuffers(file_.get())) throw file_error(path_);
    file_.reset();
  }

  void copy_from(const std::string& from) {
    file_.reset();
    if (::CopyFileW(file_path(from).c_str(), name_.c_str(), FALSE)) return;
    const DWORD code = ::GetLastError();
    // The report names the file at fault: the source when it is missing, else the destination.
    throw file_error(exists(from) ? path_ : from, code);
  }

  // Puts the new content in place: the file holds either its old bytes or the new ones, never a part.
  void commit() {
    const bool existed = attributes_ != INVALID_FILE_ATTRIBUTES;
    // The new file takes the replaced one's hidden and system attributes, whatever the replace below
    // keeps by itself, and a copy is never left read-only.
    const DWORD base = existed ? attributes_ : ::GetFileAttributesW(name_.c_str());
    const DWORD kept = base == INVALID_FILE_ATTRIBUTES ? 0 : base & kKeptAttributes;
    if (!::SetFileAttributesW(name_.c_str(), kept ? kept : FILE_ATTRIBUTE_NORMAL)) throw file_error(path_);
    const BOOL replaced = existed ? ::ReplaceFileW(target_.c_str(), name_.c_str(), nullptr,
                                                   REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                                  : ::MoveFileExW(name_.c_str(), target_.c_str(),
                                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!replaced) throw file_error(path_);
    done_ = true;
  }

 private:
  std::string path_;
  std::wstring target_;
  DWORD attributes_ = INVALID_FILE_ATTRIBUTES;
  std::wstring name_;
  win32::KernelHandle file_;
  bool done_ = false;
};

}  // namespace

std::string WindowsSystem::dir(const std::string& path, int attributes) {
  if (path.empty()) throw RunError(kInvalidArgument);
  WIN32_FIND_DATAW entry;
  win32::FindHandle search(::FindFirstFileW(file_path(path).c_str(), &entry));
  if (!search) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_NO_MORE_FILES) {
      return {};
    }
    throw file_error(path, code);
  }
  do {
    if (admitted(entry, attributes)) return win32::to_utf8(entry.cFileName);
  } while (::FindNextFileW(search.get(), &entry));
  return {};
}

FileKind WindowsSystem::file_kind(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(file_path(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return FileKind::kMissing;
    throw file_error(path, code);
  }
  if (attributes & FILE_ATTRIBUTE_DEVICE) return FileKind::kOther;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return FileKind::kFolder;
  return FileKind::kRegular;
}

bool WindowsSystem::is_absolute_path(const std::string& path) {
  const auto separator = [](char c) { return c == '\\' || c == '/'; };
  if (path.size() >= 2 && separator(path[0]) && separator(path[1])) return true;  // \\server, \\?\ forms
  const bool letter =
      path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  return letter && path[1] == ':' && separator(path[2]);
}

std::string WindowsSystem::read_file(const std::string& path) {
  const auto file = open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  std::string bytes;
  char chunk[65536];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr)) throw file_error(path);
    if (got == 0) break;
    bytes.append(chunk, got);
  }
  return bytes;
}

void WindowsSystem::write_file(const std::string& path, const std::string& bytes) {
  Replacement next(path);
  next.write(bytes);
  next.commit();
}

void WindowsSystem::delete_file(const std::string& path) {
  regular_file_attributes(path);
  if (!::DeleteFileW(file_path(path).c_str())) throw file_error(path);
}

void WindowsSystem::copy_file(const std::string& from, const std::string& to) {
  if (regular_file_attributes(from) == INVALID_FILE_ATTRIBUTES) throw file_error(from);
  Replacement next(to);
  next.copy_from(from);
  next.commit();
}

}  // namespace ludrimex::windows
