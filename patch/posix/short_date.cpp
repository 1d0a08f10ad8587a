#include "patch/posix/short_date.h"

#include <locale.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <type_traits>

#include "patch/posix/platform_system.h"

namespace ludrimex::stand_in {
namespace {

struct LocaleFree {
  void operator()(locale_t locale) const { ::freelocale(locale); }
};
using LocaleHandle = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleFree>;

// The LC_TIME locale name the environment asks for, by the POSIX order of precedence.
std::string time_locale_name() {
  for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return value;
  }
  return "C";
}

bool is_c_locale(const std::string& name) {
  return name == "C" || name == "POSIX" || name.starts_with("C.") || name.starts_with("POSIX.");
}

std::string day_month_year(const std::tm& date) {
  char text[48];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d", date.tm_mday, date.tm_mon + 1, date.tm_year + 1900);
  return text;
}

}  // namespace

std::string short_date(const std::tm& date) {
  const std::string name = time_locale_name();
  if (is_c_locale(name)) return day_month_year(date);
  // A locale the system does not have is no choice of the user's: fall back as for C.
  const LocaleHandle locale(::newlocale(LC_TIME_MASK, name.c_str(), static_cast<locale_t>(0)));
  if (!locale) return day_month_year(date);
  char text[128];
  const std::size_t length = ::strftime_l(text, sizeof text, "%x", &date, locale.get());
  return length == 0 ? day_month_year(date) : std::string(text, length);
}

std::string PosixSystem::short_date() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return stand_in::short_date(local);
}

}  // namespace ludrimex::stand_in
