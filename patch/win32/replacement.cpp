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

// Attributes a replaced file keeps; read-only is refused before it comes to that.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// A file another program holds for a moment (an antivirus, the indexer) is tried again this many
// times in all, this far apart.
constexpr int kAttempts = 10;
constexpr DWORD kPauseMs = 100;

// Failures that leave both files under their own names and that pass once the other program lets
// go of a file.
bool passing(DWORD code) {
  return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION ||
         code == ERROR_UNABLE_TO_REMOVE_REPLACED || code == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
}

// `step` (ERROR_SUCCESS or a system error) again while it fails in a way that passes and `again`
// holds, kAttempts times at most; its last result.
template <class Step, class Again>
DWORD retried(Step step, Again again) {
  DWORD code = step();
  for (int attempt = 1; attempt < kAttempts && passing(code) && again(); ++attempt) {
    ::Sleep(kPauseMs);
    code = step();
  }
  return code;
}
template <class Step>
DWORD retried(Step step) {
  return retried(step, [] { return true; });
}

DWORD deleted(const std::wstring& file) {
  return retried([&] { return ::DeleteFileW(file.c_str()) ? ERROR_SUCCESS : ::GetLastError(); });
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

// Whether `path` (a file_path) is missing; throws RunError naming `shown` when the system can't tell.
bool missing(const std::wstring& path, const std::string& shown) {
  if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
  const DWORD code = ::GetLastError();
  if (code == ERROR_FILE_NOT_FOUND) return true;
  throw file_error(shown, code);
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
  std::vector<Leftover> temporaries;
  std::vector<Leftover> backups;
};

// Sorts the entry `found` beside the file `name` (of the folder `folder`) into `leftovers` when it is
// a replace's own, exactly NAME + mark + numbers; the name's case is the file system's business.
void sort_entry(const WIN32_FIND_DATAW& found, const std::wstring& name, const std::string& folder,
                Leftovers& leftovers) {
  const std::wstring_view entry = found.cFileName;
  if (entry.size() <= name.size() ||
      ::CompareStringOrdinal(entry.data(), static_cast<int>(name.size()), name.data(),
                             static_cast<int>(name.size()), TRUE) != CSTR_EQUAL) {
    return;
  }
  const std::wstring_view rest = entry.substr(name.size());
  const std::wstring backup_mark = win32::to_wide(kBackupMark),
                     temporary_mark = win32::to_wide(kTemporaryMark);
  std::vector<Leftover>* kind = nullptr;
  if (rest.starts_with(backup_mark) && is_numbers(rest.substr(backup_mark.size()))) {
    kind = &leftovers.backups;
  } else if (rest.starts_with(temporary_mark) && is_numbers(rest.substr(temporary_mark.size()))) {
    kind = &leftovers.temporaries;
  }
  if (kind) kind->push_back({folder + win32::to_utf8(entry), found.ftLastWriteTime});
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

}  // namespace

std::unique_ptr<FileMoves> system_file_moves() {
  return std::make_unique<SystemFileMoves>();
}

Replacement::Replacement(const std::string& path, FileMoves& moves)
    : path_(path), target_(file_path(path)), attributes_(writable_attributes(path)), moves_(moves) {
  // The first pair of free names of a few: another run's leftover must not stop this one.
  const std::string process = std::to_string(::GetCurrentProcessId());
  for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
    const std::string numbers = process + "-" + std::to_string(attempt);
    backup_path_ = path + std::string(kBackupMark) + numbers;
    backup_ = file_path(backup_path_);
    if (exists(backup_)) continue;
    name_ = file_path(path + std::string(kTemporaryMark) + numbers);
    file_.reset(
        ::CreateFileW(name_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_ && ::GetLastError() != ERROR_FILE_EXISTS) throw file_error(path);
  }
  if (!file_) throw RunError(kPathFileAccessError, path);
}

Replacement::~Replacement() {
  file_.reset();
  if (!done_ && !keep_) ::DeleteFileW(name_.c_str());
}

void Replacement::write(const std::string& bytes) {
  write_all(file_.get(), bytes, path_);
  finish_writing();
}

void Replacement::copy_from(const std::string& from) {
  // Read and written, not CopyFileW: that would carry the downloaded file's Zone.Identifier stream.
  const auto source = open(from, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  write_all(file_.get(), read_all(source.get(), from), path_);
  // What CopyFileW carried besides the data: the time of the last write and the attributes.
  FILE_BASIC_INFO info{};
  if (!::GetFileInformationByHandleEx(source.get(), FileBasicInfo, &info, sizeof info)) {
    throw file_error(from);
  }
  FILE_BASIC_INFO carried{};  // zero: left as it is
  carried.LastWriteTime = info.LastWriteTime;
  carried.FileAttributes = info.FileAttributes & kKeptAttributes;
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
  const DWORD code = deleted(target_ + L":Zone.Identifier");
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
    const DWORD code = retried(
        [&] { return moves_.move(name_, target_, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH); });
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
  if (!exists(target_)) fill_free_name();
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
  return retried([&] { return moves_.replace(target_, name_, backup_); }, [&] { return exists(target_); });
}

// The real name is free after a failed replace (1177): the new file takes it, as the replace meant
// to; else the old one takes it back; else the backup keeps the old bytes for clean_up to put back.
void Replacement::fill_free_name() {
  if (retried([&] { return moves_.move(name_, target_, MOVEFILE_WRITE_THROUGH); }) == ERROR_SUCCESS) {
    done_ = true;
    discard_backup();
    return;
  }
  if (!exists(backup_)) {
    keep_ = true;  // not as documented: the temporary file holds the only copy, and stays
    return;
  }
  retried([&] { return moves_.move(backup_, target_, MOVEFILE_WRITE_THROUGH); });
}

void Replacement::discard_backup() {
  const DWORD code = deleted(backup_);
  if (code != ERROR_SUCCESS && code != ERROR_FILE_NOT_FOUND) throw file_error(backup_path_, code);
}

void Replacement::clean_up(const std::string& path, FileMoves& moves) {
  const std::size_t cut = path.find_last_of("\\/");
  const std::string folder = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
  const std::wstring name = win32::to_wide(path.substr(folder.size()));
  if (name.empty()) return;
  Leftovers leftovers = leftovers_of(path, folder, name);
  auto& backups = leftovers.backups;
  const std::wstring target = file_path(path);
  if (!backups.empty() && missing(target, path)) {
    // The newest old copy takes the name again, without replacing a file that has come meanwhile.
    const auto newest = std::max_element(backups.begin(), backups.end(), [](const auto& a, const auto& b) {
      return ::CompareFileTime(&a.written, &b.written) < 0;
    });
    const DWORD code =
        retried([&] { return moves.move(file_path(newest->path), target, MOVEFILE_WRITE_THROUGH); });
    if (code != ERROR_SUCCESS) throw file_error(newest->path, code);
    backups.erase(newest);
  }
  for (const auto* kind : {&leftovers.temporaries, &backups}) {
    for (const auto& leftover : *kind) {
      const DWORD code = deleted(file_path(leftover.path));
      if (code != ERROR_SUCCESS && code != ERROR_FILE_NOT_FOUND) throw file_error(leftover.path, code);
    }
  }
}

}  // namespace ludrimex::windows
