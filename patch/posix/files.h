#pragma once
// The file operations of PosixSystem, on Linux paths made from Windows-style ones. Each refusal of the
// system becomes the RunError the Windows runtime would raise, naming the file concerned.
#include <string>

#include "patch/errors.h"
#include "posix/file_io.h"

namespace ludrimex::stand_in {

// The RunError the Windows runtime would raise for the system error `error` on `path`.
RunError error_for(int error, const std::string& path);

// Runs `step` of the posix helpers; what they meet is reported as the Windows runtime would.
template <class Step>
auto reporting(const Step& step) {
  try {
    return step();
  } catch (const ::posix::PathError& error) {
    throw error_for(error.code().value(), error.path());
  }
}

}  // namespace ludrimex::stand_in
