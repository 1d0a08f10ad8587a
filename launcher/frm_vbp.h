#pragma once
// frmVBP: a pop-up answering a page's request for a new window: its own browser `web2`, whose page
// sets the caption, and the button `cmdStampa` that prints that page. Any number may be open.
#include <string>

#include "launcher/window_system.h"

namespace sorvanta {

class FrmVBP : public WindowEvents {
 public:
  static const WindowDesign& design();
  explicit FrmVBP(Window& window)
      : window_(window), web2_(window.browser("web2")), cmd_stampa_(window.button("cmdStampa")) {}

  Window& window() const { return window_; }
  Browser& web2() const { return web2_; }
  CommandButton& cmd_stampa() const { return cmd_stampa_; }

  void activate() override;
  void click(CommandButton& source) override;
  void title_change(Browser& source, const std::string& text) override;

 private:
  Window& window_;
  Browser& web2_;
  CommandButton& cmd_stampa_;
};

}  // namespace sorvanta
