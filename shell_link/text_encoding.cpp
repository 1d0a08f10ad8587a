#include "shell_link/text_encoding.h"

#include <array>

namespace shell_link {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Code points of the bytes 0x80..0x9F in Windows-1252; the rest of the page is Latin-1.
constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool is_continuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Decodes the code point starting at `text[i]` and advances `i` past it.
char32_t next_code_point(std::string_view text, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(text[i++]);
  if (lead < 0x80) return lead;
  int extra = 0;
  char32_t c = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, c = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, c = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, c = lead & 0x07, minimum = 0x10000;
  } else {
    return kReplacement;
  }
  for (int k = 0; k < extra; ++k) {
    if (i >= text.size() || !is_continuation(static_cast<unsigned char>(text[i]))) return kReplacement;
    c = (c << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
  }
  const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
  return (c < minimum || c > 0x10FFFF || surrogate) ? kReplacement : c;
}

void append_utf16le(std::vector<std::uint8_t>& out, char16_t unit) {
  out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
  out.push_back(static_cast<std::uint8_t>(unit >> 8));
}

}  // namespace

std::string utf8_from_utf16le(std::span<const std::uint8_t> bytes) {
  std::string out;
  const std::size_t units = bytes.size() / 2;
  auto unit_at = [&](std::size_t k) -> char32_t { return bytes[2 * k] | (bytes[2 * k + 1] << 8); };
  for (std::size_t k = 0; k < units; ++k) {
    char32_t c = unit_at(k);
    if (c >= 0xD800 && c <= 0xDBFF && k + 1 < units && unit_at(k + 1) >= 0xDC00 && unit_at(k + 1) <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit_at(k + 1) - 0xDC00);
      ++k;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    append_utf8(out, c);
  }
  return out;
}

std::string utf8_from_cp1252(std::span<const std::uint8_t> bytes) {
  std::string out;
  for (std::uint8_t b : bytes) append_utf8(out, (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : b);
  return out;
}

std::vector<std::uint8_t> utf16le_from_utf8(std::string_view text) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i < text.size();) {
    const char32_t c = next_code_point(text, i);
    if (c >= 0x10000) {
      append_utf16le(out, static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      append_utf16le(out, static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      append_utf16le(out, static_cast<char16_t>(c));
    }
  }
  return out;
}

std::vector<std::uint8_t> cp1252_from_utf8(std::string_view text, bool* lossless) {
  std::vector<std::uint8_t> out;
  bool all_mapped = true;
  for (std::size_t i = 0; i < text.size();) {
    const char32_t c = next_code_point(text, i);
    std::uint8_t byte = '?';
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      byte = static_cast<std::uint8_t>(c);
    } else {
      bool found = false;
      for (std::size_t k = 0; k < kCp1252High.size() && !found; ++k) {
        if (kCp1252High[k] == c) byte = static_cast<std::uint8_t>(0x80 + k), found = true;
      }
      all_mapped = all_mapped && found;
    }
    out.push_back(byte);
  }
  if (lossless) *lossless = all_mapped;
  return out;
}

}  // namespace shell_link
