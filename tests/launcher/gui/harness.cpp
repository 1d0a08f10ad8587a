#include "tests/launcher/gui/harness.h"

#include <cstdlib>
#include <stdexcept>

namespace sorvanta::testing {

std::filesystem::path make_catalogue(const std::string& folder_name) {
  const std::filesystem::path folder = std::filesystem::path(std::getenv("HOME")) / folder_name;
  std::filesystem::remove_all(folder);  // left by an earlier test of this process
  std::filesystem::create_directories(folder.parent_path());
  std::filesystem::copy(VELTRANO_SOURCE_DIR "/examples/catalogo", folder,
                        std::filesystem::copy_options::recursive);
  return folder;
}

std::vector<gtk::GtkFormWindow*> TestWindowSystem::loaded(const std::string& name) const {
  std::vector<gtk::GtkFormWindow*> found;
  for (Window* w : windows()) {
    if (w->design().name == name) found.push_back(static_cast<gtk::GtkFormWindow*>(w));
  }
  return found;
}

std::string TestWindowSystem::id_of(const gtk::GtkFormWindow& window) const {
  return ids_.at(&window);
}

std::unique_ptr<Window> TestWindowSystem::do_create_window(const WindowDesign& design) {
  std::unique_ptr<Window> made = GtkWindowSystem::do_create_window(design);
  const std::string id = design.name + "#" + std::to_string(++instances_[design.name]);
  ids_[made.get()] = id;
  auto* toplevel = static_cast<gtk::GtkFormWindow&>(*made).toplevel();
  struct Recorder {
    static void on_title(GtkWindow* window, GParamSpec*, gpointer list) {
      const char* title = gtk_window_get_title(window);
      static_cast<std::vector<std::string>*>(list)->push_back(title != nullptr ? title : "");
    }
  };
  // The caption of creation comes right after this, through the seam: record from the first one.
  g_signal_connect(toplevel, "notify::title", G_CALLBACK(Recorder::on_title), &captions[id]);
  return made;
}

bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  // Wakes the blocking iteration at least this often, so the deadline is kept.
  const guint wake = g_timeout_add(
      50, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
  bool met = condition();
  while (!met && std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(nullptr, TRUE);
    met = condition();
  }
  g_source_remove(wake);
  return met;
}

std::string evaluate(WebKitWebView* view, const std::string& script) {
  struct Call {
    bool done = false;
    std::string value;
  } call;
  webkit_web_view_evaluate_javascript(
      view, script.c_str(), -1, nullptr, nullptr, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        auto* c = static_cast<Call*>(data);
        GError* error = nullptr;
        JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
        if (value != nullptr) {
          char* text = jsc_value_to_string(value);
          c->value = text;
          g_free(text);
          g_object_unref(value);
        }
        if (error != nullptr) g_error_free(error);
        c->done = true;
      },
      &call);
  if (!wait_until([&] { return call.done; })) throw std::runtime_error("script did not finish: " + script);
  return call.value;
}

bool wait_loaded(WebKitWebView* view, std::chrono::milliseconds timeout) {
  return wait_until(
      [view] { return webkit_web_view_get_uri(view) != nullptr && !webkit_web_view_is_loading(view); },
      timeout);
}

void click_at(GtkWidget* widget, int x, int y) {
  int root_x = 0, root_y = 0;
  gdk_window_get_origin(gtk_widget_get_window(widget), &root_x, &root_y);
  GtkAllocation allocation;
  gtk_widget_get_allocation(widget, &allocation);
  // A widget without a window of its own is placed within its parent's window.
  if (!gtk_widget_get_has_window(widget)) root_x += allocation.x, root_y += allocation.y;
  const std::string command = "xdotool mousemove --sync " + std::to_string(root_x + x) + " " +
                              std::to_string(root_y + y) + " click 1";
  gint status = 0;
  GError* error = nullptr;
  if (!g_spawn_command_line_sync(command.c_str(), nullptr, nullptr, &status, &error) || status != 0) {
    if (error != nullptr) g_error_free(error);
    throw std::runtime_error("xdotool failed: " + command);
  }
}

std::vector<GtkWindow*> visible_toplevels() {
  std::vector<GtkWindow*> found;
  GList* all = gtk_window_list_toplevels();
  for (GList* l = all; l != nullptr; l = l->next) {
    if (gtk_widget_get_visible(GTK_WIDGET(l->data))) found.push_back(GTK_WINDOW(l->data));
  }
  g_list_free(all);
  return found;
}

DialogAnswerer::DialogAnswerer(GType type, int response, std::function<void(GtkDialog*)> inspect)
    : type_(type),
      response_(response),
      inspect_(std::move(inspect)),
      signal_(g_signal_lookup("map", GTK_TYPE_WIDGET)) {
  hook_ = g_signal_add_emission_hook(signal_, 0, on_map, this, nullptr);
}

DialogAnswerer::~DialogAnswerer() {
  g_signal_remove_emission_hook(signal_, hook_);
  while (g_idle_remove_by_data(this)) {
  }
  for (GtkDialog* dialog : pending_) g_object_unref(dialog);
}

gboolean DialogAnswerer::on_map(GSignalInvocationHint*, guint, const GValue* values, gpointer self) {
  auto* answerer = static_cast<DialogAnswerer*>(self);
  GObject* instance = G_OBJECT(g_value_get_object(&values[0]));
  if (G_TYPE_CHECK_INSTANCE_TYPE(instance, answerer->type_)) {
    answerer->pending_.push_back(GTK_DIALOG(g_object_ref(instance)));
    g_idle_add(answer, answerer);  // not from inside the emission
  }
  return TRUE;
}

gboolean DialogAnswerer::answer(gpointer self) {
  auto* answerer = static_cast<DialogAnswerer*>(self);
  std::vector<GtkDialog*> dialogs = std::move(answerer->pending_);
  answerer->pending_.clear();
  for (GtkDialog* dialog : dialogs) {
    if (answerer->inspect_) answerer->inspect_(dialog);
    ++answerer->answered_;
    gtk_dialog_response(dialog, answerer->response_);
    g_object_unref(dialog);
  }
  return G_SOURCE_REMOVE;
}

}  // namespace sorvanta::testing
