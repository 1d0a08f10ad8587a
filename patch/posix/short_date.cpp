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

// The stand-in's code page is UTF-8, the system's own: text goes into the log as it is.
std::string PosixSystem::to_log_text(const std::string& text) {
  return text;
}

// The log's fixed columns count bytes here: a character cut at the column's end is left out.
std::string PosixSystem::from_log_text(const std::string& bytes) {
  std::size_t end = bytes.size();
  std::size_t start = end;
  while (start > 0 && (static_cast<unsigned char>(bytes[start - 1]) & 0xC0) == 0x80) --start;
  if (start > 0) {
    const auto lead = static_cast<unsigned char>(bytes[start - 1]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (length > 1 && end - (start - 1) < length) end = start - 1;
  }
  return bytes.substr(0, end);
}

}  // namespace ludrimex::stand_in
