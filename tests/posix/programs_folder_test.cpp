// The user's menu folder standing in for the Start-menu Programs folder.
#include <gtest/gtest.h>

#include "patch/posix/platform_system.h"
#include "tests/support/scoped_env.h"

namespace {

using test_support::ScopedEnv;

std::string programs() {
  return ludrimex::stand_in::PosixSystem().special_folder("Programs");
}

TEST(ProgramsFolder, FromXdgDataHomeElseHome) {
  ScopedEnv home("HOME", "/home/anna");
  {
    ScopedEnv xdg("XDG_DATA_HOME", "/srv/data/");
    EXPECT_EQ(programs(), "/srv/data/applications");
  }
  for (const std::optional<std::string>& unusable :
       {std::optional<std::string>(), std::optional<std::string>(""),
        std::optional<std::string>("relative/data")}) {
    ScopedEnv xdg("XDG_DATA_HOME", unusable);
    EXPECT_EQ(programs(), "/home/anna/.local/share/applications") << unusable.value_or("(unset)");
  }
  ScopedEnv xdg("XDG_DATA_HOME", std::nullopt);
  ScopedEnv root_home("HOME", "/");
  EXPECT_EQ(programs(), "/.local/share/applications");
}

TEST(ProgramsFolder, WithoutHomeTheAccountsFolder) {
  ScopedEnv xdg("XDG_DATA_HOME", std::nullopt);
  ScopedEnv home("HOME", std::nullopt);
  const std::string folder = programs();
  EXPECT_TRUE(folder.ends_with("/.local/share/applications")) << folder;
  EXPECT_EQ(folder.front(), '/');
}

TEST(ProgramsFolder, OnlyProgramsHasAStandIn) {
  ScopedEnv home("HOME", "/home/anna");
  ScopedEnv xdg("XDG_DATA_HOME", std::nullopt);
  ludrimex::stand_in::PosixSystem system;
  EXPECT_EQ(system.special_folder("programs"), "/home/anna/.local/share/applications");
  EXPECT_EQ(system.special_folder("Desktop"), "");
  EXPECT_EQ(system.special_folder(""), "");
}

}  // namespace
