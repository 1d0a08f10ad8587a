#include "patch/win32/replacement.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "patch/errors.h"
#include "patch/win32/files.h"
#include "win32/text.h"

namespace ludrimex::windows {
namespace {

// Beside NAME, a replace writes the new content to NAME.~PID-N and, while the new file takes its
// place, keeps the old one as NAME.~old-PID-N.
constexpr std::string_view kTemporaryMark = ".~";
constexpr std::string_view kBackupMark = ".~old-";

constexpr int kNames = 100;  // pairs of free names looked for, at most

// Attributes a replaced file keeps; read-only is refused before it comes to that.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Refuses, before anything is written, a file that may not be written in place: read-only, no
// permission, held by another program for longer than the run waits. The replace would otherwise
// get round the first.
DWORD writable_attributes(const std::string& path, FileAccess& access) {
  const DWORD attributes = access.regular_file_attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return attributes;
  if (attributes & FILE_ATTRIBUTE_READONLY) throw RunError(kPermissionDenied, path);
  access.open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
  return attributes;
}

// "D-D", D one digit or more.
bool is_numbers(std::wstring_view text) {
  const auto digits = [](std::wstring_view part) {
    return !part.empty() &&
           std::all_of(part.begin(), part.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
  };
  const std::size_t dash = text.find(L'-');
  return dash != std::wstring_view::npos && digits(text.substr(0, dash)) && digits(text.substr(dash + 1));
}

// A file a replace of `name` leaves beside it: its UTF-8 path and when it was last written.
struct Leftover {
  std::string path;
  FILETIME written;
};

struct Leftovers {
  std::vector<Leftover> backups;      // a whole copy
  std::vector<Leftover> temporaries;  // maybe half written
};

// Sorts the entry `found` beside the file `name` (of the folder `folder`) into `leftovers` when it is
// a replace's own: a regular file named exactly NAME + mark + numbers, the name's case being the file
// system's business. A folder, junction or other reparse point of that name is left alone.
void sort_entry(const WIN32_FIND_DATAW& found, const std::wstring& name, const std::string& folder,
                Leftovers& leftovers) {
  const std::wstring_view entry = found.cFileName;
  if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
      entry.size() <= name.size() ||
      ::CompareStringOrdinal(entry.data(), static_cast<int>(name.size()), name.data(),
                             static_cast<int>(name.size()), TRUE) != CSTR_EQUAL) {
    return;
  }
  const std::wstring_view rest = entry.substr(name.size());
  const std::pair<std::string_view, std::vector<Leftover>*> kinds[] = {
      {kBackupMark, &leftovers.backups}, {kTemporaryMark, &leftovers.temporaries}};
  for (const auto& [mark, kind] : kinds) {
    const std::wstring wide_mark = win32::to_wide(mark);
    if (rest.starts_with(wide_mark)) {
      if (is_numbers(rest.substr(wide_mark.size())))
        kind->push_back({folder + win32::to_utf8(entry), found.ftLastWriteTime});
      return;
    }
  }
}

// The files the replaces of `path` left beside it.
Leftovers leftovers_of(const std::string& path, const std::string& folder, const std::wstring& name) {
  Leftovers leftovers;
  WIN32_FIND_DATAW found;
  win32::FindHandle search(
      ::FindFirstFileW(file_path(path + std::string(kTemporaryMark) + "*").c_str(), &found));
  if (!search) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return leftovers;
    throw file_error(path, code);
  }
  do {
    sort_entry(found, name, folder, leftovers);
  } while (::FindNextFileW(search.get(), &found));
  if (::GetLastError() != ERROR_NO_MORE_FILES) throw file_error(path);
  return leftovers;
}

// The newest of `leftovers` takes the name `target` again, without replacing a file that has come
// meanwhile; it leaves the list.
void put_back_newest(std::vector<Leftover>& leftovers, const std::wstring& target, FileAccess& access) {
  const auto newest = std::max_element(leftovers.begin(), leftovers.end(), [](const auto& a, const auto& b) {
    return ::CompareFileTime(&a.written, &b.written) < 0;
  });
  const std::wstring from = file_path(newest->path);
  const DWORD code =
      access.retried([&] { return access.calls().move(from, target, MOVEFILE_WRITE_THROUGH); });
  if (code != ERROR_SUCCESS) throw file_error(newest->path, code);
  leftovers.erase(newest);
}

}  // namespace

Replacement::Replacement(const std::string& path, FileAccess& access)
    : path_(path), target_(file_path(path)), attributes_(writable_attributes(path, access)), access_(access) {
  create_temporary();
}

// The first pair of free names of a few: another run's leftover must not stop this one, nor a name
// still taken by a file pending delete, which answers "access denied".
void Replacement::create_temporary() {
  const std::string process = std::to_string(::GetCurrentProcessId());
  DWORD refused = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < kNames; ++attempt) {
    const std::string numbers = process + "-" + std::to_string(access_.next_name());
    backup_path_ = path_ + std::string(kBackupMark) + numbers;
    backup_ = file_path(backup_path_);
    if (!access_.is_free(backup_)) continue;
    name_ = file_path(path_ + std::string(kTemporaryMark) + numbers);
    const DWORD code =
        access_.calls().create(name_, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, file_);
    if (code == ERROR_SUCCESS) return;
    if (code != ERROR_FILE_EXISTS && code != ERROR_ACCESS_DENIED) throw file_error(path_, code);
    refused = code;
  }
  name_.clear();
  throw file_error(path_, refused);
}

Replacement::~Replacement() {
  file_.reset();
  if (!done_ && !keep_ && !name_.empty()) access_.remove(name_);  // else clean_up takes it
}

void Replacement::write(const std::string& bytes) {
  write_all(file_.get(), bytes, path_);
  finish_writing();
}

void Replacement::copy_from(const std::string& bytes, const FILE_BASIC_INFO& source) {
  write_all(file_.get(), bytes, path_);
  // What CopyFileW carried besides the data: the time of the last write and the attributes.
  FILE_BASIC_INFO carried{};  // zero: left as it is
  carried.LastWriteTime = source.LastWriteTime;
  carried.FileAttributes = source.FileAttributes & kKeptAttributes;
  if (!::SetFileInformationByHandle(file_.get(), FileBasicInfo, &carried, sizeof carried)) {
    throw file_error(path_);
  }
  copy_ = true;
  finish_writing();
}

// On the disk before it takes the real name.
void Replacement::finish_writing() {
  if (!::FlushFileBuffers(file_.get())) throw file_error(path_);
  file_.reset();
}

// ReplaceFileW gives the new file the old one's alternate streams: the old one's mark of the
// Internet zone goes first. Where there is none, or the file system has no streams, nothing is done.
void Replacement::drop_zone_mark() {
  const DWORD code = access_.remove(target_ + L":Zone.Identifier");
  if (code != ERROR_SUCCESS && code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND &&
      code != ERROR_INVALID_NAME && code != ERROR_NOT_SUPPORTED && code != ERROR_INVALID_FUNCTION) {
    throw file_error(path_, code);
  }
}

void Replacement::commit() {
  const bool existed = attributes_ != INVALID_FILE_ATTRIBUTES;
  // The new file takes the replaced one's hidden and system attributes, whatever the replace below
  // keeps by itself, and a copy is never left read-only.
  const DWORD base = existed ? attributes_ : ::GetFileAttributesW(name_.c_str());
  const DWORD kept = base == INVALID_FILE_ATTRIBUTES ? 0 : base & kKeptAttributes;
  if (!::SetFileAttributesW(name_.c_str(), kept ? kept : FILE_ATTRIBUTE_NORMAL)) throw file_error(path_);
  if (!existed) {
    const DWORD code = access_.retried([&] {
      return access_.calls().move(name_, target_, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    });
    if (code != ERROR_SUCCESS) throw file_error(path_, code);
    done_ = true;
    return;
  }
  if (copy_) drop_zone_mark();
  const DWORD code = replace_in_place();
  if (code == ERROR_SUCCESS) {
    done_ = true;
    discard_backup();
    return;
  }
  if (access_.is_free(target_)) fill_free_name();
  if (!done_) throw file_error(path_, code);
}

// What ReplaceFileW, given a backup name, leaves on the disk when it fails, as documented; the code
// after the call relies on it:
// - 1175 ERROR_UNABLE_TO_REMOVE_REPLACED: both files under their own names, no backup.
// - 1176 ERROR_UNABLE_TO_MOVE_REPLACEMENT: the same. (Without a backup name the old file would be
//   gone and the new one still under its temporary name.)
// - 1177 ERROR_UNABLE_TO_MOVE_REPLACEMENT_2: the real name free, the old file under the backup name,
//   the new one under its temporary name (with the old one's streams and attributes).
// - any other code, a sharing violation among them: both under their own names, no backup.
// So the old bytes are always whole under the real name or the backup's, and the new ones under the
// temporary name. The failures that pass are tried again while the old file keeps the real name.
DWORD Replacement::replace_in_place() {
  return access_.retried([&] { return access_.calls().replace(target_, name_, backup_); },
                         [&] { return !access_.is_free(target_); });
}

// The real name is free after a failed replace (1177): the new file takes it, as the replace meant
// to; else the old one takes it back; else the backup keeps the old bytes for clean_up to put back.
// Not as documented, the old file may be gone altogether: then the new one, the only copy left, takes
// the backup's name, which clean_up puts back, where a temporary file is deleted.
void Replacement::fill_free_name() {
  FileCalls& calls = access_.calls();
  if (access_.retried([&] { return calls.move(name_, target_, MOVEFILE_WRITE_THROUGH); }) == ERROR_SUCCESS) {
    done_ = true;
    discard_backup();
    return;
  }
  if (access_.is_free(backup_)) {
    keep_ = true;
    access_.retried([&] { return calls.move(name_, backup_, MOVEFILE_WRITE_THROUGH); });
    return;
  }
  access_.retried([&] { return calls.move(backup_, target_, MOVEFILE_WRITE_THROUGH); });
}

// The new file has its place: a backup that can't go now (the old launcher mapped by a process that
// started meanwhile, an antivirus reading it) is left for the next run's clean_up.
void Replacement::discard_backup() {
  access_.remove(backup_);
}

void Replacement::clean_up(const std::string& path, FileAccess& access) {
  const std::size_t cut = path.find_last_of("\\/");
  const std::string folder = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
  const std::wstring name = win32::to_wide(path.substr(folder.size()));
  if (name.empty()) return;
  Leftovers leftovers = leftovers_of(path, folder, name);
  const std::wstring target = file_path(path);
  // A replace stopped between its two renames: the old content takes the name again.
  if (!leftovers.backups.empty() && access.is_free(target))
    put_back_newest(leftovers.backups, target, access);
  for (const auto* kind : {&leftovers.backups, &leftovers.temporaries}) {
    for (const auto& leftover : *kind) {
      // One another program still holds is left for a later run: nothing of it is needed now.
      const DWORD code = access.remove(file_path(leftover.path));
      if (code != ERROR_SUCCESS && code != ERROR_FILE_NOT_FOUND && code != ERROR_ACCESS_DENIED &&
          !passing(code)) {
        throw file_error(leftover.path, code);
      }
    }
  }
}

}  // namespace ludrimex::windows
