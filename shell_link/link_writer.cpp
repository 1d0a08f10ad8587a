// Encoding of the shortcuts we write: the header, a LinkInfo with a local base path, Unicode string
// data and an empty ExtraData section.
#include <array>
#include <stdexcept>
#include <string_view>

#include "shell_link/link.h"
#include "shell_link/text_encoding.h"

namespace shell_link {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::array<std::uint8_t, 16> kShellLinkClsid = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr std::uint32_t kDriveFixed = 3;
constexpr std::uint32_t kVolumeIdSize = 0x11;  // the fixed fields and an empty label

void put16(Bytes& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}
void put32(Bytes& out, std::uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}
void put_bytes(Bytes& out, const Bytes& bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

std::uint32_t string_flags(const NewLink& link) {
  std::uint32_t flags = kIsUnicode;
  if (!link.target.empty()) flags |= kHasLinkInfo;
  if (!link.working_directory.empty()) flags |= kHasWorkingDir;
  if (!link.arguments.empty()) flags |= kHasArguments;
  if (!link.icon_location.empty()) flags |= kHasIconLocation;
  return flags;
}

void put_header(Bytes& out, const NewLink& link, std::uint32_t flags) {
  put32(out, 0x4C);
  out.insert(out.end(), kShellLinkClsid.begin(), kShellLinkClsid.end());
  put32(out, flags);
  put32(out, 0);                              // file attributes
  for (int k = 0; k < 6; ++k) put32(out, 0);  // creation, access and write times
  put32(out, 0);                              // file size
  put32(out, link.icon_location.empty() ? 0 : static_cast<std::uint32_t>(link.icon_index));
  put32(out, kShowNormal);
  put16(out, 0);  // hot key
  put16(out, 0);  // reserved
  put32(out, 0);
  put32(out, 0);
}

// LinkInfo with a VolumeID and the local base path. The Unicode copy of the path (and the longer
// header that points at it) is written only when the code-page copy loses characters, as Windows does.
void put_link_info(Bytes& out, const std::string& target) {
  if (target.find('\0') != std::string::npos)
    throw std::invalid_argument("a shortcut target can't hold a NUL");
  bool lossless = true;
  Bytes ansi = cp1252_from_utf8(target, &lossless);
  ansi.push_back(0);
  Bytes unicode = utf16le_from_utf8(target);
  put16(unicode, 0);

  const std::uint32_t header_size = lossless ? 0x1C : 0x24;
  const std::uint32_t volume_id_offset = header_size;
  const std::uint32_t base_path_offset = volume_id_offset + kVolumeIdSize;
  const auto suffix_offset = static_cast<std::uint32_t>(base_path_offset + ansi.size());
  const std::uint32_t base_path_unicode_offset = suffix_offset + 1;
  const auto suffix_unicode_offset = static_cast<std::uint32_t>(base_path_unicode_offset + unicode.size());
  const std::uint32_t size = lossless ? suffix_offset + 1 : suffix_unicode_offset + 2;

  put32(out, size);
  put32(out, header_size);
  put32(out, 0x1);  // VolumeIDAndLocalBasePath
  put32(out, volume_id_offset);
  put32(out, base_path_offset);
  put32(out, 0);  // no CommonNetworkRelativeLink
  put32(out, suffix_offset);
  if (!lossless) {
    put32(out, base_path_unicode_offset);
    put32(out, suffix_unicode_offset);
  }

  put32(out, kVolumeIdSize);
  put32(out, kDriveFixed);
  put32(out, 0);     // serial number
  put32(out, 0x10);  // label offset
  out.push_back(0);  // empty label

  put_bytes(out, ansi);
  out.push_back(0);  // empty common path suffix
  if (!lossless) {
    put_bytes(out, unicode);
    put16(out, 0);  // empty common path suffix
  }
}

void put_string(Bytes& out, std::string_view text) {
  const Bytes units = utf16le_from_utf8(text);
  if (units.size() / 2 > 0xFFFF) throw std::length_error("a shortcut string is too long to store");
  put16(out, static_cast<std::uint32_t>(units.size() / 2));
  put_bytes(out, units);
}

}  // namespace

std::vector<std::uint8_t> encode(const NewLink& link) {
  Bytes out;
  const std::uint32_t flags = string_flags(link);
  put_header(out, link, flags);
  if (flags & kHasLinkInfo) put_link_info(out, link.target);
  if (flags & kHasWorkingDir) put_string(out, link.working_directory);
  if (flags & kHasArguments) put_string(out, link.arguments);
  if (flags & kHasIconLocation) put_string(out, link.icon_location);
  put32(out, 0);  // ExtraData: the terminal block alone
  return out;
}

}  // namespace shell_link
