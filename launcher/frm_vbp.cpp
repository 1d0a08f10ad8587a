#include "launcher/frm_vbp.h"

namespace sorvanta {

const WindowDesign& FrmVBP::design() {
  static const WindowDesign kDesign{
      .name = "frmVBP",
      .caption = "Caricamento...",
      .border_style = BorderStyle::fixed_single,
      .control_box = true,
      .min_button = false,
      .max_button = false,
      .client_left = 45,
      .client_top = 435,
      .client_width = 9615,
      .client_height = 7995,
      .width = 9705,
      .height = 8475,
      .centred = true,
      .icon = true,
      .controls = {{.name = "web2",
                    .kind = ControlKind::web_browser,
                    .left = 0,
                    .top = 0,
                    .width = 9615,
                    .height = 7455,
                    .tab_index = 0,
                    .caption = {}},
                   {.name = "cmdStampa",
                    .kind = ControlKind::command_button,
                    .left = 8040,
                    .top = 7560,
                    .width = 1455,
                    .height = 375,
                    .tab_index = 1,
                    .caption = "Stampa pagina"}},
  };
  return kDesign;
}

// Keyboard input belongs to the page, not to the button.
void FrmVBP::activate() {
  web2_.set_focus();
}

void FrmVBP::click(CommandButton& /*source*/) {
  web2_.exec_wb(kOleCmdIdPrint, kOleCmdExecOptPromptUser, std::int16_t{0}, std::int16_t{0});
}

void FrmVBP::title_change(Browser& /*source*/, const std::string& text) {
  window_.set_caption(text);
}

}  // namespace sorvanta
