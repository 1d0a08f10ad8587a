#include "launcher/gtk/gtk_push_button.h"

#include "launcher/gtk/gtk_form_window.h"

namespace sorvanta::gtk {

GtkPushButton::GtkPushButton(GtkFormWindow& window, const ControlDesign& design)
    : CommandButton(window, design), form_window_(window), button_(gtk_button_new()) {
  GtkWidget* label = gtk_label_new(nullptr);
  // A caption longer than the button is cut rather than making the button outgrow its design.
  gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
  gtk_container_add(GTK_CONTAINER(button_.get()), label);
  gtk_style_context_add_class(gtk_widget_get_style_context(button_.get()), "sorvanta-command");
  gtk_layout_put(window.client_area(), button_.get(), 0, 0);
  gtk_widget_show_all(button_.get());
  clicked_signal_ = SignalConnection(button_.get(), "clicked", G_CALLBACK(on_clicked), this);
}

void GtkPushButton::do_move(int left, int top, int width, int height) {
  gtk_widget_set_size_request(button_.get(), width, height);
  gtk_layout_move(form_window_.client_area(), button_.get(), left, top);
}

void GtkPushButton::do_set_focus() {
  gtk_widget_grab_focus(button_.get());
}

void GtkPushButton::do_set_caption(const std::string& text) {
  gtk_label_set_text(GTK_LABEL(gtk_bin_get_child(GTK_BIN(button_.get()))), text.c_str());
}

void GtkPushButton::on_clicked(GtkButton*, gpointer self) {
  static_cast<GtkPushButton*>(self)->raise_click();
}

}  // namespace sorvanta::gtk
