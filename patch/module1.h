#pragma once
// Module1: the installer's shared procedures.
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

// True when a folder (or a file) of exactly that name exists; false on any error.
bool esiste_cartella(System& system, const std::string& path);

}  // namespace ludrimex
