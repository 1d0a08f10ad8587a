// The short date: %x of the user's LC_TIME locale, dd/mm/yyyy for C and POSIX. Real locales are
// compiled into a scratch folder with localedef and found through LOCPATH.
#include <ctime>

#include <gtest/gtest.h>

#include "patch/posix/platform_system.h"
#include "patch/posix/short_date.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/today.h"

// glibc's newlocale keeps the list it builds from LOCPATH for good; only these tests set LOCPATH.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:__argz_add_sep\n";
}

namespace {

using ludrimex::stand_in::short_date;
using test_support::ScopedEnv;

std::tm sixth_of_december_2026() {
  std::tm date{};
  date.tm_year = 2026 - 1900;
  date.tm_mon = 11;
  date.tm_mday = 6;
  date.tm_wday = 0;
  return date;
}

TEST(ShortDate, CAndPosixGiveDayMonthYear) {
  ScopedEnv all("LC_ALL", std::nullopt);
  ScopedEnv time("LC_TIME", std::nullopt);
  for (const char* name : {"C", "POSIX", "C.UTF-8", "C.utf8", ""}) {
    ScopedEnv lang("LANG", std::string(name));
    EXPECT_EQ(short_date(sixth_of_december_2026()), "06/12/2026") << name;
  }
  ScopedEnv lang("LANG", std::nullopt);
  EXPECT_EQ(short_date(sixth_of_december_2026()), "06/12/2026");
  // A locale the system does not have counts as none chosen.
  ScopedEnv missing("LC_TIME", "xx_YY.UTF-8");
  EXPECT_EQ(short_date(sixth_of_december_2026()), "06/12/2026");
}

TEST(ShortDate, TodayFromTheSystem) {
  ScopedEnv all("LC_ALL", "C");
  const std::string before = test_support::day_month_year_today();
  const std::string date = ludrimex::stand_in::PosixSystem().short_date();
  const std::string after = test_support::day_month_year_today();
  EXPECT_TRUE(date == before || date == after) << date;
  EXPECT_EQ(date.size(), 10u);
}

class RealLocales : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = std::make_unique<test_support::ScratchDir>();
    for (const char* name : {"it_IT", "en_US", "de_DE"}) {
      const std::string command = std::string("localedef -i ") + name + " -f UTF-8 '" +
                                  (folder_->path() / name).string() + ".UTF-8' 2>/dev/null";
      ASSERT_EQ(std::system(command.c_str()), 0) << "localedef for " << name;
    }
  }
  static void TearDownTestSuite() { folder_.reset(); }
  static inline std::unique_ptr<test_support::ScratchDir> folder_;
  ScopedEnv locpath{"LOCPATH", folder_->path().string()};
};

TEST_F(RealLocales, TheUsersFormAndTheOrderOfTheVariables) {
  ScopedEnv all("LC_ALL", std::nullopt);
  ScopedEnv lang("LANG", "en_US.UTF-8");
  {
    ScopedEnv time("LC_TIME", std::nullopt);
    EXPECT_EQ(short_date(sixth_of_december_2026()), "12/06/2026");
  }
  ScopedEnv time("LC_TIME", "it_IT.UTF-8");
  EXPECT_EQ(short_date(sixth_of_december_2026()), "06/12/2026");
  ScopedEnv german("LC_ALL", "de_DE.UTF-8");
  EXPECT_EQ(short_date(sixth_of_december_2026()), "06.12.2026");
}

}  // namespace
