#pragma once
// Driving the real GTK window system in-process: waiting on its events with a deadline, reading
// pages through script, clicking through the X server, answering dialogs.
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "launcher/gtk/gtk_form_window.h"
#include "launcher/gtk/gtk_window_system.h"
#include "launcher/gtk/webkit_browser.h"

namespace sorvanta::testing {

using namespace std::chrono_literals;

// A copy of the sample catalogue in a fresh folder named `folder_name`, inside this test's HOME.
std::filesystem::path make_catalogue(const std::string& folder_name);

// The GTK window system with its program folder set to a catalogue, recording every caption each
// window shows, from the one of creation on.
class TestWindowSystem : public gtk::GtkWindowSystem {
 public:
  explicit TestWindowSystem(std::filesystem::path program_folder) : folder_(std::move(program_folder)) {}

  // Captions in the order they reached the GtkWindow, by window ("frmVBP#2").
  std::map<std::string, std::vector<std::string>> captions;
  // Loaded windows of a design, in loading order.
  std::vector<gtk::GtkFormWindow*> loaded(const std::string& name) const;
  // The id under which `window`'s captions are recorded.
  std::string id_of(const gtk::GtkFormWindow& window) const;

 protected:
  std::string do_app_path() override { return folder_.string(); }
  std::unique_ptr<Window> do_create_window(const WindowDesign& design) override;

 private:
  std::filesystem::path folder_;
  std::map<std::string, int> instances_;
  std::map<const Window*, std::string> ids_;
};

// Runs the main context until `condition` holds or `timeout` passes; false on timeout.
bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 20s);

// Evaluates `script` in `view`'s page; its value as text ("" on error).
std::string evaluate(WebKitWebView* view, const std::string& script);

// Waits until `view` has finished loading its page (a document is there and nothing is loading).
bool wait_loaded(WebKitWebView* view, std::chrono::milliseconds timeout = 20s);

// A real left click through the X server at (x, y) of `widget`.
void click_at(GtkWidget* widget, int x, int y);

// The top-level windows of this process that are on screen.
std::vector<GtkWindow*> visible_toplevels();

// While it lives, answers every dialog of `type` that appears on screen with `response`, after
// handing it to `inspect`.
class DialogAnswerer {
 public:
  DialogAnswerer(GType type, int response, std::function<void(GtkDialog*)> inspect);
  ~DialogAnswerer();
  DialogAnswerer(const DialogAnswerer&) = delete;
  DialogAnswerer& operator=(const DialogAnswerer&) = delete;
  int answered() const { return answered_; }

 private:
  static gboolean on_map(GSignalInvocationHint*, guint, const GValue* values, gpointer self);
  static gboolean answer(gpointer self);
  GType type_;
  int response_;
  std::function<void(GtkDialog*)> inspect_;
  guint signal_;
  gulong hook_;
  std::vector<GtkDialog*> pending_;
  int answered_ = 0;
};

}  // namespace sorvanta::testing
