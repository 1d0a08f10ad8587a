#include "posix/message_box.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace posix {
namespace {

// A message box's style (MessageBox's numbers): OK is the one button the programs' boxes have; the
// icon is an error's or an information's.
constexpr int kMbIconMask = 0xF0;
constexpr int kMbIconError = 16;
constexpr int kMbIconInformation = 64;
// The answer of an OK box, however it was closed.
constexpr int kIdOk = 1;

struct WidgetDestroyer {
  void operator()(GtkWidget* widget) const { gtk_widget_destroy(widget); }
};
using DialogHandle = std::unique_ptr<GtkWidget, WidgetDestroyer>;

// The icon of a box's style: the two the programs show, else none.
GtkMessageType message_type(int style) {
  switch (style & kMbIconMask) {
    case kMbIconError:
      return GTK_MESSAGE_ERROR;
    case kMbIconInformation:
      return GTK_MESSAGE_INFO;
    default:
      return GTK_MESSAGE_OTHER;
  }
}

int write_line(const std::string& text, const std::string& title) {
  std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
  std::fflush(stderr);
  return kIdOk;
}

// Whether the environment names a display (DISPLAY or WAYLAND_DISPLAY set and not empty).
bool display_named() {
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return true;
  }
  return false;
}

}  // namespace

int run_message_dialog(const std::string& text, const std::string& title, int style,
                       DialogPlacement placement) {
  const DialogHandle dialog(gtk_message_dialog_new(placement.parent, GTK_DIALOG_MODAL, message_type(style),
                                                   GTK_BUTTONS_OK, "%s", text.c_str()));
  gtk_window_set_title(GTK_WINDOW(dialog.get()), title.c_str());
  if (placement.parent == nullptr) gtk_window_set_position(GTK_WINDOW(dialog.get()), GTK_WIN_POS_CENTER);
  if (placement.keep_above) gtk_window_set_keep_above(GTK_WINDOW(dialog.get()), TRUE);
  gtk_dialog_run(GTK_DIALOG(dialog.get()));  // closing it from its frame answers OK too: the only button
  return kIdOk;
}

bool GtkMessageBox::gtk_ready() {
  if (!tried_) {
    tried_ = true;
    ready_ = gdk_display_get_default() != nullptr || gtk_init_check(nullptr, nullptr);
  }
  return ready_;
}

int GtkMessageBox::show(const std::string& text, const std::string& title, int style) {
  if (display_named() && gtk_ready()) return run_message_dialog(text, title, style, {nullptr, true});
  return write_line(text, title);  // no display, or one that can't be opened
}

void process_pending_events() {
  if (gdk_display_get_default() == nullptr) return;  // GTK not started: nothing can be pending
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

}  // namespace posix
