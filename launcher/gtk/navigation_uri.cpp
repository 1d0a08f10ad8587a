#include "launcher/gtk/navigation_uri.h"

#include <glib.h>

namespace sorvanta::gtk {

namespace {

bool unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

}  // namespace

std::string navigation_uri(const std::string& address) {
  if (address.empty() || address.front() != '/') return address;
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (unsigned char c : address) {
    if (c == '/') {
      if (uri.back() != '/' || uri.size() == 7) uri += '/';
    } else if (unreserved(c)) {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 0x0F];
    }
  }
  return uri;
}

std::size_t folder_to_open(const std::string& address) {
  if (address.empty() || address.front() != '/') return 0;
  // Only a folder's name can be stepped over; a file's own name is the page's to get right.
  const std::size_t folder_length = address.rfind('/');
  if (g_utf8_validate(address.data(), static_cast<gssize>(folder_length), nullptr)) return 0;
  return folder_length;
}

std::string uri_through_descriptor(const std::string& address, std::size_t folder_length, int pid, int fd) {
  return navigation_uri("/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd) +
                        address.substr(folder_length));
}

}  // namespace sorvanta::gtk
