#include "launcher/gtk/gtk_form_window.h"

#include <utility>

#include "launcher/gtk/gtk_push_button.h"
#include "launcher/gtk/gtk_window_system.h"
#include "launcher/gtk/webkit_browser.h"

namespace sorvanta::gtk {

GtkFormWindow::GtkFormWindow(GtkWindowSystem& system, const WindowDesign& design)
    : Window(system, design),
      gtk_system_(system),
      window_(gtk_window_new(GTK_WINDOW_TOPLEVEL)),
      layout_(gtk_layout_new(nullptr, nullptr)),
      frame_{system.pixels_x(static_cast<Single>(design.width - design.client_width)),
             system.pixels_y(static_cast<Single>(design.height - design.client_height))},
      client_{system.pixels_x(static_cast<Single>(design.client_width)),
              system.pixels_y(static_cast<Single>(design.client_height))} {
  GtkWindow* w = toplevel();
  gtk_container_add(GTK_CONTAINER(w), layout_.get());
  gtk_widget_show(layout_.get());
  switch (design.border_style) {
    case BorderStyle::none:
      gtk_window_set_decorated(w, FALSE);
      [[fallthrough]];
    case BorderStyle::fixed_single:
      gtk_window_set_resizable(w, FALSE);
      gtk_widget_set_size_request(layout_.get(), client_.width, client_.height);
      break;
    case BorderStyle::sizable:
      gtk_window_set_default_size(w, client_.width, client_.height);
      break;
  }
  gtk_window_set_deletable(w, design.control_box ? TRUE : FALSE);
  if (design.centred) gtk_window_set_position(w, GTK_WIN_POS_CENTER);
  if (design.icon && system.icon() != nullptr) gtk_window_set_icon(w, system.icon());

  delete_signal_ = SignalConnection(w, "delete-event", G_CALLBACK(on_delete), this);
  active_signal_ = SignalConnection(w, "notify::is-active", G_CALLBACK(on_active), this);
  state_signal_ = SignalConnection(w, "window-state-event", G_CALLBACK(on_state), this);
  allocate_signal_ = SignalConnection(layout_.get(), "size-allocate", G_CALLBACK(on_allocate), this);
}

GtkFormWindow::~GtkFormWindow() {
  GtkFormWindow::do_destroy();  // this class's own: a destructor binds no override
}

std::unique_ptr<Browser> GtkFormWindow::do_create_browser(const ControlDesign& design) {
  return std::make_unique<WebKitBrowser>(*this, design);
}

std::unique_ptr<CommandButton> GtkFormWindow::do_create_button(const ControlDesign& design) {
  return std::make_unique<GtkPushButton>(*this, design);
}

void GtkFormWindow::do_set_caption(const std::string& text) {
  gtk_window_set_title(toplevel(), text.c_str());
}

Window::PixelSize GtkFormWindow::do_outer_size() const {
  return {client_.width + frame_.width, client_.height + frame_.height};
}

void GtkFormWindow::do_show() {
  gtk_widget_show(window_.get());
}

void GtkFormWindow::do_destroy() {
  if (native_gone_) return;
  native_gone_ = true;
  delete_signal_.disconnect();
  active_signal_.disconnect();
  state_signal_.disconnect();
  allocate_signal_.disconnect();
  if (resize_source_ != 0) g_source_remove(std::exchange(resize_source_, 0));
  gtk_widget_destroy(window_.get());
}

gboolean GtkFormWindow::on_delete(GtkWidget*, GdkEvent*, gpointer self) {
  static_cast<GtkFormWindow*>(self)->raise_close_request(UnloadMode::form_control_menu);
  return TRUE;  // the window goes only if its handlers let it, through do_destroy()
}

void GtkFormWindow::on_active(GtkWindow* window, GParamSpec*, gpointer self) {
  if (gtk_window_is_active(window)) static_cast<GtkFormWindow*>(self)->raise_activate();
}

void GtkFormWindow::on_allocate(GtkWidget*, GdkRectangle* allocation, gpointer self) {
  auto* form = static_cast<GtkFormWindow*>(self);
  if (allocation->width == form->client_.width && allocation->height == form->client_.height) return;
  form->client_ = {allocation->width, allocation->height};
  // GTK drops size requests made while it allocates: the handler runs once the allocation is over.
  if (form->resize_source_ == 0) form->resize_source_ = g_idle_add(on_resized, form);
}

gboolean GtkFormWindow::on_resized(gpointer self) {
  auto* form = static_cast<GtkFormWindow*>(self);
  form->resize_source_ = 0;
  form->raise_resize();
  return G_SOURCE_REMOVE;
}

gboolean GtkFormWindow::on_state(GtkWidget*, GdkEventWindowState* event, gpointer self) {
  // Minimising and restoring are size changes too, though the client area keeps its pixels.
  auto* form = static_cast<GtkFormWindow*>(self);
  if ((event->changed_mask & GDK_WINDOW_STATE_ICONIFIED) != 0 && form->resize_source_ == 0) {
    form->resize_source_ = g_idle_add(on_resized, form);
  }
  return FALSE;
}

}  // namespace sorvanta::gtk
