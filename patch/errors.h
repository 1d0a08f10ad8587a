#pragma once
// How a run of the patch installer stops, in the installer's own names: a normal end (ProgramEnd, with
// its exit status) or an untrapped error (RunError).
#include "runtime/run_error.h"

namespace ludrimex {

// Exit statuses of Ludrimex.
enum ExitStatus : int { kInstalled = 0, kRefused = 1, kFailed = 2 };

using runtime::ErrorNumber;
using runtime::ProgramEnd;
using runtime::RunError;
using enum runtime::ErrorNumber;

}  // namespace ludrimex
