#pragma once
// A push button on Linux: a GtkButton whose caption is cut rather than let it outgrow its design.
#include <gtk/gtk.h>

#include <string>

#include "launcher/gtk/gobject_ptr.h"
#include "launcher/window_system.h"

namespace sorvanta::gtk {

class GtkFormWindow;

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

}  // namespace sorvanta::gtk
