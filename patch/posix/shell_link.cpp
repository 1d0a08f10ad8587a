#include "patch/posix/shell_link.h"

#include <cerrno>
#include <system_error>

#include "patch/posix/platform_system.h"
#include "posix/folders.h"

namespace ludrimex::stand_in {
namespace {

// The HRESULTs the shell gives for these failures: HRESULT_FROM_WIN32 of ERROR_FILE_NOT_FOUND,
// ERROR_PATH_NOT_FOUND and ERROR_ACCESS_DENIED, and E_INVALIDARG.
constexpr Status kHrFileNotFound = static_cast<Status>(0x80070002);
constexpr Status kHrPathNotFound = static_cast<Status>(0x80070003);
constexpr Status kHrAccessDenied = static_cast<Status>(0x80070005);
constexpr Status kHrInvalidArgument = static_cast<Status>(0x80070057);

Status status_of(const std::system_error& error) {
  switch (error.code().value()) {
    case ENOENT:
      return kHrFileNotFound;
    case ENOTDIR:
      return kHrPathNotFound;
    case EACCES:
    case EPERM:
      return kHrAccessDenied;
    default:
      return kFail;
  }
}

// `text` and a NUL at the start of `buffer`, as the shell writes a link's text; fails on an empty
// buffer.
Status copy_to_buffer(const std::string& text, std::span<char> buffer) {
  if (buffer.empty()) return kHrInvalidArgument;
  write_link_text(buffer, text);
  return kOk;
}

}  // namespace

Status PosixShellLink::load(const std::string& path, std::uint32_t /*mode: reading is all we do*/) {
  try {
    link_ = shell_link::load(::posix::to_posix_path(path));
    return kOk;
  } catch (const std::system_error& error) {
    return status_of(error);
  } catch (const shell_link::FormatError&) {
    return kFail;
  }
}

// The target as the shell gives it: the LinkInfo path, else the relative path; a link without either
// has an empty target, which is no failure.
Status PosixShellLink::get_path(std::span<char> buffer, std::uint32_t flags) {
  std::string path = link_.info.path((flags & kSlgpUncPriority) != 0);
  if (path.empty()) path = link_.relative_path;
  return copy_to_buffer(path, buffer);
}

Status PosixShellLink::get_working_directory(std::span<char> buffer) {
  return copy_to_buffer(link_.working_directory, buffer);
}

Status PosixShellLink::get_arguments(std::span<char> buffer) {
  return copy_to_buffer(link_.arguments, buffer);
}

Status PosixShellLink::get_description(std::span<char> buffer) {
  return copy_to_buffer(link_.name, buffer);
}

Status PosixShellLink::get_hotkey(std::uint16_t& hotkey) {
  hotkey = link_.hot_key;
  return kOk;
}

Status PosixShellLink::get_icon_location(std::span<char> buffer, std::int32_t& index) {
  const Status status = copy_to_buffer(link_.icon_location, buffer);
  if (!failed(status)) index = link_.icon_index;
  return status;
}

Status PosixShellLink::get_id_list() {
  return kOk;
}

Status PosixShellLink::get_show_cmd(std::int32_t& show_cmd) {
  show_cmd = static_cast<std::int32_t>(link_.show_command);
  return kOk;
}

std::unique_ptr<ShellLink> PosixSystem::create_link_object() {
  return std::make_unique<PosixShellLink>();
}

}  // namespace ludrimex::stand_in
