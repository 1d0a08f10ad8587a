#include "patch/win32/file_access.h"

#include <windows.h>

#include <utility>

#include "patch/errors.h"
#include "patch/win32/files.h"

namespace ludrimex::windows {

bool passing(DWORD code) {
  return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION ||
         code == ERROR_UNABLE_TO_REMOVE_REPLACED || code == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
}

DWORD SystemFileCalls::replace(const std::wstring& replaced, const std::wstring& replacement,
                               const std::wstring& backup) {
  const wchar_t* const backup_name = backup.empty() ? nullptr : backup.c_str();
  if (::ReplaceFileW(replaced.c_str(), replacement.c_str(), backup_name, REPLACEFILE_IGNORE_MERGE_ERRORS,
                     nullptr, nullptr)) {
    return ERROR_SUCCESS;
  }
  return ::GetLastError();
}

DWORD SystemFileCalls::move(const std::wstring& from, const std::wstring& to, DWORD flags) {
  return ::MoveFileExW(from.c_str(), to.c_str(), flags) ? ERROR_SUCCESS : ::GetLastError();
}

DWORD SystemFileCalls::remove(const std::wstring& path) {
  return ::DeleteFileW(path.c_str()) ? ERROR_SUCCESS : ::GetLastError();
}

DWORD SystemFileCalls::attributes(const std::wstring& path, DWORD& attributes) {
  attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES ? ERROR_SUCCESS : ::GetLastError();
}

DWORD SystemFileCalls::create(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                              DWORD flags, win32::KernelHandle& file) {
  file.reset(::CreateFileW(path.c_str(), access, share, nullptr, disposition, flags, nullptr));
  return file ? ERROR_SUCCESS : ::GetLastError();
}

FileAccess::FileAccess(std::unique_ptr<FileCalls> calls, std::chrono::milliseconds budget)
    : calls_(std::move(calls)), left_(budget) {}

bool FileAccess::pause() {
  if (left_ < kPause) return false;
  left_ -= kPause;
  ::Sleep(static_cast<DWORD>(kPause.count()));
  return true;
}

win32::KernelHandle FileAccess::open(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
  regular_file_attributes(path);
  const std::wstring name = file_path(path);
  win32::KernelHandle file;
  const DWORD code =
      retried([&] { return calls_->create(name, access, share, disposition, FILE_ATTRIBUTE_NORMAL, file); });
  if (code != ERROR_SUCCESS) throw file_error(path, code);
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) throw RunError(kPathFileAccessError, path);
  return file;
}

DWORD FileAccess::remove(const std::wstring& path) {
  return retried([&] { return calls_->remove(path); });
}

DWORD FileAccess::regular_file_attributes(const std::string& path) {
  DWORD attributes = INVALID_FILE_ATTRIBUTES;
  const DWORD code = calls_->attributes(file_path(path), attributes);
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return INVALID_FILE_ATTRIBUTES;
  if (code != ERROR_SUCCESS) throw file_error(path, code);
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
    throw RunError(kPathFileAccessError, path);
  }
  return attributes;
}

bool FileAccess::is_free(const std::wstring& path) {
  DWORD attributes = INVALID_FILE_ATTRIBUTES;
  const DWORD code = calls_->attributes(path, attributes);
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

}  // namespace ludrimex::windows
