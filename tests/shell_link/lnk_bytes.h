#pragma once
// Hand-assembled shell link files for the tests, and the independent reader `lnkinfo`.
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace lnk_test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline Bytes u16(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
}
inline Bytes u32(std::uint32_t v) {
  return u16(v & 0xFFFF) + u16(v >> 16);
}

// Raw bytes of a string, as given (for single-byte text, the code-page bytes themselves).
inline Bytes raw(const std::string& s) {
  return Bytes(s.begin(), s.end());
}
inline Bytes ansi_z(const std::string& s) {
  return raw(s) + Bytes{0};
}
// UTF-16LE of ASCII or Latin-1 text given as UTF-16 code units.
inline Bytes wide(const std::u16string& s) {
  Bytes out;
  for (char16_t c : s) out = out + u16(c);
  return out;
}
inline Bytes wide_z(const std::u16string& s) {
  return wide(s) + u16(0);
}

// Parses "4C 00 00 00 ..." (any whitespace between bytes).
inline Bytes hex(const std::string& text) {
  Bytes out;
  std::istringstream in(text);
  std::string byte;
  while (in >> byte) out.push_back(static_cast<std::uint8_t>(std::stoul(byte, nullptr, 16)));
  return out;
}

inline Bytes header(std::uint32_t flags, std::int32_t icon_index = 0, std::uint32_t show = 1,
                    std::uint16_t hot_key = 0) {
  return u32(0x4C) + hex("01 14 02 00 00 00 00 00 C0 00 00 00 00 00 00 46") + u32(flags) + u32(0) +
         Bytes(24, 0) + u32(0) + u32(static_cast<std::uint32_t>(icon_index)) + u32(show) + u16(hot_key) +
         u16(0) + u32(0) + u32(0);
}

// An item-ID list of the given items (each given without its size field), with its terminator.
inline Bytes id_list(const std::vector<Bytes>& items) {
  Bytes body;
  for (const Bytes& item : items) body = body + u16(static_cast<std::uint32_t>(item.size() + 2)) + item;
  body = body + u16(0);
  return u16(static_cast<std::uint32_t>(body.size())) + body;
}

// A counted StringData string.
inline Bytes counted_ansi(const std::string& s) {
  return u16(static_cast<std::uint32_t>(s.size())) + raw(s);
}
inline Bytes counted_wide(const std::u16string& s) {
  return u16(static_cast<std::uint32_t>(s.size())) + wide(s);
}

// LinkInfo with a VolumeID (fixed drive, empty label) and a local base path in the code page; with
// `unicode_path` also the Unicode copies that the longer header points at.
inline Bytes local_link_info(const std::string& ansi_path, const std::u16string* unicode_path = nullptr,
                             const std::string& suffix = "") {
  const std::uint32_t header_size = unicode_path ? 0x24 : 0x1C;
  const Bytes volume = u32(0x11) + u32(3) + u32(0x1234ABCD) + u32(0x10) + Bytes{0};
  const std::uint32_t base = header_size + static_cast<std::uint32_t>(volume.size());
  const auto suffix_offset = static_cast<std::uint32_t>(base + ansi_path.size() + 1);
  const auto base_unicode = static_cast<std::uint32_t>(suffix_offset + suffix.size() + 1);
  const auto suffix_unicode =
      static_cast<std::uint32_t>(base_unicode + (unicode_path ? unicode_path->size() * 2 + 2 : 0));
  Bytes tail = volume + ansi_z(ansi_path) + ansi_z(suffix);
  if (unicode_path) tail = tail + wide_z(*unicode_path) + wide_z(u"");
  Bytes fields = u32(header_size) + u32(1) + u32(header_size) + u32(base) + u32(0) + u32(suffix_offset);
  if (unicode_path) fields = fields + u32(base_unicode) + u32(suffix_unicode);
  const Bytes body = fields + tail;
  return u32(static_cast<std::uint32_t>(body.size() + 4)) + body;
}

// LinkInfo with only a CommonNetworkRelativeLink (net name, device) and a path suffix.
inline Bytes network_link_info(const std::string& net_name, const std::string& device,
                               const std::string& suffix) {
  const Bytes names = ansi_z(net_name) + ansi_z(device);
  const Bytes network = u32(static_cast<std::uint32_t>(0x14 + names.size())) + u32(0x3) + u32(0x14) +
                        u32(static_cast<std::uint32_t>(0x14 + net_name.size() + 1)) + u32(0x00020000) + names;
  const std::uint32_t header_size = 0x1C;
  const Bytes body = u32(header_size) + u32(2) + u32(0) + u32(0) + u32(header_size) +
                     u32(static_cast<std::uint32_t>(header_size + network.size())) + network + ansi_z(suffix);
  return u32(static_cast<std::uint32_t>(body.size() + 4)) + body;
}

inline const Bytes kTerminalBlock = u32(0);

// The fields `lnkinfo` prints under "Link information", by label ("Local path", "Working directory"...).
inline std::map<std::string, std::string> lnkinfo(const std::string& path) {
  const std::string command = std::string("'") + LNKINFO + "' '" + path + "' 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  if (!pipe) throw std::runtime_error("can't run lnkinfo");
  std::string output;
  char chunk[4096];
  while (std::size_t n = std::fread(chunk, 1, sizeof chunk, pipe.get())) output.append(chunk, n);
  std::map<std::string, std::string> fields;
  std::istringstream lines(output);
  std::string line;
  bool inside = false;
  while (std::getline(lines, line)) {
    if (line == "Link information:") {
      inside = true;
    } else if (inside && line.empty()) {
      break;
    } else if (inside) {
      const auto colon = line.find(": ");
      const auto label_end = line.find_last_not_of("\t ", colon == std::string::npos ? 0 : colon - 1);
      const auto label_start = line.find_first_not_of('\t');
      if (colon != std::string::npos && label_end != std::string::npos)
        fields[line.substr(label_start, label_end + 1 - label_start)] = line.substr(colon + 2);
    }
  }
  return fields;
}

}  // namespace lnk_test
