#pragma once
// The window system on Linux: GTK 3 windows and WebKitGTK 4.1 views (gtk_form_window.h,
// webkit_browser.h, gtk_push_button.h), and what they share: the icon, the web context and settings,
// the live browsers.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <memory>
#include <set>
#include <string>

#include "launcher/gtk/gobject_ptr.h"
#include "launcher/gtk/open_folders.h"
#include "launcher/window_system.h"

namespace sorvanta::gtk {

class WebKitBrowser;

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

  // The folders held open for the program's life, through which addresses WebKit can't take load.
  OpenFolders& open_folders() { return open_folders_; }

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
  OpenFolders open_folders_;
};

}  // namespace sorvanta::gtk
