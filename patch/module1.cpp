#include <exception>

#include "patch/module1.h"

namespace ludrimex {

bool esiste_cartella(System& system, const std::string& path) {
  try {
    return !system.dir(path, kAttrDirectory).empty();
  } catch (const std::exception&) {
    // An invalid name or an unavailable drive simply means the folder is not there.
    return false;
  }
}

}  // namespace ludrimex
