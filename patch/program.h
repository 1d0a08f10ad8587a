#pragma once
// One whole run of Ludrimex on a given system: Form1's run, then the end it came to.
#include <string>

#include "patch/system.h"

namespace ludrimex {

// Runs Form1 and returns the exit status. An error nobody trapped is reported in one box titled
// "Ludrimex" ("Errore N: descrizione", then the file concerned on a second line).
int run_ludrimex(System& system);

// The report of an error that ended the run, for when no System is at hand either.
std::string error_report_text(int number, const std::string& subject);

}  // namespace ludrimex
