#include <windows.h>

#include <array>

#include "patch/errors.h"
#include "patch/win32/platform_system.h"
#include "win32/text.h"

namespace ludrimex::windows {

// GetDateFormatEx in the user's short form.
std::string WindowsSystem::short_date() {
  std::array<wchar_t, 128> text{};
  const int n = ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, text.data(),
                                  static_cast<int>(text.size()), nullptr);
  if (n == 0) throw RunError(kInvalidArgument);
  return win32::to_utf8(std::wstring_view(text.data(), static_cast<std::size_t>(n - 1)));
}

// The log is ANSI text. A character the code page lacks becomes '?': the date is only shown again.
std::string WindowsSystem::to_log_text(const std::string& text) {
  return win32::to_ansi_or_question_marks(text);
}

std::string WindowsSystem::from_log_text(const std::string& bytes) {
  return win32::to_utf8(win32::wide_from_ansi(bytes));
}

}  // namespace ludrimex::windows
