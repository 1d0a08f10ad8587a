#include "patch/package_files.h"

#include <array>

#include "patch/errors.h"
#include "patch/sha256.h"

namespace ludrimex {
namespace {

struct PinnedFile {
  const char* name;
  std::string_view PackageDigests::*digest;
  bool needed;  // the run can't go on without it
};

// In the order they are checked.
constexpr std::array<PinnedFile, 2> kPinnedFiles{{
    {"Sorvanta.exe", &PackageDigests::sorvanta, true},
    {"STKIT432.DLL", &PackageDigests::stkit432, false},
}};

}  // namespace

std::optional<std::string> foreign_package_file(System& system, const PackageDigests& digests) {
  for (const PinnedFile& file : kPinnedFiles) {
    const std::string_view digest = digests.*file.digest;
    if (digest.empty()) continue;
    const auto held = system.hold_delivered_file(file.name);
    if (!held) {
      if (file.needed) throw RunError(kFileNotFound, system.app_path() + "\\" + file.name);
      continue;
    }
    if (to_hex(sha256(held->bytes)) != digest) return held->path;
  }
  return std::nullopt;
}

}  // namespace ludrimex
