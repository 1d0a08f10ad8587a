// Ludrimex, the catalogue's patch installer.
#include <cstdio>
#include <exception>
#include <string>

#include "patch/errors.h"
#include "patch/package_files.h"
#include "patch/program.h"

namespace {

// No platform to show a box with: the report goes to standard error. (No iostreams: they would bring
// the whole locale machinery into the program.)
int report_without_platform(const ludrimex::RunError& error) {
  std::fprintf(stderr, "Ludrimex: %s\n", runtime::error_report(error).c_str());
  return ludrimex::kFailed;
}

}  // namespace

int main() {
  try {
    const auto system = ludrimex::make_platform_system();
    return ludrimex::run_ludrimex(*system, ludrimex::package_digests());
  } catch (const ludrimex::RunError& error) {
    return report_without_platform(error);
  } catch (const std::exception& error) {
    return report_without_platform(ludrimex::RunError(ludrimex::kInternalError, error.what()));
  }
}
