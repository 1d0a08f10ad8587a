#pragma once
// Message boxes and pending-event processing: a modal GTK dialog when there is a display, otherwise
// one line "TITLE: TEXT" on standard error, answered OK.
#include <string>

namespace ludrimex::posix {

class GtkMessageBox {
 public:
  // MessageBox(text, title, style): the button pressed (IDOK, IDCANCEL, IDYES, IDNO).
  int show(const std::string& text, const std::string& title, int style);

 private:
  bool gtk_ready();

  bool tried_ = false;  // GTK is started at the first box with a display, and only once
  bool ready_ = false;
};

// Lets GTK handle what is pending, when GTK has been started at all.
void process_pending_events();

// Whether the environment names a display (DISPLAY or WAYLAND_DISPLAY set and not empty).
bool display_named();

}  // namespace ludrimex::posix
