// With a display, a message box is a modal GTK dialog with the icon its style asks for. Run under
// Xvfb; each dialog is answered from a timer, as a user would answer it.
#include <gtk/gtk.h>

#include <gtest/gtest.h>

#include "patch/posix/platform_system.h"

// GTK and fontconfig keep caches for the life of the process; they are not ours to free.
extern "C" const char* __lsan_default_options() {
  return "detect_leaks=0";
}

namespace {

struct SeenDialog {
  bool seen = false;
  GtkMessageType type = GTK_MESSAGE_OTHER;
  std::string title;
  std::string text;
  bool modal = false;
  gint answer = GTK_RESPONSE_OK;
};

// Finds the message dialog on screen, notes what it shows and answers it.
gboolean answer_dialog(gpointer data) {
  auto* seen = static_cast<SeenDialog*>(data);
  GList* windows = gtk_window_list_toplevels();
  for (GList* item = windows; item; item = item->next) {
    if (!GTK_IS_MESSAGE_DIALOG(item->data) || !gtk_widget_get_visible(GTK_WIDGET(item->data))) continue;
    GtkWindow* window = GTK_WINDOW(item->data);
    gchar* text = nullptr;
    g_object_get(window, "message-type", &seen->type, "text", &text, nullptr);
    seen->text = text ? text : "";
    g_free(text);
    seen->title = gtk_window_get_title(window) ? gtk_window_get_title(window) : "";
    seen->modal = gtk_window_get_modal(window);
    seen->seen = true;
    gtk_dialog_response(GTK_DIALOG(window), seen->answer);
  }
  g_list_free(windows);
  return seen->seen ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
}

int show_and_answer(ludrimex::System& system, const std::string& text, int style, SeenDialog& seen) {
  g_timeout_add(50, answer_dialog, &seen);
  return system.message_box(text, "Dastrel", style);
}

TEST(GtkMessageBox, ADialogWithTheIconOfItsStyle) {
  ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under xvfb-run";
  ludrimex::stand_in::PosixSystem system;

  SeenDialog error;
  EXPECT_EQ(
      show_and_answer(system, "Non hai installato il catalogo. La patch non può essere creata", 16, error),
      1);
  ASSERT_TRUE(error.seen);
  EXPECT_EQ(error.type, GTK_MESSAGE_ERROR);
  EXPECT_EQ(error.title, "Dastrel");
  EXPECT_EQ(error.text, "Non hai installato il catalogo. La patch non può essere creata");
  EXPECT_TRUE(error.modal);

  SeenDialog information;
  EXPECT_EQ(show_and_answer(system, "Patch installata con successo!", 64, information), 1);
  EXPECT_EQ(information.type, GTK_MESSAGE_INFO);

  // A window closed from its frame answers OK for an OK-only box.
  SeenDialog closed;
  closed.answer = GTK_RESPONSE_DELETE_EVENT;
  EXPECT_EQ(show_and_answer(system, "Testo", 0, closed), 1);
  EXPECT_EQ(closed.type, GTK_MESSAGE_OTHER);
}

TEST(GtkMessageBox, PendingEventsAreProcessedOnceGtkRuns) {
  ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under xvfb-run";
  ludrimex::stand_in::PosixSystem system;
  SeenDialog seen;
  show_and_answer(system, "Avvio", 64, seen);  // starts GTK, as the first box of a run does

  bool ran = false;
  g_idle_add(
      [](gpointer flag) -> gboolean {
        *static_cast<bool*>(flag) = true;
        return G_SOURCE_REMOVE;
      },
      &ran);
  system.do_events();
  EXPECT_TRUE(ran);
}

}  // namespace
