#include "patch/sha256.h"

#include <algorithm>
#include <bit>
#include <cstddef>

namespace ludrimex {
namespace {

constexpr std::size_t kBlockSize = 64;

// The first 32 bits of the fractional parts of the cube roots of the first 64 primes.
constexpr std::array<std::uint32_t, 64> kRoundConstants{
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

// The first 32 bits of the fractional parts of the square roots of the first 8 primes.
constexpr std::array<std::uint32_t, 8> kInitialHash{
    0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19,
};

using State = std::array<std::uint32_t, 8>;

std::uint32_t big_endian_word(const unsigned char* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
         static_cast<std::uint32_t>(bytes[2]) << 8 | static_cast<std::uint32_t>(bytes[3]);
}

void compress(State& hash, const unsigned char* block) {
  std::array<std::uint32_t, 64> w{};
  for (std::size_t t = 0; t < 16; ++t) w[t] = big_endian_word(block + 4 * t);
  for (std::size_t t = 16; t < 64; ++t) {
    const std::uint32_t s0 = std::rotr(w[t - 15], 7) ^ std::rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
    const std::uint32_t s1 = std::rotr(w[t - 2], 17) ^ std::rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
    w[t] = w[t - 16] + s0 + w[t - 7] + s1;
  }
  State v = hash;  // a, b, c, d, e, f, g, h
  for (std::size_t t = 0; t < 64; ++t) {
    const std::uint32_t e = v[4];
    const std::uint32_t a = v[0];
    const std::uint32_t sum1 = std::rotr(e, 6) ^ std::rotr(e, 11) ^ std::rotr(e, 25);
    const std::uint32_t choice = (e & v[5]) ^ (~e & v[6]);
    const std::uint32_t t1 = v[7] + sum1 + choice + kRoundConstants[t] + w[t];
    const std::uint32_t sum0 = std::rotr(a, 2) ^ std::rotr(a, 13) ^ std::rotr(a, 22);
    const std::uint32_t majority = (a & v[1]) ^ (a & v[2]) ^ (v[1] & v[2]);
    const std::uint32_t t2 = sum0 + majority;
    v = {t1 + t2, a, v[1], v[2], v[3] + t1, e, v[5], v[6]};
  }
  for (std::size_t i = 0; i < hash.size(); ++i) hash[i] += v[i];
}

}  // namespace

Sha256 sha256(std::string_view bytes) {
  State hash = kInitialHash;
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t whole = bytes.size() - bytes.size() % kBlockSize;
  for (std::size_t at = 0; at < whole; at += kBlockSize) compress(hash, data + at);

  // The rest, a 1 bit, zeros, and the length in bits as a 64-bit big-endian number: one block or two.
  std::array<unsigned char, 2 * kBlockSize> tail{};
  const std::size_t rest = bytes.size() - whole;
  std::copy_n(data + whole, rest, tail.begin());
  tail[rest] = 0x80;
  const std::size_t tail_size = rest + 1 + 8 <= kBlockSize ? kBlockSize : 2 * kBlockSize;
  const std::uint64_t bits = static_cast<std::uint64_t>(bytes.size()) * 8;
  for (std::size_t i = 0; i < 8; ++i) tail[tail_size - 1 - i] = static_cast<unsigned char>(bits >> (8 * i));
  for (std::size_t at = 0; at < tail_size; at += kBlockSize) compress(hash, tail.data() + at);

  Sha256 digest{};
  for (std::size_t i = 0; i < hash.size(); ++i) {
    for (std::size_t j = 0; j < 4; ++j)
      digest[4 * i + j] = static_cast<std::uint8_t>(hash[i] >> (24 - 8 * j));
  }
  return digest;
}

std::string to_hex(const Sha256& digest) {
  constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * digest.size());
  for (const std::uint8_t byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0xF];
  }
  return text;
}

}  // namespace ludrimex
