#pragma once
// What WebKit is asked to load for an address handed to Navigate.
#include <cstddef>
#include <string>

namespace sorvanta::gtk {

// An absolute file path becomes a file:// URI, every byte other than letters, digits, "-._~" and
// the separators percent-encoded (so blanks, accents, '#', '?' and '%' in folder names load), with
// runs of '/' taken as one. Anything else (a URI with its scheme, a relative name) goes unchanged.
std::string navigation_uri(const std::string& address);

// WebKit refuses every file whose path is not UTF-8. An absolute path whose folder's name is not is
// loaded through that folder, held open by the program: the length of the folder's name in
// `address`, 0 when the address needs no folder held open.
std::size_t folder_to_open(const std::string& address);

// The file URI of `address` with its first `folder_length` bytes, a folder, reached as the open
// descriptor `fd` of process `pid` instead.
std::string uri_through_descriptor(const std::string& address, std::size_t folder_length, int pid, int fd);

}  // namespace sorvanta::gtk
