#include "patch/win32/files.h"

#include <windows.h>

#include <algorithm>

#include "patch/errors.h"
#include "patch/win32/win32_errors.h"
#include "win32/scoped.h"
#include "win32/text.h"

namespace ludrimex::windows {
namespace {

// Attributes a search has to ask for to see an entry that carries them.
constexpr DWORD kSelectiveAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;

// Attributes a replaced log keeps; read-only is refused before it comes to that.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Beyond this length the plain form of a path may be refused (MAX_PATH less room for a file name).
constexpr std::size_t kPlainPathLimit = MAX_PATH - 12;

bool admitted(const WIN32_FIND_DATAW& entry, int attributes) {
  return (entry.dwFileAttributes & kSelectiveAttributes & ~static_cast<DWORD>(attributes)) == 0;
}

win32::KernelHandle open(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
  win32::KernelHandle file(::CreateFileW(file_path(path).c_str(), access, share, nullptr, disposition,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw_last_error(path);
  return file;
}

void write_all(HANDLE file, const std::string& bytes, const std::string& path) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) throw_last_error(path);
    done += written;
  }
}

bool exists(const std::string& path) {
  return ::GetFileAttributesW(file_path(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A new file beside `target` that holds the log's next content until it takes the log's place;
// deleted again unless it did.
class TemporaryFile {
 public:
  TemporaryFile(const std::wstring& target, DWORD attributes, const std::string& path) {
    // The first free name of a few: another run's leftover must not stop this one.
    for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
      name_ = target + L".~" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(attempt);
      file_.reset(::CreateFileW(name_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr));
      if (!file_ && ::GetLastError() != ERROR_FILE_EXISTS) throw_last_error(path);
    }
    if (!file_) throw RunError(kPathFileAccessError, path);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    file_.reset();
    if (!kept_) ::DeleteFileW(name_.c_str());
  }

  // Writes every byte through to the disk and closes the file.
  void write(const std::string& bytes, const std::string& path) {
    write_all(file_.get(), bytes, path);
    if (!::FlushFileBuffers(file_.get())) throw_last_error(path);
    file_.reset();
  }
  const std::wstring& name() const { return name_; }
  void keep() { kept_ = true; }

 private:
  std::wstring name_;
  win32::KernelHandle file_;
  bool kept_ = false;
};

// Refuses, before anything is written, a log that may not be written in place: read-only, no
// permission, held by another program. The replace below would otherwise get round the first.
DWORD writable_attributes(const std::wstring& target, const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return attributes;
  if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) throw RunError(kPermissionDenied, path);
  open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
  return attributes;
}

}  // namespace

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

std::string find_first(const std::string& path, int attributes) {
  if (path.empty()) throw RunError(kInvalidArgument);
  WIN32_FIND_DATAW entry;
  win32::FindHandle search(::FindFirstFileW(file_path(path).c_str(), &entry));
  if (!search) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_NO_MORE_FILES) {
      return {};
    }
    throw RunError(run_error_number(code), path);
  }
  do {
    if (admitted(entry, attributes)) return win32::to_utf8(entry.cFileName);
  } while (::FindNextFileW(search.get(), &entry));
  return {};
}

std::string read_whole_file(const std::string& path) {
  const auto file = open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  std::string bytes;
  char chunk[65536];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr)) throw_last_error(path);
    if (got == 0) break;
    bytes.append(chunk, got);
  }
  return bytes;
}

void append_to_file(const std::string& path, const std::string& bytes) {
  const auto file = open(path, FILE_APPEND_DATA, FILE_SHARE_READ, OPEN_ALWAYS);
  write_all(file.get(), bytes, path);
}

void replace_file_contents(const std::string& path, const std::string& bytes) {
  const std::wstring target = file_path(path);
  const DWORD attributes = writable_attributes(target, path);
  const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
  TemporaryFile next(target, existed ? attributes & kKeptAttributes : FILE_ATTRIBUTE_NORMAL, path);
  next.write(bytes, path);
  // One step: the log holds either its old bytes or the new ones, never a part of them.
  const BOOL replaced =
      existed ? ::ReplaceFileW(target.c_str(), next.name().c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                               nullptr, nullptr)
              : ::MoveFileExW(next.name().c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!replaced) throw_last_error(path);
  next.keep();
}

void delete_file(const std::string& path) {
  if (!::DeleteFileW(file_path(path).c_str())) throw_last_error(path);
}

void copy_file(const std::string& from, const std::string& to) {
  if (::CopyFileW(file_path(from).c_str(), file_path(to).c_str(), FALSE)) return;
  const DWORD code = ::GetLastError();
  // The report names the file at fault: the source when it is missing, else the destination.
  throw RunError(run_error_number(code), exists(from) ? to : from);
}

}  // namespace ludrimex::windows
