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

bool admitted(const WIN32_FIND_DATAW& entry, int attributes) {
  return (entry.dwFileAttributes & kSelectiveAttributes & ~static_cast<DWORD>(attributes)) == 0;
}

win32::KernelHandle open(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
  win32::KernelHandle file(::CreateFileW(win32::to_wide(path).c_str(), access, share, nullptr, disposition,
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
  return ::GetFileAttributesW(win32::to_wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

std::string find_first(const std::string& path, int attributes) {
  if (path.empty()) throw RunError(kInvalidArgument);
  WIN32_FIND_DATAW entry;
  win32::FindHandle search(::FindFirstFileW(win32::to_wide(path).c_str(), &entry));
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
  const auto file = open(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
  write_all(file.get(), bytes, path);
}

void delete_file(const std::string& path) {
  if (!::DeleteFileW(win32::to_wide(path).c_str())) throw_last_error(path);
}

void copy_file(const std::string& from, const std::string& to) {
  if (::CopyFileW(win32::to_wide(from).c_str(), win32::to_wide(to).c_str(), FALSE)) return;
  const DWORD code = ::GetLastError();
  // The report names the file at fault: the source when it is missing, else the destination.
  throw RunError(run_error_number(code), exists(from) ? to : from);
}

}  // namespace ludrimex::windows
