#pragma once
// A throw-away HOME for the test's own process, without XDG_DATA_HOME: the stand-in of the Start-menu
// Programs folder is then HOME/.local/share/applications, made here and empty.
#include <filesystem>
#include <optional>

#include "tests/support/scoped_env.h"
#include "tests/support/scratch_dir.h"

namespace test_support {

class ScratchHome {
 public:
  ScratchHome() { std::filesystem::create_directories(programs); }

  ScratchDir home;
  ScopedEnv home_env{"HOME", home.path().string()};
  ScopedEnv xdg_env{"XDG_DATA_HOME", std::nullopt};
  std::filesystem::path programs = home.path() / ".local/share/applications";
};

}  // namespace test_support
