#pragma once
// One run at a time: a named mutex of the user's session.
#include <memory>
#include <string>

#include "patch/system.h"

namespace ludrimex::windows {

// The mutex "Local\NAME", taken without waiting and held until the returned lock goes; nullptr when
// another process holds it. One abandoned by a run that died counts as taken.
std::unique_ptr<RunLock> lock_single_run(const std::string& name);

}  // namespace ludrimex::windows
