#include "launcher/gtk/navigation_uri.h"

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

}  // namespace sorvanta::gtk
