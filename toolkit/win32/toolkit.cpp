// Stand-in setup-toolkit library for Windows: fCreateShellLink makes a Start-menu shortcut with the
// shell's own link object. Built as STKIT432.DLL and VB5STKIT.DLL (four texts) and as VB6STKIT.DLL
// (four texts, the private flag and the parent folder).
#include <windows.h>  // first: the headers below need it

#include <knownfolders.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "win32/scoped.h"
#include "win32/text.h"

namespace {

constexpr std::wstring_view kProgramsMacro = L"$(Programs)";

std::optional<std::wstring> known_folder(const KNOWNFOLDERID& id) {
  PWSTR path = nullptr;
  const HRESULT hr = ::SHGetKnownFolderPath(id, 0, nullptr, &path);
  win32::TaskMem owned(path);
  if (FAILED(hr)) return std::nullopt;
  return std::wstring(path);
}

// The folder a program lies in: where it is started from.
std::wstring folder_of(const std::wstring& file) {
  const auto slash = file.find_last_of(L'\\');
  if (slash == std::wstring::npos) return {};
  if (slash == 2 && file[1] == L':') return file.substr(0, 3);  // a drive's root keeps its backslash
  return file.substr(0, slash);
}

// `base` followed by the relative folder `group`; "." and "" are `base` itself.
std::wstring join(const std::wstring& base, const std::wstring& group) {
  if (group.empty() || group == L".") return base;
  return base + L"\\" + group;
}

bool save_link(const std::wstring& link_file, const std::wstring& target, const std::wstring& arguments) {
  const win32::ComInit com;
  win32::ComPtr<IShellLinkW> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.put_void()))) {
    return false;
  }
  const auto file = link.as<IPersistFile>(IID_IPersistFile);
  return file && SUCCEEDED(link->SetPath(target.c_str())) &&
         SUCCEEDED(link->SetArguments(arguments.c_str())) &&
         SUCCEEDED(link->SetWorkingDirectory(folder_of(target).c_str())) &&
         SUCCEEDED(link->SetShowCmd(SW_SHOWNORMAL)) && SUCCEEDED(file->Save(link_file.c_str(), TRUE));
}

bool starts_with_programs_macro(const std::wstring& parent) {
  return parent.size() >= kProgramsMacro.size() &&
         ::CompareStringOrdinal(parent.c_str(), static_cast<int>(kProgramsMacro.size()),
                                kProgramsMacro.data(), static_cast<int>(kProgramsMacro.size()),
                                TRUE) == CSTR_EQUAL;
}

// Makes <Programs><rest of parent>\<group>\<title>.lnk for the current user; 1 on success, 0 on any
// failure (the folder must exist already). The all-users menu is not ours to write.
std::int32_t create_shell_link(const char* group, const char* title, const char* target,
                               const char* arguments, bool for_user_only, const char* parent) noexcept {
  if (!group || !title || !target || !arguments || !parent || !for_user_only) return 0;
  try {
    const std::wstring name = win32::wide_from_ansi(title);
    if (name.empty() || name.find_first_of(L"\\/") != std::wstring::npos) return 0;
    const std::wstring parent_folder = win32::wide_from_ansi(parent);
    if (!starts_with_programs_macro(parent_folder)) return 0;
    const auto programs = known_folder(FOLDERID_Programs);
    if (!programs) return 0;
    std::wstring rest = parent_folder.substr(kProgramsMacro.size());
    if (!rest.empty() && rest.front() == L'\\') rest.erase(0, 1);
    const std::wstring folder = join(join(*programs, rest), win32::wide_from_ansi(group));
    const std::wstring link_file = folder + L"\\" + name + L".lnk";
    return save_link(link_file, win32::wide_from_ansi(target), win32::wide_from_ansi(arguments)) ? 1 : 0;
  } catch (...) {
    return 0;  // nothing may cross the library's C boundary
  }
}

}  // namespace

extern "C" {

#if TOOLKIT_TAKES_FOLDER
std::int32_t WINAPI fCreateShellLink(char* gruppo, char* titolo, char* percorso, char* argomenti,
                                     std::int32_t privato, char* genitore) {
  return create_shell_link(gruppo, titolo, percorso, argomenti, privato != 0, genitore);
}
#else
std::int32_t WINAPI fCreateShellLink(char* gruppo, char* titolo, char* percorso, char* argomenti) {
  const char programs[] = "$(Programs)";
  return create_shell_link(gruppo, titolo, percorso, argomenti, true, programs);
}
#endif

}  // extern "C"
