#include "patch/win32/files.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "patch/errors.h"
#include "patch/win32/platform_system.h"
#include "patch/win32/replacement.h"
#include "win32/scoped.h"
#include "win32/text.h"

namespace ludrimex::windows {
namespace {

// Attributes a search has to ask for to see an entry that carries them.
constexpr DWORD kSelectiveAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;

// Beyond this length the plain form of a path may be refused (MAX_PATH less room for a file name).
constexpr std::size_t kPlainPathLimit = MAX_PATH - 12;

bool admitted(const WIN32_FIND_DATAW& entry, int attributes) {
  return (entry.dwFileAttributes & kSelectiveAttributes & ~static_cast<DWORD>(attributes)) == 0;
}

}  // namespace

RunError file_error(const std::string& path, DWORD code) {
  const ErrorNumber number = [code] {
    switch (code) {
      case ERROR_FILE_NOT_FOUND:
        return kFileNotFound;
      case ERROR_PATH_NOT_FOUND:
      case ERROR_BAD_NETPATH:
      case ERROR_BAD_NET_NAME:
      case ERROR_DIRECTORY:
        return kPathNotFound;
      case ERROR_ACCESS_DENIED:
      case ERROR_SHARING_VIOLATION:
      case ERROR_LOCK_VIOLATION:
      case ERROR_WRITE_PROTECT:
      case ERROR_USER_MAPPED_FILE:
      case ERROR_UNABLE_TO_REMOVE_REPLACED:  // the replaces' failures: a file held by another program
      case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
      case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
        return kPermissionDenied;
      case ERROR_INVALID_NAME:
      case ERROR_BAD_PATHNAME:
      case ERROR_FILENAME_EXCED_RANGE:
        return kBadFileName;
      case ERROR_INVALID_DRIVE:
      case ERROR_DEV_NOT_EXIST:
        return kDeviceUnavailable;
      case ERROR_NOT_READY:
        return kDiskNotReady;
      case ERROR_DISK_FULL:
      case ERROR_HANDLE_DISK_FULL:
        return kDiskFull;
      case ERROR_CRC:
      case ERROR_READ_FAULT:
      case ERROR_WRITE_FAULT:
      case ERROR_GEN_FAILURE:
        return kDeviceIoError;
      default:
        return kPathFileAccessError;
    }
  }();
  return RunError(number, path);
}

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

std::string read_all(HANDLE file, const std::string& path) {
  std::string bytes;
  char chunk[65536];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file, chunk, sizeof chunk, &got, nullptr)) throw file_error(path);
    if (got == 0) break;
    bytes.append(chunk, got);
  }
  return bytes;
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
  return read_all(access_.open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING).get(), path);
}

void WindowsSystem::write_file(const std::string& path, const std::string& bytes) {
  Replacement next(path, access_);
  next.write(bytes);
  next.commit();
}

void WindowsSystem::delete_file(const std::string& path) {
  access_.regular_file_attributes(path);
  const DWORD code = access_.remove(file_path(path));
  if (code != ERROR_SUCCESS) throw file_error(path, code);
}

// Read and written, not CopyFileW: that would carry the downloaded file's Zone.Identifier stream. The
// source is read whole and let go before the replace, which may be of the very same file.
void WindowsSystem::copy_file(const std::string& from, const std::string& to) {
  std::string bytes;
  FILE_BASIC_INFO source_info{};
  {
    const auto source = access_.open(from, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    bytes = read_all(source.get(), from);
    if (!::GetFileInformationByHandleEx(source.get(), FileBasicInfo, &source_info, sizeof source_info)) {
      throw file_error(from);
    }
  }
  Replacement next(to, access_);
  next.copy_from(bytes, source_info);
  next.commit();
}

void WindowsSystem::clean_up_replace(const std::string& path) {
  Replacement::clean_up(path, access_);
}

}  // namespace ludrimex::windows
