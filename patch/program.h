#pragma once
// One whole run of Ludrimex on a given system: Form1's run, then the end it came to.
#include <string>

#include "patch/package_files.h"
#include "patch/system.h"

namespace ludrimex {

// Runs Form1 and returns the exit status. An error nobody trapped is reported in one box titled
// "Ludrimex" ("Errore N: descrizione", then the file concerned on a second line). `package`: the files
// this Ludrimex's package pins (package_digests() in a program), none in a build without a package.
int run_ludrimex(System& system, const PackageDigests& package = {});

}  // namespace ludrimex
