// Decoding of the shell link file format, structure by structure. Offsets and sizes inside the file
// are never trusted: each structure is read through a reader bounded by its own declared size, which
// itself must lie inside its parent.
#include <algorithm>
#include <array>

#include "shell_link/byte_reader.h"
#include "shell_link/link.h"
#include "shell_link/text_encoding.h"

namespace shell_link {
namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::uint32_t kHeaderSize = 0x4C;
constexpr std::array<std::uint8_t, 16> kShellLinkClsid = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x1;
constexpr std::uint32_t kCommonNetworkRelativeLinkAndPathSuffix = 0x2;
constexpr std::uint32_t kValidDevice = 0x1;

// The part of `bytes` that a structure declares as its own, from `offset` for `size` bytes.
Bytes sub_range(Bytes bytes, std::size_t offset, std::size_t size, const char* what) {
  if (offset > bytes.size() || size > bytes.size() - offset)
    throw FormatError(std::string(what) + " lies outside its parent");
  return bytes.subspan(offset, size);
}

// A NUL-terminated single-byte string at `offset` inside `bytes`.
std::string ansi_string_at(Bytes bytes, std::size_t offset, const char* what) {
  if (offset >= bytes.size()) throw FormatError(std::string(what) + " lies outside its structure");
  const auto rest = bytes.subspan(offset);
  const auto end = std::find(rest.begin(), rest.end(), 0);
  if (end == rest.end()) throw FormatError(std::string(what) + " has no terminator");
  return utf8_from_cp1252(rest.first(static_cast<std::size_t>(end - rest.begin())));
}

// A NUL-terminated UTF-16LE string at `offset` inside `bytes`.
std::string unicode_string_at(Bytes bytes, std::size_t offset, const char* what) {
  if (offset >= bytes.size()) throw FormatError(std::string(what) + " lies outside its structure");
  const auto rest = bytes.subspan(offset);
  for (std::size_t k = 0; k + 1 < rest.size(); k += 2) {
    if (rest[k] == 0 && rest[k + 1] == 0) return utf8_from_utf16le(rest.first(k));
  }
  throw FormatError(std::string(what) + " has no terminator");
}

void read_header(ByteReader& in, Link& link) {
  if (in.remaining() < kHeaderSize || in.u32() != kHeaderSize)
    throw FormatError("not a shell link: bad header size");
  const auto clsid = in.take(kShellLinkClsid.size());
  if (!std::equal(clsid.begin(), clsid.end(), kShellLinkClsid.begin()))
    throw FormatError("not a shell link: bad class");
  link.link_flags = in.u32();
  link.file_attributes = in.u32();
  link.creation_time = in.u64();
  link.access_time = in.u64();
  link.write_time = in.u64();
  link.file_size = in.u32();
  link.icon_index = static_cast<std::int32_t>(in.u32());
  link.show_command = in.u32();
  link.hot_key = in.u16();
  in.skip(2 + 4 + 4);  // reserved
}

// The item-ID list is not used, but it must be well formed: items of at least two bytes each, ending
// with the two-byte terminator exactly where the list ends.
void skip_id_list(ByteReader& in) {
  const std::uint16_t size = in.u16();
  ByteReader list(in.take(size), "item-ID list");
  while (true) {
    const std::uint16_t item = list.u16();
    if (item == 0) break;
    if (item < 2) throw FormatError("item-ID list holds an item too small");
    list.skip(item - 2u);
  }
  if (list.remaining() != 0) throw FormatError("item-ID list does not end at its terminator");
}

void read_volume_id(Bytes info, std::size_t offset, LinkInfo& link) {
  if (offset >= info.size()) throw FormatError("VolumeID lies outside LinkInfo");
  const std::uint32_t size = ByteReader(info.subspan(offset), "VolumeID").peek_u32();
  if (size < 0x10) throw FormatError("VolumeID is too small");
  const Bytes volume = sub_range(info, offset, size, "VolumeID");
  ByteReader in(volume, "VolumeID");
  in.skip(4);
  link.drive_type = in.u32();
  link.drive_serial_number = in.u32();
  const std::uint32_t label_offset = in.u32();
  if (label_offset == 0x14) {
    link.volume_label = unicode_string_at(volume, in.u32(), "volume label");
  } else {
    link.volume_label = ansi_string_at(volume, label_offset, "volume label");
  }
}

void read_network_link(Bytes info, std::size_t offset, LinkInfo& link) {
  if (offset >= info.size()) throw FormatError("CommonNetworkRelativeLink lies outside LinkInfo");
  const std::uint32_t size = ByteReader(info.subspan(offset), "CommonNetworkRelativeLink").peek_u32();
  if (size < 0x14) throw FormatError("CommonNetworkRelativeLink is too small");
  const Bytes network = sub_range(info, offset, size, "CommonNetworkRelativeLink");
  ByteReader in(network, "CommonNetworkRelativeLink");
  in.skip(4);
  const std::uint32_t flags = in.u32();
  const std::uint32_t net_name_offset = in.u32();
  const std::uint32_t device_name_offset = in.u32();
  in.skip(4);  // network provider type
  if (net_name_offset > 0x14) {
    const std::uint32_t net_name_offset_unicode = in.u32();
    const std::uint32_t device_name_offset_unicode = in.u32();
    link.net_name = unicode_string_at(network, net_name_offset_unicode, "net name");
    if (flags & kValidDevice)
      link.device_name = unicode_string_at(network, device_name_offset_unicode, "device name");
  } else {
    link.net_name = ansi_string_at(network, net_name_offset, "net name");
    if (flags & kValidDevice) link.device_name = ansi_string_at(network, device_name_offset, "device name");
  }
  link.has_network_path = true;
}

LinkInfo read_link_info(ByteReader& in) {
  LinkInfo link;
  const std::uint32_t size = in.peek_u32();
  if (size < 0x1C) throw FormatError("LinkInfo is too small");
  const Bytes info = in.take(size);
  ByteReader fields(info, "LinkInfo");
  fields.skip(4);
  const std::uint32_t header_size = fields.u32();
  if (header_size < 0x1C || header_size > size) throw FormatError("LinkInfo header has a bad size");
  const std::uint32_t flags = fields.u32();
  const std::uint32_t volume_id_offset = fields.u32();
  const std::uint32_t local_base_path_offset = fields.u32();
  const std::uint32_t network_offset = fields.u32();
  const std::uint32_t suffix_offset = fields.u32();
  std::uint32_t local_base_path_offset_unicode = 0;
  std::uint32_t suffix_offset_unicode = 0;
  if (header_size >= 0x24) {
    local_base_path_offset_unicode = fields.u32();
    suffix_offset_unicode = fields.u32();
  }
  if (flags & kVolumeIdAndLocalBasePath) {
    read_volume_id(info, volume_id_offset, link);
    link.local_base_path = local_base_path_offset_unicode != 0
                               ? unicode_string_at(info, local_base_path_offset_unicode, "local base path")
                               : ansi_string_at(info, local_base_path_offset, "local base path");
    link.has_local_path = true;
  }
  if (flags & kCommonNetworkRelativeLinkAndPathSuffix) read_network_link(info, network_offset, link);
  if (!link.has_local_path && !link.has_network_path) return link;
  link.common_path_suffix = suffix_offset_unicode != 0
                                ? unicode_string_at(info, suffix_offset_unicode, "common path suffix")
                                : ansi_string_at(info, suffix_offset, "common path suffix");
  return link;
}

std::string read_string_data(ByteReader& in, bool unicode) {
  const std::uint16_t count = in.u16();
  return unicode ? utf8_from_utf16le(in.take(2u * count)) : utf8_from_cp1252(in.take(count));
}

void read_string_data(ByteReader& in, Link& link) {
  const bool unicode = link.has(kIsUnicode);
  if (link.has(kHasName)) link.name = read_string_data(in, unicode);
  if (link.has(kHasRelativePath)) link.relative_path = read_string_data(in, unicode);
  if (link.has(kHasWorkingDir)) link.working_directory = read_string_data(in, unicode);
  if (link.has(kHasArguments)) link.arguments = read_string_data(in, unicode);
  if (link.has(kHasIconLocation)) link.icon_location = read_string_data(in, unicode);
}

}  // namespace

std::string LinkInfo::path(bool network_first) const {
  const bool use_network = has_network_path && (network_first || !has_local_path);
  if (use_network) return common_path_suffix.empty() ? net_name : net_name + "\\" + common_path_suffix;
  if (has_local_path) return local_base_path + common_path_suffix;
  return {};
}

Link decode(std::span<const std::uint8_t> bytes) {
  ByteReader in(bytes, "shell link");
  Link link;
  read_header(in, link);
  if (link.has(kHasLinkTargetIdList)) skip_id_list(in);
  if (link.has(kHasLinkInfo)) {
    LinkInfo info = read_link_info(in);
    if (!link.has(kForceNoLinkInfo)) link.info = std::move(info);
  }
  read_string_data(in, link);
  return link;  // ExtraData blocks carry nothing we use
}

}  // namespace shell_link
