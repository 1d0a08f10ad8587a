#pragma once
// The shortcut reader: a shortcut file's properties through the shell's link object.
#include <cstdint>
#include <string>

#include "patch/system.h"

namespace ludrimex {

// Reads a shortcut's properties; every text comes back in 255 characters (value, NUL, spaces).
// False when the path is empty, the file can't be loaded or any query fails.
bool leggi_collegamento(System& system, const std::string& collegamento, std::string& percorso,
                        std::string& cartella_lavoro, std::string& argomenti, std::string& icona,
                        std::int32_t& indice_icona, std::int32_t& modo_finestra);

// The working directory of a shortcut in the 255-character form; empty when it can't be read.
std::string cartella_collegamento(System& system, const std::string& collegamento);

}  // namespace ludrimex
