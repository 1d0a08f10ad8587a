#include "patch/win32/replacement.h"

#include <windows.h>

#include <memory>
#include <string>

#include "patch/errors.h"
#include "patch/win32/files.h"

namespace ludrimex::windows {
namespace {

// Attributes a replaced file keeps; read-only is refused before it comes to that.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Refuses, before anything is written, a file that may not be written in place: read-only, no
// permission, held by another program. The replace would otherwise get round the first.
DWORD writable_attributes(const std::string& path) {
  const DWORD attributes = regular_file_attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return attributes;
  if (attributes & FILE_ATTRIBUTE_READONLY) throw RunError(kPermissionDenied, path);
  open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
  return attributes;
}

class SystemFileMoves final : public FileMoves {
 public:
  DWORD replace(const std::wstring& replaced, const std::wstring& replacement,
                const std::wstring& backup) override {
    const wchar_t* const backup_name = backup.empty() ? nullptr : backup.c_str();
    if (::ReplaceFileW(replaced.c_str(), replacement.c_str(), backup_name, REPLACEFILE_IGNORE_MERGE_ERRORS,
                       nullptr, nullptr)) {
      return ERROR_SUCCESS;
    }
    return ::GetLastError();
  }
  DWORD move(const std::wstring& from, const std::wstring& to, DWORD flags) override {
    return ::MoveFileExW(from.c_str(), to.c_str(), flags) ? ERROR_SUCCESS : ::GetLastError();
  }
};

}  // namespace

std::unique_ptr<FileMoves> system_file_moves() {
  return std::make_unique<SystemFileMoves>();
}

Replacement::Replacement(const std::string& path, FileMoves& moves)
    : path_(path), target_(file_path(path)), attributes_(writable_attributes(path)), moves_(moves) {
  // The first free name of a few: another run's leftover must not stop this one.
  for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
    name_ = file_path(path + ".~" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(attempt));
    file_.reset(
        ::CreateFileW(name_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_ && ::GetLastError() != ERROR_FILE_EXISTS) throw file_error(path);
  }
  if (!file_) throw RunError(kPathFileAccessError, path);
}

Replacement::~Replacement() {
  file_.reset();
  if (!done_) ::DeleteFileW(name_.c_str());
}

void Replacement::write(const std::string& bytes) {
  write_all(file_.get(), bytes, path_);
  if (!::FlushFileBuffers(file_.get())) throw file_error(path_);
  file_.reset();
}

void Replacement::copy_from(const std::string& from) {
  file_.reset();
  if (::CopyFileW(file_path(from).c_str(), name_.c_str(), FALSE)) return;
  const DWORD code = ::GetLastError();
  // The report names the file at fault: the source when it is missing, else the destination.
  throw file_error(exists(file_path(from)) ? path_ : from, code);
}

void Replacement::commit() {
  const bool existed = attributes_ != INVALID_FILE_ATTRIBUTES;
  // The new file takes the replaced one's hidden and system attributes, whatever the replace below
  // keeps by itself, and a copy is never left read-only.
  const DWORD base = existed ? attributes_ : ::GetFileAttributesW(name_.c_str());
  const DWORD kept = base == INVALID_FILE_ATTRIBUTES ? 0 : base & kKeptAttributes;
  if (!::SetFileAttributesW(name_.c_str(), kept ? kept : FILE_ATTRIBUTE_NORMAL)) throw file_error(path_);
  const DWORD code = existed ? moves_.replace(target_, name_, L"")
                             : moves_.move(name_, target_, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (code != ERROR_SUCCESS) throw file_error(path_, code);
  done_ = true;
}

}  // namespace ludrimex::windows
