#pragma once
// Everything Ludrimex asks of the operating system, in the operating system's own terms.
// The installer's logic (Form1, Module1) talks to nothing else; each platform implements it once
// (posix/, win32/) and the tests fake it.
//
// Strings are UTF-8 on both sides of this interface; implementations convert at their boundary.
// Paths arrive as the Windows program builds them (joined with '\'); a Linux implementation maps
// every '\' to '/' before touching the disk.
// Operations that fail in a way the runtime would report as an error throw RunError (errors.h).
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace ludrimex {

// HRESULT-like status of a link-object operation: negative is a failure.
using Status = std::int32_t;
inline constexpr Status kOk = 0;
inline constexpr Status kFail = static_cast<Status>(0x80004005);  // E_FAIL
inline bool failed(Status s) {
  return s < 0;
}

// Message box styles the installer uses.
inline constexpr int kMbOk = 0;
inline constexpr int kMbIconError = 16;
inline constexpr int kMbIconInformation = 64;

// Directory-search attributes.
inline constexpr int kAttrNormal = 0;
inline constexpr int kAttrDirectory = 16;

// What a path names, whatever its attributes (hidden, system, read-only).
enum class FileKind { kMissing, kRegular, kFolder, kOther };  // kOther: FIFO, device, socket

// The ANSI process entry of the Tool Help functions, laid out as the platform's own: nine fields and
// a 260-byte name. The heap identifier is pointer-sized, so the record is 296 bytes on a 32-bit
// system and 304 on a 64-bit one.
struct ProcessEntry {
  std::uint32_t size = 0;
  std::uint32_t usage = 0;
  std::uint32_t process_id = 0;
  std::uintptr_t default_heap_id = 0;
  std::uint32_t module_id = 0;
  std::uint32_t threads = 0;
  std::uint32_t parent_process_id = 0;
  std::int32_t priority_class_base = 0;
  std::uint32_t flags = 0;
  std::array<char, 260> exe_file{};  // NUL-terminated when it fits, as the system fills it
};
static_assert(sizeof(ProcessEntry) == (sizeof(void*) == 4 ? 296 : 304));
static_assert(offsetof(ProcessEntry, exe_file) == (sizeof(void*) == 4 ? 36 : 44));

inline constexpr std::uint32_t kSnapProcess = 2;  // TH32CS_SNAPPROCESS
inline constexpr std::uint32_t kSnapAll = 15;     // TH32CS_SNAPALL

// What an error about the process list names: it is no file.
inline constexpr const char* kProcessListName = "elenco dei processi";

// A process snapshot; destroying it closes its handle.
class ProcessSnapshot {
 public:
  virtual ~ProcessSnapshot() = default;
  // Fill `entry` with the first / next process; false at the end of the list. A walk the system
  // can't finish throws RunError: a list read half way is no proof that the launcher is not running.
  virtual bool first(ProcessEntry& entry) = 0;
  virtual bool next(ProcessEntry& entry) = 0;
};

inline constexpr std::uint32_t kStgmRead = 0;         // STGM_READ, the mode a link is loaded in
inline constexpr std::uint32_t kSlgpUncPriority = 2;  // SLGP_UNCPRIORITY: a network target as UNC path

// One shell link object with its file-loading side (IShellLinkA + IPersistFile).
// Destroying it releases every reference. Each text query writes the value and a terminating NUL at
// the start of `buffer` (at most buffer.size() bytes including the NUL, cut on a character
// boundary) and leaves the rest of the buffer untouched. Buffers may be of any size: a reader asks
// again with a larger one when a value filled the first, so a value is never cut short of the buffer.
class ShellLink {
 public:
  virtual ~ShellLink() = default;
  virtual Status load(const std::string& path, std::uint32_t mode) = 0;
  virtual Status get_path(std::span<char> buffer, std::uint32_t flags) = 0;
  virtual Status get_working_directory(std::span<char> buffer) = 0;
  virtual Status get_arguments(std::span<char> buffer) = 0;
  virtual Status get_description(std::span<char> buffer) = 0;
  virtual Status get_hotkey(std::uint16_t& hotkey) = 0;
  virtual Status get_icon_location(std::span<char> buffer, std::int32_t& index) = 0;
  virtual Status get_id_list() = 0;
  virtual Status get_show_cmd(std::int32_t& show_cmd) = 0;
};

// Writes `text` and a NUL at the start of `buffer` as the shell does: at most buffer.size() - 1 bytes
// of text, cut before a partial UTF-8 character; the rest of the buffer stays as it was. An empty
// buffer is left alone.
inline void write_link_text(std::span<char> buffer, std::string_view text) {
  if (buffer.empty()) return;
  std::size_t length = std::min(text.size(), buffer.size() - 1);
  if (length < text.size()) {
    // Back to the start of the character the cut falls in.
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  }
  std::copy_n(text.begin(), length, buffer.begin());
  buffer[length] = '\0';
}

class System;

// A file of the installer's own delivery as System::hold_delivered_file holds it.
struct DeliveredFile {
  std::string path;   // as a message names it
  std::string bytes;  // every byte, as held
};

// Held by one run at a time; destroying it (or the process ending, however) releases it.
class RunLock {
 public:
  virtual ~RunLock() = default;
};

// What lock_folder found: the folder locked for this run, locked by another run, or not to be
// written by this process at all.
enum class FolderLockState { kLocked, kHeld, kNotWritable };
struct FolderLock {
  FolderLockState state = FolderLockState::kLocked;
  std::unique_ptr<RunLock> lock;  // while state is kLocked
};

// What this process may become to write where its user alone may not.
enum class Elevation {
  kNone,       // nothing more: a standard user, or a system without such rights
  kAvailable,  // an administrator whose rights are filtered: asked, they run in full as the same user
  kFull,       // an administrator's full rights already
};

// A loaded library (LoadLibraryA); destroying it frees it again (FreeLibrary).
class Library {
 public:
  Library() = default;
  Library(System& system, std::uintptr_t handle) : system_(&system), handle_(handle) {}
  Library(Library&& other) noexcept
      : system_(std::exchange(other.system_, nullptr)), handle_(std::exchange(other.handle_, 0)) {}
  Library& operator=(Library&& other) noexcept;
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  ~Library() { reset(); }

  explicit operator bool() const { return handle_ != 0; }
  void reset();

 private:
  System* system_ = nullptr;
  std::uintptr_t handle_ = 0;
};

class System {
 public:
  virtual ~System() = default;

  // WScript.Shell's SpecialFolders(name), e.g. "Programs": the folder without a trailing separator.
  virtual std::string special_folder(const std::string& name) = 0;

  // Dir(path, attributes): the bare name of the first match, or "" when nothing matches.
  // Throws RunError for a name the file system rejects or a drive that is not there.
  virtual std::string dir(const std::string& path, int attributes) = 0;

  // The lock `name` that one run on this machine holds at a time (Windows: the mutex "Global\NAME",
  // for every session; Linux: flock on a per-user file). nullptr when another process holds it. Throws
  // RunError (naming the lock) when it can't be created at all. Never waits.
  virtual std::unique_ptr<RunLock> lock_single_run(const std::string& name) = 0;

  // The lock one run holds in `folder` itself, for every session and every machine that shares the
  // folder (Windows: a file of its own opened with no sharing and deleted on close; Linux: flock on
  // the folder). Never waits. kNotWritable when this process may not create files there. Throws
  // RunError naming `folder` when it is missing or the system refuses otherwise.
  virtual FolderLock lock_folder(const std::string& folder) = 0;

  // Which rights this process could still be given; and this very program run again with an
  // administrator's full rights, as the same user, waited for: its exit status, or nothing when the
  // user declined. Throws RunError when it can't be started.
  virtual Elevation elevation() = 0;
  virtual std::optional<int> run_elevated() = 0;

  // CreateToolhelp32Snapshot(flags, process_id); nullptr when the snapshot can't be taken.
  virtual std::unique_ptr<ProcessSnapshot> create_process_snapshot(std::uint32_t flags,
                                                                   std::uint32_t process_id) = 0;

  // CoCreateInstance(CLSID_ShellLink) and its IPersistFile; throws RunError when either fails.
  virtual std::unique_ptr<ShellLink> create_link_object() = 0;

  // Opens `name`, a file the installer ships beside itself ("Sorvanta.exe", "STKIT432.DLL": on Linux
  // the library is STKIT432.so, as for load_library), and holds it as long as this System lives: the
  // bytes returned are what every later copy_file from it and every load of it (load_library,
  // bind_toolkit, create_shell_link) take. Windows keeps it open shared for reading only (nobody
  // writes, renames or deletes it) and its folder and the ones above shared for all but deleting
  // (nobody renames them); Linux keeps the bytes in a sealed memory file and copies and loads that.
  // nullopt when the folder has no such file; no load then takes one that comes there later. Throws
  // RunError naming the file when it is there but can't be held (70 opened for writing by another
  // program, 75 no regular file).
  virtual std::optional<DeliveredFile> hold_delivered_file(const std::string& name) = 0;

  // LoadLibraryA(name), released by the returned object. An empty Library when it can't be loaded.
  // Trusted folders only, for loading and binding alike: STKIT432 (the library shipped beside the
  // installer) by full path from the installer's own folder, else from the system folder; every other
  // library from the system folder only (Windows: LOAD_LIBRARY_SEARCH_SYSTEM32; Linux: the dynamic
  // loader's own search), never from the installer's or the current folder.
  Library load_library(const std::string& name) { return Library(*this, do_load_library(name)); }

  // Binds fCreateShellLink of `library` now, as the calls below do at their first call, and keeps it
  // bound. Throws RunError naming `library`: 53 not found, 48 found but not loadable, 453 no entry.
  virtual void bind_toolkit(const std::string& library) = 0;

  // True when `text` converts to the code page the toolkit libraries take without any substitution
  // (Windows: the ANSI code page, no best-fit; Linux: valid UTF-8) and fits their limits (Windows:
  // shorter than MAX_PATH bytes; Linux: shorter than PATH_MAX bytes), with no NUL inside.
  virtual bool toolkit_accepts(const std::string& text) = 0;

  // fCreateShellLink of the toolkit library `library` (a file name such as "VB5STKIT.DLL"), in the
  // form that library has (toolkit/entry.h), bound at its first call and kept loaded until the program
  // ends. Throws RunError when the library or its entry can't be bound.
  virtual std::int32_t create_shell_link(const std::string& library, const std::string& gruppo,
                                         const std::string& titolo, const std::string& percorso,
                                         const std::string& argomenti) = 0;
  virtual std::int32_t create_shell_link(const std::string& library, const std::string& gruppo,
                                         const std::string& titolo, const std::string& percorso,
                                         const std::string& argomenti, std::int32_t privato,
                                         const std::string& genitore) = 0;

  // What `path` names; hidden and system files are files like any other, and a path whose folder is
  // missing is kMissing. Never opens it (no wait on a FIFO or device). Throws RunError only when the
  // system can't tell (e.g. 52 bad name, 70 denied).
  virtual FileKind file_kind(const std::string& path) = 0;
  // Whether `path` names the same place whatever the current folder and drive: Windows "X:\..." or
  // "\\server\share\..." (not "\x", "X:x", "x"); Linux a path starting with '/' once '\' is '/'.
  virtual bool is_absolute_path(const std::string& path) = 0;

  // Files. Each throws RunError (53, 70, 75, 76, ...) naming the file when the system refuses, and a
  // file that is not a regular one (folder, FIFO, device) is refused at once with 75, never waited on.
  virtual std::string read_file(const std::string& path) = 0;  // every byte
  // Replaces `path` with `bytes` in one step (or creates it): whatever fails, or whenever the process
  // dies, `path` holds either its old bytes (or is still absent) or the new ones. A file that may not be
  // written (read-only, no permission, immutable) is refused with 70 and left as it is; a replaced file
  // keeps its attributes (hidden, system; Linux: permission bits).
  virtual void write_file(const std::string& path, const std::string& bytes) = 0;
  virtual void delete_file(const std::string& path) = 0;
  // Replaces `to` in one step, as write_file does (a replaced `to` keeps its own attributes and bits).
  virtual void copy_file(const std::string& from, const std::string& to) = 0;
  // Puts right what a replace of `path` (write_file, copy_file) left behind when its process was
  // stopped half way: if `path` is missing and this system's backup of it is there, the backup takes
  // its name again; then every temporary file this system makes beside `path` for a replace (and its
  // backups) is deleted. Nothing else is touched; a path without leftovers is left as it is, and so
  // is a missing folder. Throws RunError naming the file it could not delete or put back.
  virtual void clean_up_replace(const std::string& path) = 0;

  // Today's date in the user's short date form, no time part.
  virtual std::string short_date() = 0;
  // Text as the patch log holds it, in the system's ANSI code page (a character it lacks becomes
  // '?'), and back: the log is read and written byte for byte.
  virtual std::string to_log_text(const std::string& text) = 0;
  virtual std::string from_log_text(const std::string& bytes) = 0;
  // The folder of the running program, without a trailing separator except at a drive's root.
  virtual std::string app_path() = 0;
  // A modal message box; returns the button pressed.
  virtual int message_box(const std::string& text, const std::string& title, int style) = 0;
  // Let the window system process the program's pending messages.
  virtual void do_events() = 0;

 protected:
  friend class Library;
  // LoadLibraryA / FreeLibrary; a handle of 0 means the library can't be loaded.
  virtual std::uintptr_t do_load_library(const std::string& name) = 0;
  virtual void do_free_library(std::uintptr_t handle) = 0;
};

inline void Library::reset() {
  if (handle_ != 0) system_->do_free_library(std::exchange(handle_, 0));
}

inline Library& Library::operator=(Library&& other) noexcept {
  if (this != &other) {
    reset();
    system_ = std::exchange(other.system_, nullptr);
    handle_ = std::exchange(other.handle_, 0);
  }
  return *this;
}

}  // namespace ludrimex

namespace ludrimex {
// The running platform's System (posix/ or win32/).
std::unique_ptr<System> make_platform_system();
}  // namespace ludrimex
