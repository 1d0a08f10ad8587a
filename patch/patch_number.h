#pragma once
// The number of the patch this build of the installer carries, chosen when the build is configured
// (the CMake cache variable VELTRANO_PATCH_NUMBER, 1 to 32767).
#include <cstdint>

namespace ludrimex {

inline constexpr std::int16_t kPatchNumber = VELTRANO_PATCH_NUMBER;
static_assert(kPatchNumber >= 1, "a patch number is 1 to 32767");

}  // namespace ludrimex
