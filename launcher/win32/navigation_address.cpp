#include "launcher/win32/navigation_address.h"

#include <windows.h>  // first: the headers below need it

#include <shlwapi.h>
#include <wininet.h>

#include <cwctype>

#include "launcher/run_error.h"
#include "win32/text.h"

namespace sorvanta::windows {

namespace {

bool separator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

bool absolute_path(const std::wstring& address) {
  const bool drive =
      address.size() >= 3 && std::iswalpha(address[0]) && address[1] == L':' && separator(address[2]);
  return drive || (address.size() >= 3 && separator(address[0]) && separator(address[1]));
}

// Backslashes only, one between two names; the two that open a UNC path stay.
std::wstring windows_path(const std::wstring& address) {
  std::wstring path;
  for (const wchar_t c : address) {
    if (!separator(c)) {
      path += c;
    } else if (path.size() < 2 || path.back() != L'\\') {
      path += L'\\';
    }
  }
  return path;
}

}  // namespace

std::wstring navigation_address(const std::string& address) {
  const std::wstring wide = win32::to_wide(address);
  if (!absolute_path(wide)) return wide;
  const std::wstring path = windows_path(wide);
  std::wstring url(INTERNET_MAX_URL_LENGTH, L'\0');
  DWORD size = static_cast<DWORD>(url.size());
  HRESULT hr = ::UrlCreateFromPathW(path.c_str(), url.data(), &size, 0);
  if (hr == E_POINTER) {
    url.resize(size + 1);
    size = static_cast<DWORD>(url.size());
    hr = ::UrlCreateFromPathW(path.c_str(), url.data(), &size, 0);
  }
  if (FAILED(hr)) throw RunError(runtime::automation_error(hr));
  url.resize(size);
  return url;
}

}  // namespace sorvanta::windows
