// The single-run lock: one holder at a time, in the runtime folder or else in each home's own.
#include <filesystem>

#include <gtest/gtest.h>

#include "patch/posix/platform_system.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scratch_dir.h"

namespace {

std::unique_ptr<ludrimex::RunLock> lock_single_run(const std::string& name) {
  return ludrimex::stand_in::PosixSystem().lock_single_run(name);
}

TEST(RunLock, OneHolderAtATimePerRuntimeFolderOrHome) {
  test_support::ScratchDir runtime, first;
  std::unique_ptr<ludrimex::RunLock> held;
  {
    const test_support::ScopedEnv env("XDG_RUNTIME_DIR", runtime.path().string());
    held = lock_single_run("Ludrimex");
    EXPECT_TRUE(held && !lock_single_run("Ludrimex"));  // a second open of the file conflicts, even here
    EXPECT_TRUE(std::filesystem::exists(runtime / "Ludrimex.lock"));
  }
  const test_support::ScopedEnv relative("XDG_RUNTIME_DIR", "run");  // not absolute: ignored
  const test_support::ScopedEnv home("HOME", first.path().string());
  EXPECT_TRUE(lock_single_run("Ludrimex"));
  EXPECT_TRUE(std::filesystem::exists(first / ".cache/Ludrimex.lock"));
}

}  // namespace
