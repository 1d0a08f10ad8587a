#pragma once
// The window system on Linux: GTK 3 windows and WebKitGTK 4.1 views.
//
// A window is a GtkWindow whose client area is a GtkLayout: children sit at pixel positions, are
// clipped by the window and never make it grow. The outer size is the client area plus the frame of
// the design, so every platform fits its browser alike whatever the window manager draws.
// A browser's WebKitWebView is made when it is first needed: for Navigate, or, when its automation
// object answered a NewWindow2, related to the requesting view as WebKit asks.
#include <dirent.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "launcher/gtk/gobject_ptr.h"
#include "launcher/window_system.h"

namespace sorvanta::gtk {

class GtkWindowSystem;
class GtkFormWindow;

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
  friend class GtkWindowSystem;
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

class GtkPushButton : public CommandButton {
 public:
  GtkPushButton(GtkFormWindow& window, const ControlDesign& design);
  GtkWidget* widget() const { return button_.get(); }

 protected:
  void do_move(int left, int top, int width, int height) override;
  void do_set_focus() override;
  void do_set_caption(const std::string& text) override;

 private:
  static void on_clicked(GtkButton* button, gpointer self);

  GtkFormWindow& form_window_;
  GObjectPtr<GtkWidget> button_;
  SignalConnection clicked_signal_;
};

class GtkFormWindow : public Window {
 public:
  GtkFormWindow(GtkWindowSystem& system, const WindowDesign& design);
  ~GtkFormWindow() override;

  GtkWindow* toplevel() const { return GTK_WINDOW(window_.get()); }
  // The client area: every control is a child of it.
  GtkLayout* client_area() const { return GTK_LAYOUT(layout_.get()); }
  GtkWindowSystem& gtk_system() const { return gtk_system_; }

 protected:
  std::unique_ptr<Browser> do_create_browser(const ControlDesign& design) override;
  std::unique_ptr<CommandButton> do_create_button(const ControlDesign& design) override;
  void do_set_caption(const std::string& text) override;
  PixelSize do_outer_size() const override;
  void do_show() override;
  void do_destroy() override;

 private:
  static gboolean on_delete(GtkWidget* widget, GdkEvent* event, gpointer self);
  static void on_active(GtkWindow* window, GParamSpec* pspec, gpointer self);
  static void on_allocate(GtkWidget* widget, GdkRectangle* allocation, gpointer self);
  static gboolean on_state(GtkWidget* widget, GdkEventWindowState* event, gpointer self);
  static gboolean on_resized(gpointer self);

  GtkWindowSystem& gtk_system_;
  GObjectPtr<GtkWidget> window_;
  GObjectPtr<GtkWidget> layout_;
  PixelSize frame_;   // outer size less client area, as designed
  PixelSize client_;  // last client size reported
  bool native_gone_ = false;
  guint resize_source_ = 0;  // a Resize waiting for the allocation to end
  SignalConnection delete_signal_, active_signal_, allocate_signal_, state_signal_;
};

class GtkWindowSystem : public WindowSystem {
 public:
  // GTK must be initialised on a display first (make_platform_window_system() does it).
  GtkWindowSystem();
  ~GtkWindowSystem() override;

  // The program's icon, or nullptr when it can't be decoded.
  GdkPixbuf* icon() const { return icon_.get(); }
  WebKitWebContext* web_context() const { return web_context_.get(); }
  WebKitSettings* web_settings() const { return web_settings_.get(); }

  // The live browser behind an automation object this system handed out, or nullptr.
  WebKitBrowser* browser_from(Automation automation) const;
  void register_browser(WebKitBrowser& browser) { browsers_.insert(&browser); }
  void unregister_browser(WebKitBrowser& browser) { browsers_.erase(&browser); }

  // The URI WebKit loads for an address handed to Navigate. A folder whose name WebKit cannot take
  // is opened and stays open for the program's life, so that its pages and their links load.
  std::string loadable_uri(const std::string& address);

 protected:
  TwipsPerPixel do_twips_per_pixel() const override;
  std::unique_ptr<Window> do_create_window(const WindowDesign& design) override;
  std::string do_app_path() override;
  int do_message_box(const std::string& text, const std::string& title, int style) override;
  void do_run() override;
  void do_quit() override;

 private:
  GObjectPtr<GdkPixbuf> icon_;
  GObjectPtr<WebKitWebContext> web_context_;
  GObjectPtr<WebKitSettings> web_settings_;
  GObjectPtr<GtkCssProvider> css_;
  std::unique_ptr<GMainLoop, void (*)(GMainLoop*)> loop_;
  std::set<WebKitBrowser*> browsers_;
  struct CloseFolder {
    void operator()(DIR* folder) const { closedir(folder); }
  };
  std::vector<std::unique_ptr<DIR, CloseFolder>> open_folders_;
};

}  // namespace sorvanta::gtk
