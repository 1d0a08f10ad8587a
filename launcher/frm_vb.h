#pragma once
// frmVB: the catalogue window. Its browser `web` almost fills it, its caption follows the page's
// title, every new-window request of the page gets a pop-up (frmVBP), and closing it thanks the
// user and ends the program.
#include <string>

#include "launcher/window_system.h"

namespace sorvanta {

class FrmVB : public WindowEvents {
 public:
  // What the browser leaves of the outer size, in twips.
  static constexpr Single kWidthMargin = 150;
  static constexpr Single kHeightMargin = 500;
  static constexpr const char* kClosingText = "Grazie per aver utilizzato il catalogo Veltrano!";
  static constexpr const char* kClosingTitle = "Veltrano S.r.l.";

  static const WindowDesign& design();
  explicit FrmVB(Window& window) : window_(window), web_(window.browser("web")) {}

  Window& window() const { return window_; }
  Browser& web() const { return web_; }

  void resize() override;
  void query_unload(int& cancel, UnloadMode mode) override;
  void unload(int& cancel) override;
  void title_change(Browser& source, const std::string& text) override;
  void new_window2(Browser& source, Automation& pp_disp, bool& cancel) override;

 private:
  Window& window_;
  Browser& web_;
};

}  // namespace sorvanta
