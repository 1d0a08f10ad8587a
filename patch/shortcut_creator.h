#pragma once
// The shortcut creator: a setup-toolkit library (STKIT432, VB5STKIT or VB6STKIT) found and asked to
// make a Start-menu shortcut.
#include <cstdint>
#include <string>
#include <vector>

#include "patch/system.h"

namespace ludrimex {

// Has toolkit library `libreria` (4 STKIT432, 5 VB5STKIT, 6 VB6STKIT; 0 probes for the last of them
// that loads) make the shortcut `titolo`.lnk in the Start-menu folder `gruppo` ("." the Programs
// folder itself), pointing at `percorso`. True when a toolkit was called and answered non-zero; never
// throws.
bool crea_collegamento(System& system, std::int32_t libreria, const std::string& gruppo,
                       const std::string& titolo, const std::string& percorso);

// Probes once for the library the shortcuts are to be made with and binds it now; its number, for
// crea_collegamento. Throws RunError naming the library that can't be bound (the shipped STKIT432 when
// none loads).
std::int32_t choose_toolkit(System& system);

// The file name of toolkit library `libreria` ("VB6STKIT.DLL"), and every text its fCreateShellLink
// is given for a shortcut besides those of the row: the arguments, and the parent folder of its form
// that takes one.
std::string toolkit_file_name(std::int32_t libreria);
std::vector<std::string> toolkit_fixed_texts(std::int32_t libreria);

}  // namespace ludrimex
