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

namespace detail {
// Code pages that hold every character: the conversion takes neither WC_NO_BEST_FIT_CHARS nor a
// used-default flag there (it fails without a word), and refuses only an unpaired surrogate.
inline bool holds_all_unicode(UINT code_page) {
  return code_page == CP_UTF8 || code_page == 54936;  // 54936: GB18030
}

// UTF-16 to the code page `code_page`, or nothing when some character has no exact form there: no
// best fit, no default character, no replacement character.
inline std::optional<std::string> to_code_page(UINT code_page, std::wstring_view wide) {
  if (wide.empty()) return std::string();
  const int n = checked_length(wide.size());
  const bool all_unicode = holds_all_unicode(code_page);
  const DWORD flags = all_unicode ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL lossy = FALSE;
  BOOL* const used_default = all_unicode ? nullptr : &lossy;
  const int count =
      ::WideCharToMultiByte(code_page, flags, wide.data(), n, nullptr, 0, nullptr, used_default);
  if (count == 0 || lossy) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(count), '\0');
  if (::WideCharToMultiByte(code_page, flags, wide.data(), n, bytes.data(), count, nullptr, nullptr) !=
      count) {
    return std::nullopt;
  }
  return bytes;
}
}  // namespace detail

// UTF-16 to the ANSI code page, or nothing when some character has no exact form there: a path
// with a substituted '?' would name another file. The code page is asked for by number: CP_ACP
// would not tell UTF-8 ("Beta: UTF-8" of Windows 10 and 11) from the others.
inline std::optional<std::string> to_ansi(std::wstring_view wide) {
  return detail::to_code_page(::GetACP(), wide);
}
inline std::optional<std::string> to_ansi(std::string_view utf8) {
  return to_ansi(to_wide(utf8));
}

// UTF-8 to the ANSI code page for text that is only shown again: a character without an exact form
// there becomes '?' (no best fit, which would show another letter).
inline std::string to_ansi_or_question_marks(std::string_view utf8) {
  const UINT code_page = ::GetACP();
  if (code_page == CP_UTF8) return std::string(utf8);
  const std::wstring wide = to_wide(utf8);
  if (wide.empty()) return {};
  const bool all_unicode = detail::holds_all_unicode(code_page);
  const DWORD flags = all_unicode ? 0 : WC_NO_BEST_FIT_CHARS;
  const char* const fallback = all_unicode ? nullptr : "?";
  const int n = detail::checked_length(wide.size());
  const int count = ::WideCharToMultiByte(code_page, flags, wide.data(), n, nullptr, 0, fallback, nullptr);
  std::string bytes(static_cast<std::size_t>(count), '\0');
  ::WideCharToMultiByte(code_page, flags, wide.data(), n, bytes.data(), count, fallback, nullptr);
  return bytes;
}

// ANSI code page to UTF-16.
inline std::wstring wide_from_ansi(std::string_view ansi) {
  return detail::to_wide(CP_ACP, ansi);
}

}  // namespace win32
