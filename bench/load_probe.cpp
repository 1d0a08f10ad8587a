// A GTK module that process_bench loads into the program it measures (GTK_MODULES), so that Sorvanta
// and the bare window are observed the same way without a line of measuring code in either.
//
// It writes one line to the file descriptor named by VELTRANO_PROBE_FD for each web view's first
// finished load: "load INDEX NANOSECONDS URI", views numbered in the order they first load, times on
// CLOCK_MONOTONIC (the harness's clock). With VELTRANO_PROBE_CLICK set it then clicks once, through
// the X server's test extension, in the middle of the first view, and reports "click NANOSECONDS" just
// before.
#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <ctime>
#include <string>

namespace {

int report_fd = -1;
bool click_wanted = false;
int views_loaded = 0;

long long now_ns() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

void report(const std::string& line) {
  const std::string text = line + "\n";
  if (write(report_fd, text.data(), text.size()) < 0) std::perror("load_probe");
}

// A real click through the X server's test extension: events sent to a window by the client itself
// are not taken for user input.
gboolean click_in_view(gpointer data) {
  auto* view = static_cast<GtkWidget*>(data);
  GdkWindow* window = gtk_widget_get_window(view);
  GtkAllocation area{};
  gtk_widget_get_allocation(view, &area);
  int x = area.width / 2;
  int y = area.height / 2;
  if (!gtk_widget_get_has_window(view)) {
    x += area.x;
    y += area.y;
  }
  int origin_x = 0;
  int origin_y = 0;
  gdk_window_get_origin(window, &origin_x, &origin_y);
  Display* display = GDK_WINDOW_XDISPLAY(window);
  report("click " + std::to_string(now_ns()));
  XTestFakeMotionEvent(display, -1, origin_x + x, origin_y + y, CurrentTime);
  XTestFakeButtonEvent(display, 1, True, CurrentTime);
  XTestFakeButtonEvent(display, 1, False, CurrentTime);
  XFlush(display);
  g_object_unref(view);
  return G_SOURCE_REMOVE;
}

gboolean on_load_changed(GSignalInvocationHint* /*hint*/, guint n_values, const GValue* values,
                         gpointer /*data*/) {
  if (n_values < 2) return TRUE;
  auto* view = WEBKIT_WEB_VIEW(g_value_get_object(&values[0]));
  if (g_value_get_enum(&values[1]) != WEBKIT_LOAD_FINISHED) return TRUE;
  if (g_object_get_data(G_OBJECT(view), "load-probe-seen") != nullptr) return TRUE;
  g_object_set_data(G_OBJECT(view), "load-probe-seen", GINT_TO_POINTER(1));
  const long long t = now_ns();
  const char* uri = webkit_web_view_get_uri(view);
  const int index = views_loaded++;
  report("load " + std::to_string(index) + " " + std::to_string(t) + " " + (uri != nullptr ? uri : ""));
  // Let the first frame reach the screen before the click, as a user's would.
  if (index == 0 && click_wanted) g_timeout_add(100, click_in_view, g_object_ref(view));
  return TRUE;
}

}  // namespace

extern "C" G_MODULE_EXPORT void gtk_module_init(gint* /*argc*/, gchar*** /*argv*/) {
  const char* fd = g_getenv("VELTRANO_PROBE_FD");
  if (fd == nullptr) return;
  report_fd = static_cast<int>(g_ascii_strtoll(fd, nullptr, 10));
  click_wanted = g_getenv("VELTRANO_PROBE_CLICK") != nullptr;
  // The web and network processes must not load the probe too.
  g_unsetenv("GTK_MODULES");
  g_unsetenv("VELTRANO_PROBE_FD");
  // The class must exist before its signals can be looked up; it stays for the program's life.
  g_type_class_ref(WEBKIT_TYPE_WEB_VIEW);
  const guint signal = g_signal_lookup("load-changed", WEBKIT_TYPE_WEB_VIEW);
  g_signal_add_emission_hook(signal, 0, on_load_changed, nullptr, nullptr);
}
