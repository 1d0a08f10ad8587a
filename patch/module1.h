#pragma once
// Module1: the folder test the run starts with.
#include <string>

#include "patch/system.h"

namespace ludrimex {

// True when a folder (or a file) of exactly that name exists; false on any error.
bool esiste_cartella(System& system, const std::string& path);

}  // namespace ludrimex
