#include "patch/posix/platform_system.h"

#include <strings.h>

#include <system_error>

#include "patch/errors.h"
#include "posix/folders.h"

namespace ludrimex::stand_in {
namespace {

std::string running_program_folder() {
  try {
    return ::posix::executable_folder();
  } catch (const std::system_error&) {
    throw RunError(kPathFileAccessError, "/proc/self/exe");
  }
}

}  // namespace

PosixSystem::PosixSystem()
    : app_path_(running_program_folder()), delivery_(app_path_), libraries_(app_path_, &delivery_) {}

// Only the folder the installer asks for has a stand-in; WScript.Shell answers "" for names it lacks.
std::string PosixSystem::special_folder(const std::string& name) {
  return ::strcasecmp(name.c_str(), "Programs") == 0 ? ::posix::programs_folder() : std::string();
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

}  // namespace ludrimex::stand_in

namespace ludrimex {
std::unique_ptr<System> make_platform_system() {
  return std::make_unique<stand_in::PosixSystem>();
}
}  // namespace ludrimex
