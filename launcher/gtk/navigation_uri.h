#pragma once
// What WebKit is asked to load for an address handed to Navigate.
#include <string>

namespace sorvanta::gtk {

// An absolute file path becomes a file:// URI, every byte other than letters, digits, "-._~" and
// the separators percent-encoded (so blanks, accents, '#', '?' and '%' in folder names load), with
// runs of '/' taken as one. Anything else (a URI with its scheme, a relative name) goes unchanged.
std::string navigation_uri(const std::string& address);

}  // namespace sorvanta::gtk
