#pragma once
// SHA-256 (FIPS 180-4), by which a package's Ludrimex knows the files of its own package.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace ludrimex {

using Sha256 = std::array<std::uint8_t, 32>;

Sha256 sha256(std::string_view bytes);

// The digest as 64 lower-case hexadecimal digits.
std::string to_hex(const Sha256& digest);

}  // namespace ludrimex
