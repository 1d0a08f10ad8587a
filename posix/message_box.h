#pragma once
// Message boxes as GTK dialogs: MessageBox's styles and answers mapped once onto GTK's, and the box
// the installer shows, which falls back to one line "TITLE: TEXT" on standard error, answered OK, when
// there is no display.
#include <gtk/gtk.h>

#include <string>

namespace posix {

// A message box's style: the buttons in the low bits, the icon above them (MessageBox's numbers).
inline constexpr int kMbButtonsMask = 0x0F;
inline constexpr int kMbIconMask = 0xF0;
inline constexpr int kMbOkCancel = 1;
inline constexpr int kMbYesNo = 4;
inline constexpr int kMbIconError = 16;
inline constexpr int kMbIconQuestion = 32;
inline constexpr int kMbIconWarning = 48;
inline constexpr int kMbIconInformation = 64;
// The button pressed.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// Where a parentless box stays: centred, and above other windows when `keep_above`.
struct DialogPlacement {
  GtkWindow* parent = nullptr;
  bool keep_above = false;
};

// A modal GTK message dialog for `style`, run until it is answered: the button pressed. Closing it
// from its frame answers as its cancelling button would; an OK-only box has just OK.
int run_message_dialog(const std::string& text, const std::string& title, int style,
                       DialogPlacement placement);

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

}  // namespace posix
