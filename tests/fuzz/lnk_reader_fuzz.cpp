// Any bytes as a .lnk file: decoding either succeeds with UTF-8 strings or throws FormatError, and what
// it decodes survives our own writer and reader unchanged.
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

#include "shell_link/link.h"
#include "tests/fuzz/require.h"

namespace {

bool valid_utf8(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t extra = 0;
    std::uint32_t code = 0;
    if (c < 0x80) {
      code = c;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1;
      code = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      code = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      code = c & 0x07;
    } else {
      return false;
    }
    if (i + extra >= text.size()) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    const std::uint32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (code < least[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  shell_link::Link link;
  try {
    link = shell_link::decode(std::span<const std::uint8_t>(data, size));
  } catch (const shell_link::FormatError&) {
    return 0;
  }
  const std::string texts[] = {link.name,
                               link.relative_path,
                               link.working_directory,
                               link.arguments,
                               link.icon_location,
                               link.info.local_base_path,
                               link.info.common_path_suffix,
                               link.info.net_name,
                               link.info.device_name,
                               link.info.volume_label,
                               link.info.path(),
                               link.info.path(true)};
  for (const auto& text : texts) require(valid_utf8(text));

  // Round trip through our writer: what it stores comes back as it was given.
  const shell_link::NewLink again{link.info.path(), link.working_directory, link.arguments,
                                  link.icon_location, link.icon_index};
  if (again.target.find('\0') != std::string::npos ||
      again.working_directory.find('\0') != std::string::npos ||
      again.arguments.find('\0') != std::string::npos || again.icon_location.find('\0') != std::string::npos)
    return 0;  // a NUL inside a text cannot be stored as the counted string it came from
  std::vector<std::uint8_t> bytes;
  try {
    bytes = shell_link::encode(again);
  } catch (const std::length_error&) {
    return 0;
  }
  const shell_link::Link back = shell_link::decode(bytes);
  require(back.info.path() == again.target);
  require(back.working_directory == again.working_directory);
  require(back.arguments == again.arguments);
  require(back.icon_location == again.icon_location);
  if (!again.icon_location.empty()) require(back.icon_index == again.icon_index);
  return 0;
}
