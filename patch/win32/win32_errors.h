#pragma once
// Win32 failures as the runtime's error numbers (errors.h).
#include <windows.h>

#include <string>

#include "patch/errors.h"

namespace ludrimex::windows {

// The runtime error number a file operation failing with `code` (GetLastError) reports.
ErrorNumber run_error_number(DWORD code);

// Throws RunError for GetLastError() of the failed operation, naming `subject`.
[[noreturn]] void throw_last_error(const std::string& subject);

}  // namespace ludrimex::windows
