#pragma once
// The file operations of PosixSystem, on Linux paths made from Windows-style ones. Each refusal of the
// system becomes the RunError the Windows runtime would raise, naming the file concerned.
#include <string>

#include "patch/errors.h"

namespace ludrimex::stand_in {

// The RunError the Windows runtime would raise for the system error `error` on `path`.
RunError error_for(int error, const std::string& path);

}  // namespace ludrimex::stand_in
