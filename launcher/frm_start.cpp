#include "launcher/frm_start.h"

#include "launcher/frm_vb.h"

namespace sorvanta {

const WindowDesign& FrmStart::design() {
  static const WindowDesign kDesign{
      .name = "frmStart",
      .caption = "Form1",
      .border_style = BorderStyle::none,
      .control_box = false,
      .min_button = false,
      .max_button = false,
      .client_left = 0,
      .client_top = 0,
      .client_width = 4680,
      .client_height = 3090,
      .width = 4680,
      .height = 3090,
      .centred = true,
      .icon = true,
      .controls = {},
  };
  return kDesign;
}

void FrmStart::load() {
  WindowSystem& system = window_.system();
  program_folder_ = system.app_path();
  // Not tested, not escaped: whatever the folder holds goes to the browser as it is.
  const std::string start_address = program_folder_ + kStartPage;
  FrmVB& catalogue = system.load<FrmVB>();
  catalogue.web().navigate(start_address);
  catalogue.window().show();
  window_.unload();
}

}  // namespace sorvanta
