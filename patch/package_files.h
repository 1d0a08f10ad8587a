#pragma once
// The files a package ships beside its Ludrimex, which that package's build pins by their SHA-256:
// a package's Ludrimex installs and loads only its own.
#include <optional>
#include <string>
#include <string_view>

#include "patch/system.h"

namespace ludrimex {

// 64 lower-case hexadecimal digits each, as the package signed them; both empty in a build without a
// package, which takes whatever lies beside it.
struct PackageDigests {
  std::string_view sorvanta;  // Sorvanta.exe
  std::string_view stkit432;  // the STKIT432 library
};

// This program's own, as its build was configured (generated from package_digests.cpp.in).
const PackageDigests& package_digests();

// Holds each file `digests` pins (System::hold_delivered_file) and checks it: the path of the first
// one that is not the package's, nothing when each is. A missing Sorvanta.exe is the error its copy
// would meet (53, naming it as the copy does); a missing STKIT432 stays missing for the run, and the
// system folder's is looked for instead, as without a package.
std::optional<std::string> foreign_package_file(System& system, const PackageDigests& digests);

}  // namespace ludrimex
