#include "patch/posix/posix_system.h"

#include <limits.h>
#include <strings.h>

#include <system_error>

#include "patch/errors.h"
#include "patch/posix/posix_files.h"
#include "patch/posix/posix_shell_link.h"
#include "patch/posix/proc_snapshot.h"
#include "patch/posix/run_lock.h"
#include "patch/posix/short_date.h"
#include "posix/folders.h"
#include "shell_link/text_encoding.h"

namespace ludrimex::posix {
namespace {

constexpr std::uint32_t kSnapProcess = 0x2;  // TH32CS_SNAPPROCESS

// The toolkit's entry in its two forms (the libraries take text in the platform's code page: UTF-8).
using CreateShellLink4 = std::int32_t (*)(const char*, const char*, const char*, const char*);
using CreateShellLink6 = std::int32_t (*)(const char*, const char*, const char*, const char*, std::int32_t,
                                          const char*);

std::string running_program_folder() {
  try {
    return ::posix::executable_folder();
  } catch (const std::system_error&) {
    throw RunError(kPathFileAccessError, "/proc/self/exe");
  }
}

}  // namespace

PosixSystem::PosixSystem() : app_path_(running_program_folder()), libraries_(app_path_) {}

// Only the folder the installer asks for has a stand-in; WScript.Shell answers "" for names it lacks.
std::string PosixSystem::special_folder(const std::string& name) {
  return ::strcasecmp(name.c_str(), "Programs") == 0 ? ::posix::programs_folder() : std::string();
}

std::string PosixSystem::dir(const std::string& path, int attributes) {
  return posix::dir(path, attributes);
}

std::unique_ptr<RunLock> PosixSystem::lock_single_run(const std::string& name) {
  return posix::lock_single_run(name);
}

std::unique_ptr<ProcessSnapshot> PosixSystem::create_process_snapshot(std::uint32_t flags,
                                                                      std::uint32_t /*process_id*/) {
  return std::make_unique<ProcSnapshot>((flags & kSnapProcess) ? ::posix::read_process_list()
                                                               : std::vector<::posix::ProcessInfo>{});
}

std::unique_ptr<ShellLink> PosixSystem::create_shell_link() {
  return std::make_unique<PosixShellLink>();
}

void PosixSystem::bind_toolkit(const std::string& library) {
  libraries_.bind(library, "fCreateShellLink");
}

// The toolkit libraries take UTF-8 paths: any valid text without a NUL that the file system can hold.
bool PosixSystem::toolkit_accepts(const std::string& text) {
  const auto units = shell_link::utf16le_from_utf8(text);
  return text.size() < PATH_MAX && text.find('\0') == std::string::npos &&
         shell_link::utf8_from_utf16le(units) == text;
}

std::int32_t PosixSystem::create_shell_link_4(const std::string& library, const std::string& gruppo,
                                              const std::string& titolo, const std::string& percorso,
                                              const std::string& argomenti) {
  const auto entry = reinterpret_cast<CreateShellLink4>(libraries_.bind(library, "fCreateShellLink"));
  return entry(gruppo.c_str(), titolo.c_str(), percorso.c_str(), argomenti.c_str());
}

std::int32_t PosixSystem::create_shell_link_6(const std::string& library, const std::string& gruppo,
                                              const std::string& titolo, const std::string& percorso,
                                              const std::string& argomenti, std::int32_t privato,
                                              const std::string& genitore) {
  const auto entry = reinterpret_cast<CreateShellLink6>(libraries_.bind(library, "fCreateShellLink"));
  return entry(gruppo.c_str(), titolo.c_str(), percorso.c_str(), argomenti.c_str(), privato,
               genitore.c_str());
}

FileKind PosixSystem::file_kind(const std::string& path) {
  return posix::file_kind(path);
}
bool PosixSystem::is_absolute_path(const std::string& path) {
  return ::posix::to_posix_path(path).starts_with('/');
}

std::string PosixSystem::read_file(const std::string& path) {
  return posix::read_file(path);
}
void PosixSystem::write_file(const std::string& path, const std::string& bytes) {
  posix::write_file(path, bytes);
}
void PosixSystem::delete_file(const std::string& path) {
  posix::delete_file(path);
}
void PosixSystem::copy_file(const std::string& from, const std::string& to) {
  posix::copy_file(from, to);
}

std::string PosixSystem::short_date() {
  return posix::short_date();
}

std::string PosixSystem::app_path() {
  return app_path_;
}

int PosixSystem::message_box(const std::string& text, const std::string& title, int style) {
  return message_box_.show(text, title, style);
}

void PosixSystem::do_events() {
  // Asking the display for pending events costs a system call, and the log reader asks after every
  // line: twenty times the line's own work. Calls within 5 ms of the last processing are let go; no
  // user can tell the difference.
  const auto now = std::chrono::steady_clock::now();
  if (now < events_due_) return;
  events_due_ = now + std::chrono::milliseconds(5);
  ::posix::process_pending_events();
}

std::uintptr_t PosixSystem::do_load_library(const std::string& name) {
  return libraries_.load(name);
}

void PosixSystem::do_free_library(std::uintptr_t handle) {
  libraries_.free(handle);
}

}  // namespace ludrimex::posix

namespace ludrimex {
std::unique_ptr<System> make_platform_system() {
  return std::make_unique<posix::PosixSystem>();
}
}  // namespace ludrimex
