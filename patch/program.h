#pragma once
// One whole run of Ludrimex on a given system: Form1's run, then the end it came to.
#include <string>

#include "patch/system.h"

namespace ludrimex {

// Runs Form1 and returns the exit status. An error nobody trapped is reported in one box titled
// "Ludrimex" ("Errore N: descrizione", then the file concerned on a second line).
int run_ludrimex(System& system);

}  // namespace ludrimex
