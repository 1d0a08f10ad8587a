// The engine's floor: the least a program can do to show a page with WebKitGTK. One GTK window holding
// one WebKitWebView with default settings, loading the page given on the command line; a page's
// request for a new window gets one more such window. Sorvanta is measured against it, so it has the
// launcher's window sizes (592 x 391 and 641 x 497 pixels of browser) and nothing else.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdio>

namespace {

constexpr int kMainWidth = 592;
constexpr int kMainHeight = 391;
constexpr int kPopupWidth = 641;
constexpr int kPopupHeight = 497;

GtkWidget* window_around(GtkWidget* view, int width, int height) {
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), width, height);
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
  gtk_container_add(GTK_CONTAINER(window), view);
  return window;
}

void show_popup(WebKitWebView* view, gpointer /*unused*/) {
  gtk_widget_show_all(gtk_widget_get_toplevel(GTK_WIDGET(view)));
}

GtkWidget* create_popup(WebKitWebView* requester, WebKitNavigationAction* /*action*/, gpointer /*unused*/) {
  GtkWidget* view = webkit_web_view_new_with_related_view(requester);
  window_around(view, kPopupWidth, kPopupHeight);
  g_signal_connect(view, "ready-to-show", G_CALLBACK(show_popup), nullptr);
  return view;
}

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: bare_window PAGE\n");
    return 2;
  }
  GFile* page = g_file_new_for_commandline_arg(argv[1]);
  gchar* uri = g_file_get_uri(page);
  g_object_unref(page);

  GtkWidget* view = webkit_web_view_new();
  GtkWidget* window = window_around(view, kMainWidth, kMainHeight);
  g_signal_connect(view, "create", G_CALLBACK(create_popup), nullptr);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), uri);
  g_free(uri);
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}
