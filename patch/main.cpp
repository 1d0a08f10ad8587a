// Ludrimex, the catalogue's patch installer.
#include <exception>
#include <iostream>

#include "patch/errors.h"
#include "patch/program.h"

int main() {
  try {
    const auto system = ludrimex::make_platform_system();
    return ludrimex::run_ludrimex(*system);
  } catch (const ludrimex::RunError& error) {
    // No platform to show a box with: the report goes to standard error.
    std::cerr << "Ludrimex: " << runtime::error_report(error) << '\n';
  } catch (const std::exception& error) {
    std::cerr << "Ludrimex: "
              << runtime::error_report(ludrimex::RunError(ludrimex::kInternalError, error.what())) << '\n';
  }
  return ludrimex::kFailed;
}
