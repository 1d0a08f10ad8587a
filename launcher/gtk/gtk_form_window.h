#pragma once
// A window on Linux: a GtkWindow whose client area is a GtkLayout, so children sit at pixel positions,
// are clipped by the window and never make it grow. The outer size is the client area plus the frame
// of the design, so every platform fits its browser alike whatever the window manager draws.
#include <gtk/gtk.h>

#include <memory>
#include <string>

#include "launcher/gtk/gobject_ptr.h"
#include "launcher/window_system.h"

namespace sorvanta::gtk {

class GtkWindowSystem;

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

}  // namespace sorvanta::gtk
