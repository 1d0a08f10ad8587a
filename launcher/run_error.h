#pragma once
// How the launcher stops, in the launcher's own names: on purpose (ProgramEnd) or through an error
// nobody traps (RunError).
#include "runtime/run_error.h"

namespace sorvanta {

using runtime::ErrorNumber;
using runtime::ProgramEnd;
using runtime::RunError;
using enum runtime::ErrorNumber;

}  // namespace sorvanta
