#pragma once
// Today's date in the user's short date form: strftime's %x in the LC_TIME locale of the environment,
// and dd/mm/yyyy when that locale is C or POSIX (whose %x, mm/dd/yy, no user would call theirs).
#include <ctime>
#include <string>

namespace ludrimex::stand_in {

std::string short_date(const std::tm& date);

}  // namespace ludrimex::stand_in
