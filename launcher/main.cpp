// Sorvanta: loads frmStart on the platform's window system and runs until the catalogue window
// closes. The one place where an error becomes the user's report.
#include <exception>
#include <memory>

#include "launcher/frm_start.h"
#include "launcher/run_error.h"
#include "launcher/window_system.h"

namespace {

using sorvanta::kProgramTitle;

int report(sorvanta::WindowSystem& system, const std::string& text) {
  system.message_box(text, kProgramTitle, sorvanta::kVbOkOnly + sorvanta::kVbCritical);
  return 1;
}

}  // namespace

int main() {
  std::unique_ptr<sorvanta::WindowSystem> system;
  try {
    system = sorvanta::make_platform_window_system();
  } catch (const std::exception& e) {
    sorvanta::report_without_window_system(e.what(), kProgramTitle);
    return 1;
  }
  try {
    system->load<sorvanta::FrmStart>();
    system->run();
  } catch (const sorvanta::ProgramEnd&) {
    return 0;
  } catch (const sorvanta::RunError& e) {
    return report(*system, runtime::run_time_report(e));
  } catch (const std::exception& e) {
    return report(*system, std::string("Errore: ") + e.what());
  }
  return 0;
}
