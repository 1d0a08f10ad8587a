#pragma once
// The single-run lock on Linux: flock on a file of the user's own, which the kernel releases when the
// holding process ends, however it ends.
#include <memory>
#include <string>

#include "patch/system.h"

namespace ludrimex::posix {

// The lock file for `name`: in $XDG_RUNTIME_DIR when it is set and absolute, else in $HOME/.cache.
std::string run_lock_path(const std::string& name);

// Takes the lock without waiting: nullptr when another process holds it. Throws RunError naming the
// lock file when it can't be opened.
std::unique_ptr<RunLock> lock_single_run(const std::string& name);

}  // namespace ludrimex::posix
