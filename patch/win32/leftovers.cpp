#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "patch/errors.h"
#include "patch/win32/platform_system.h"
#include "win32/scoped.h"
#include "win32/text.h"

namespace ludrimex::windows {
namespace {

constexpr std::wstring_view kMark = L".~";  // a replace's new content lies under NAME.~PID-N

// `path` in the "\\?\" form, which the file functions never cut at MAX_PATH.
std::wstring extended(const std::wstring& path) {
  if (path.starts_with(L"\\\\?\\")) return path;
  std::wstring full(::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr), L'\0');
  const DWORD n =
      full.empty() ? 0
                   : ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (n == 0 || n >= full.size()) return path;
  full.resize(n);
  return full.starts_with(L"\\\\") ? L"\\\\?\\UNC\\" + full.substr(2) : L"\\\\?\\" + full;
}

bool all_digits(std::wstring_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

// Whether `name` is one of the names a replace of `base` writes under: base.~PID-N, the base in any
// case as the file system matches it.
bool is_replacement_of(std::wstring_view name, std::wstring_view base) {
  if (name.size() <= base.size() ||
      ::CompareStringOrdinal(name.data(), static_cast<int>(base.size()), base.data(),
                             static_cast<int>(base.size()), TRUE) != CSTR_EQUAL) {
    return false;
  }
  const std::wstring_view rest = name.substr(base.size());
  if (!rest.starts_with(kMark)) return false;
  const std::wstring_view numbers = rest.substr(kMark.size());
  const auto dash = numbers.find(L'-');
  return dash != std::wstring_view::npos && all_digits(numbers.substr(0, dash)) &&
         all_digits(numbers.substr(dash + 1));
}

}  // namespace

// A replace that was stopped leaves only its NAME.~PID-N file: ReplaceFileW is given no backup.
void WindowsSystem::clean_up_replace(const std::string& path) {
  const std::wstring full = extended(win32::to_wide(path));
  const std::wstring folder = full.substr(0, full.rfind(L'\\') + 1);
  const std::wstring base = full.substr(folder.size());
  WIN32_FIND_DATAW entry;
  const win32::FindHandle search(::FindFirstFileW((full + std::wstring(kMark) + L"*").c_str(), &entry));
  if (!search) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return;
    throw RunError(kPathFileAccessError, path);
  }
  std::vector<std::wstring> leftovers;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && is_replacement_of(entry.cFileName, base))
      leftovers.emplace_back(entry.cFileName);
  } while (::FindNextFileW(search.get(), &entry));
  for (const std::wstring& name : leftovers) {
    if (::DeleteFileW((folder + name).c_str())) continue;
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND) continue;
    const bool denied = code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION;
    throw RunError(denied ? kPermissionDenied : kPathFileAccessError,
                   path + win32::to_utf8(std::wstring_view(name).substr(base.size())));
  }
}

}  // namespace ludrimex::windows
