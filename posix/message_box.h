#pragma once
// Message boxes as GTK dialogs: MessageBox's styles mapped once onto GTK's, and the box the installer
// shows, which falls back to one line "TITLE: TEXT" on standard error, answered OK, when there is no
// display.
#include <gtk/gtk.h>

#include <string>

namespace posix {

// Where a parentless box stays: centred, and above other windows when `keep_above`.
struct DialogPlacement {
  GtkWindow* parent = nullptr;
  bool keep_above = false;
};

// A modal GTK message dialog for `style`, run until it is answered: IDOK.
int run_message_dialog(const std::string& text, const std::string& title, int style,
                       DialogPlacement placement);

class GtkMessageBox {
 public:
  // MessageBox(text, title, style): IDOK, the one button.
  int show(const std::string& text, const std::string& title, int style);

 private:
  bool gtk_ready();

  bool tried_ = false;  // GTK is started at the first box with a display, and only once
  bool ready_ = false;
};

// Lets GTK handle what is pending, when GTK has been started at all.
void process_pending_events();

}  // namespace posix
