#pragma once
// Today's date as dd/mm/yyyy, the installer's date where the locale is C or POSIX.
#include <ctime>
#include <string>

namespace test_support {

inline std::string day_month_year_today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%d/%m/%Y", &local);
  return text;
}

}  // namespace test_support
