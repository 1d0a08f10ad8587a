#pragma once
// The encodings of strings inside shell link files: UTF-16LE and the Windows-1252 code page.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace shell_link {

// Little-endian UTF-16 code units to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf8_from_utf16le(std::span<const std::uint8_t> bytes);
// Windows-1252 to UTF-8; the five undefined bytes map to the C1 controls, as Windows maps them.
std::string utf8_from_cp1252(std::span<const std::uint8_t> bytes);

// UTF-8 to little-endian UTF-16 code units (no terminator); malformed input becomes U+FFFD.
std::vector<std::uint8_t> utf16le_from_utf8(std::string_view text);
// UTF-8 to Windows-1252; characters the code page lacks become '?'. `lossless` tells whether none did.
std::vector<std::uint8_t> cp1252_from_utf8(std::string_view text, bool* lossless = nullptr);

}  // namespace shell_link
