#include "posix/message_box.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace posix {
namespace {

struct WidgetDestroyer {
  void operator()(GtkWidget* widget) const { gtk_widget_destroy(widget); }
};
using DialogHandle = std::unique_ptr<GtkWidget, WidgetDestroyer>;

GtkMessageType message_type(int style) {
  switch (style & kMbIconMask) {
    case kMbIconError:
      return GTK_MESSAGE_ERROR;
    case kMbIconQuestion:
      return GTK_MESSAGE_QUESTION;
    case kMbIconWarning:
      return GTK_MESSAGE_WARNING;
    case kMbIconInformation:
      return GTK_MESSAGE_INFO;
    default:
      return GTK_MESSAGE_OTHER;
  }
}

GtkButtonsType buttons(int style) {
  switch (style & kMbButtonsMask) {
    case kMbOkCancel:
      return GTK_BUTTONS_OK_CANCEL;
    case kMbYesNo:
      return GTK_BUTTONS_YES_NO;
    default:
      return GTK_BUTTONS_OK;
  }
}

// A closed window answers as its box's cancelling button would; an OK-only box has just OK.
int result(gint response, int style) {
  switch (response) {
    case GTK_RESPONSE_OK:
      return kIdOk;
    case GTK_RESPONSE_YES:
      return kIdYes;
    case GTK_RESPONSE_NO:
      return kIdNo;
    case GTK_RESPONSE_CANCEL:
      return kIdCancel;
    default:
      return (style & kMbButtonsMask) == kMbOkCancel ? kIdCancel
             : (style & kMbButtonsMask) == kMbYesNo  ? kIdNo
                                                     : kIdOk;
  }
}

int write_line(const std::string& text, const std::string& title, int style) {
  std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
  std::fflush(stderr);
  return result(GTK_RESPONSE_OK, style);
}

}  // namespace

int run_message_dialog(const std::string& text, const std::string& title, int style,
                       DialogPlacement placement) {
  const DialogHandle dialog(gtk_message_dialog_new(placement.parent, GTK_DIALOG_MODAL, message_type(style),
                                                   buttons(style), "%s", text.c_str()));
  gtk_window_set_title(GTK_WINDOW(dialog.get()), title.c_str());
  if (placement.parent == nullptr) gtk_window_set_position(GTK_WINDOW(dialog.get()), GTK_WIN_POS_CENTER);
  if (placement.keep_above) gtk_window_set_keep_above(GTK_WINDOW(dialog.get()), TRUE);
  const gint response = gtk_dialog_run(GTK_DIALOG(dialog.get()));
  return result(response, style);
}

bool display_named() {
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return true;
  }
  return false;
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
  return write_line(text, title, style);  // no display, or one that can't be opened
}

void process_pending_events() {
  if (gdk_display_get_default() == nullptr) return;  // GTK not started: nothing can be pending
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

}  // namespace posix
