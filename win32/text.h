#pragma once
// Text at the Win32 boundary: our strings are UTF-8, the system's wide (W) interfaces take UTF-16,
// and the setup-toolkit libraries take the ANSI code page.
#include <windows.h>

#include <climits>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace win32 {

namespace detail {
inline int checked_length(std::size_t n) {
  if (n > static_cast<std::size_t>(INT_MAX)) throw std::length_error("text too long for Win32");
  return static_cast<int>(n);
}

inline std::wstring to_wide(UINT code_page, std::string_view text) {
  if (text.empty()) return {};
  const int n = checked_length(text.size());
  const int count = ::MultiByteToWideChar(code_page, 0, text.data(), n, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(count), L'\0');
  ::MultiByteToWideChar(code_page, 0, text.data(), n, wide.data(), count);
  return wide;
}
}  // namespace detail

// UTF-8 to UTF-16; malformed sequences become U+FFFD.
inline std::wstring to_wide(std::string_view utf8) {
  return detail::to_wide(CP_UTF8, utf8);
}

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
inline std::string to_utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = detail::checked_length(wide.size());
  const int count = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(count), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, utf8.data(), count, nullptr, nullptr);
  return utf8;
}

// UTF-16 to the ANSI code page, or nothing when some character has no exact form there: a path
// with a substituted '?' would name another file.
inline std::optional<std::string> to_ansi(std::wstring_view wide) {
  if (wide.empty()) return std::string();
  const int n = detail::checked_length(wide.size());
  BOOL lossy = FALSE;
  const int count =
      ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), n, nullptr, 0, nullptr, &lossy);
  if (count == 0 || lossy) return std::nullopt;
  std::string ansi(static_cast<std::size_t>(count), '\0');
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), n, ansi.data(), count, nullptr, nullptr);
  return ansi;
}
inline std::optional<std::string> to_ansi(std::string_view utf8) {
  return to_ansi(to_wide(utf8));
}

// ANSI code page to UTF-16.
inline std::wstring wide_from_ansi(std::string_view ansi) {
  return detail::to_wide(CP_ACP, ansi);
}

}  // namespace win32
