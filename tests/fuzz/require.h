#pragma once
// A property every input must keep: a broken one stops the fuzzer, which keeps the input.
#include <cstdlib>

inline void require(bool condition) {
  if (!condition) std::abort();
}
