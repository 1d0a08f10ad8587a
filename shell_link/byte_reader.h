#pragma once
// Bounds-checked little-endian reading of a byte range; every step past the end is a FormatError.
#include <cstdint>
#include <span>
#include <string>

#include "shell_link/link.h"

namespace shell_link {

class ByteReader {
 public:
  ByteReader(std::span<const std::uint8_t> bytes, const char* what) : bytes_(bytes), what_(what) {}

  std::size_t remaining() const { return bytes_.size() - position_; }

  std::span<const std::uint8_t> take(std::size_t count) {
    if (count > remaining()) throw FormatError(std::string(what_) + " is cut short");
    const auto part = bytes_.subspan(position_, count);
    position_ += count;
    return part;
  }
  void skip(std::size_t count) { take(count); }

  std::uint16_t u16() {
    const auto b = take(2);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
  }
  std::uint32_t u32() {
    const auto b = take(4);
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
  }
  std::uint32_t peek_u32() const {
    ByteReader copy = *this;
    return copy.u32();
  }
  std::uint64_t u64() {
    const std::uint64_t low = u32();
    return low | (static_cast<std::uint64_t>(u32()) << 32);
  }

 private:
  std::span<const std::uint8_t> bytes_;
  const char* what_;
  std::size_t position_ = 0;
};

}  // namespace shell_link
