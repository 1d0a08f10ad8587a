#pragma once
// The browser control on Linux: a WebKitWebView, made when it is first needed: for Navigate, or, when
// its automation object answered a NewWindow2, related to the requesting view as WebKit asks.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <string>

#include "launcher/gtk/gobject_ptr.h"
#include "launcher/window_system.h"

namespace sorvanta::gtk {

class GtkFormWindow;
class GtkWindowSystem;

class WebKitBrowser : public Browser {
 public:
  WebKitBrowser(GtkFormWindow& window, const ControlDesign& design);
  ~WebKitBrowser() override;

  // The view, or nullptr before it is needed.
  WebKitWebView* view() const { return view_.get(); }

 protected:
  void do_move(int left, int top, int width, int height) override;
  void do_set_focus() override;
  void do_navigate(const std::string& url) override;
  void do_set_register_as_browser(bool value) override;
  Automation do_automation() override;
  void do_exec_wb(std::int32_t cmd_id, std::int32_t exec_opt, std::int16_t in, std::int16_t out) override;

 private:
  // Makes the view: a new page in the program's web context, or one related to `requester`.
  WebKitWebView* make_view(WebKitWebView* requester);
  void print(bool prompt);
  // A new-window request no launcher window took.
  void open_outside(WebKitWebView* view, const std::string& uri);
  static GtkWidget* on_create(WebKitWebView* view, WebKitNavigationAction* action, gpointer self);
  void report_address(WebKitWebView* view);
  static void on_title(WebKitWebView* view, GParamSpec* pspec, gpointer self);
  static void on_load_changed(WebKitWebView* view, WebKitLoadEvent event, gpointer self);

  // The window is gone before its controls: only system_ may be used when the browser goes.
  GtkFormWindow& form_window_;
  GtkWindowSystem& system_;
  GObjectPtr<WebKitWebView> view_;
  SignalConnection title_signal_;
  SignalConnection create_signal_;
  SignalConnection load_signal_;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool focus_pending_ = false;
};

}  // namespace sorvanta::gtk
