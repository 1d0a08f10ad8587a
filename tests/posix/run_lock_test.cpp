// The single-run lock: one holder at a time, per user folder, released with its holder.
#include <filesystem>

#include <gtest/gtest.h>

#include "patch/posix/run_lock.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scratch_dir.h"

namespace {

using ludrimex::posix::lock_single_run;
using ludrimex::posix::run_lock_path;
using test_support::ScopedEnv;
using test_support::ScratchDir;

TEST(RunLock, OneHolderAtATimeUntilItLetsGo) {
  ScratchDir runtime;
  const ScopedEnv env("XDG_RUNTIME_DIR", runtime.path().string());
  EXPECT_EQ(run_lock_path("Ludrimex"), runtime / "Ludrimex.lock");
  for (int round = 0; round < 2; ++round) {
    const auto held = lock_single_run("Ludrimex");
    ASSERT_TRUE(held);
    EXPECT_FALSE(lock_single_run("Ludrimex"));  // a second open of the file conflicts, even here
    EXPECT_TRUE(lock_single_run("Other"));
  }
}

// Without a runtime folder the lock lies in the user's cache folder, made when missing.
TEST(RunLock, EachHomeHasItsOwnWithoutARuntimeFolder) {
  ScratchDir first, second;
  const ScopedEnv runtime("XDG_RUNTIME_DIR", "relative/ignored");
  std::unique_ptr<ludrimex::RunLock> held;
  {
    const ScopedEnv home("HOME", first.path().string());
    held = lock_single_run("Ludrimex");
    EXPECT_TRUE(std::filesystem::exists(first / ".cache/Ludrimex.lock"));
  }
  const ScopedEnv home("HOME", second.path().string());
  EXPECT_TRUE(held && lock_single_run("Ludrimex"));
}

}  // namespace
