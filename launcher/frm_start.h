#pragma once
// frmStart: the start-up step. Never visible: it starts the catalogue loading in frmVB, shows frmVB
// and unloads itself.
#include <string>

#include "launcher/window_system.h"

namespace sorvanta {

class FrmStart : public WindowEvents {
 public:
  // The start page, beside the program; the slash is kept whatever separator the folder uses.
  static constexpr const char* kStartPage = "/index.html";

  static const WindowDesign& design();
  explicit FrmStart(Window& window) : window_(window) {}

  // Load: the start-up step.
  void load() override;

  // The folder of the running program, as read by the start-up step.
  const std::string& program_folder() const { return program_folder_; }

 private:
  Window& window_;
  std::string program_folder_;
};

}  // namespace sorvanta
