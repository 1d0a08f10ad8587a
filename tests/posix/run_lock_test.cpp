// The single-run lock: one holder at a time, in the runtime folder or else in each home's own; and the
// lock a run holds in the HTML folder.
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "patch/posix/platform_system.h"
#include "tests/support/run_error.h"
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

// The HTML folder's lock: flock on the folder itself, so nothing is left in it; a second holder
// (another open of the folder, as another process's) is told it is held; a folder this process may
// not write is told apart before anything is written.
TEST(RunLock, TheFolderLockLeavesNothingBehindAndTellsHeldFromNotWritable) {
  test_support::ScratchDir folder;
  ludrimex::stand_in::PosixSystem system;
  {
    const auto held = system.lock_folder(folder.path().string());
    ASSERT_EQ(held.state, ludrimex::FolderLockState::kLocked);
    EXPECT_EQ(system.lock_folder(folder.path().string()).state, ludrimex::FolderLockState::kHeld);
  }
  EXPECT_EQ(system.lock_folder(folder.path().string()).state, ludrimex::FolderLockState::kLocked);
  EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
  EXPECT_EQ(test_support::run_error_of([&] { system.lock_folder(folder / "none"); }).first,
            runtime::ErrorNumber::kPathNotFound);

  // A folder of the system's, as a user who is not root (root's own run steps down first).
  const pid_t child = ::fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    constexpr uid_t kNobody = 65534;
    if (::getuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(2);
    const auto state = ludrimex::stand_in::PosixSystem().lock_folder("/usr").state;
    ::_exit(state == ludrimex::FolderLockState::kNotWritable ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
