#include <windows.h>  // first: the headers below need it

#include <shellapi.h>

#include <optional>
#include <stdexcept>

#include "patch/errors.h"
#include "patch/win32/platform_system.h"
#include "win32/program_folder.h"
#include "win32/scoped.h"
#include "win32/text.h"

namespace ludrimex::windows {
namespace {

// Whether `token` counts the built-in Administrators among its groups, enabled.
bool is_administrator(HANDLE token) {
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof sid;
  if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size)) return false;
  // CheckTokenMembership takes an impersonation token; the process's own is a primary one.
  HANDLE duplicate = nullptr;
  if (!::DuplicateToken(token, SecurityIdentification, &duplicate)) return false;
  const win32::ObjectHandle owned(duplicate);
  BOOL member = FALSE;
  return ::CheckTokenMembership(duplicate, sid, &member) && member;
}

}  // namespace

// UAC gives an administrator a filtered token, with its full one linked: asked, the same user runs in
// full. With UAC off, or for the built-in Administrator, the token is not split: full rights or none.
Elevation WindowsSystem::elevation() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &token))
    return Elevation::kNone;
  const win32::ObjectHandle owned(token);
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD size = 0;
  if (!::GetTokenInformation(token, TokenElevationType, &type, sizeof type, &size)) return Elevation::kNone;
  switch (type) {
    case TokenElevationTypeLimited:
      return Elevation::kAvailable;
    case TokenElevationTypeFull:
      return Elevation::kFull;
    default:
      return is_administrator(token) ? Elevation::kFull : Elevation::kNone;
  }
}

// This program again through the shell's "runas": the consent prompt, then the same user's full token,
// so the same Start menu and folders. Waited for without a window of ours.
std::optional<int> WindowsSystem::run_elevated() {
  std::wstring program, folder;
  try {
    program = win32::program_file();
    folder = win32::program_folder();
  } catch (const std::runtime_error&) {
    throw RunError(kPathFileAccessError);
  }
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
  info.lpVerb = L"runas";
  info.lpFile = program.c_str();
  info.lpDirectory = folder.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!::ShellExecuteExW(&info)) {
    if (::GetLastError() == ERROR_CANCELLED) return std::nullopt;  // the user said no
    throw RunError(kPermissionDenied, win32::to_utf8(program));
  }
  const win32::ObjectHandle process(info.hProcess);
  DWORD status = 0;
  if (!process || ::WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
      !::GetExitCodeProcess(process.get(), &status)) {
    throw RunError(kPathFileAccessError, win32::to_utf8(program));
  }
  return static_cast<int>(status);
}

}  // namespace ludrimex::windows
