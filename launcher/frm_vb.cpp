#include "launcher/frm_vb.h"

#include "launcher/frm_vbp.h"

namespace sorvanta {

namespace {

// One statement under "resume next": an error it raises is dropped and the caller goes on.
template <class Statement>
void ignoring_errors(Statement statement) {
  try {
    statement();
  } catch (const RunError&) {
  }
}

}  // namespace

const WindowDesign& FrmVB::design() {
  static const WindowDesign kDesign{
      .name = "frmVB",
      .caption = "  Catalogo Veltrano",
      .border_style = BorderStyle::sizable,
      .control_box = true,
      .min_button = true,
      .max_button = true,
      .client_left = 60,
      .client_top = 450,
      .client_width = 8880,
      .client_height = 5865,
      .width = 9000,
      .height = 6375,
      .centred = true,
      .icon = true,
      .controls = {{.name = "web",
                    .kind = ControlKind::web_browser,
                    .left = 0,
                    .top = 0,
                    .width = 3135,
                    .height = 1575,
                    .tab_index = 0,
                    .caption = {}}},
  };
  return kDesign;
}

void FrmVB::resize() {
  // A tiny or minimised window gives sizes the browser refuses; each assignment stands alone.
  ignoring_errors([this] { web_.set_width(window_.width() - kWidthMargin); });
  ignoring_errors([this] { web_.set_height(window_.height() - kHeightMargin); });
}

void FrmVB::query_unload(int& /*cancel*/, UnloadMode /*mode*/) {
  window_.system().message_box(kClosingText, kClosingTitle, kVbOkOnly + kVbInformation);
}

void FrmVB::unload(int& /*cancel*/) {
  window_.system().end();
}

void FrmVB::title_change(Browser& /*source*/, const std::string& text) {
  window_.set_caption(text);
}

void FrmVB::new_window2(Browser& /*source*/, Automation& pp_disp, bool& /*cancel*/) {
  FrmVBP& popup = window_.system().load<FrmVBP>();
  popup.web2().set_register_as_browser(true);
  pp_disp = popup.web2().automation();
  popup.window().show();
}

}  // namespace sorvanta
