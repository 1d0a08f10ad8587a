#include "launcher/gtk/gtk_window_system.h"
#include "launcher/gtk/navigation_uri.h"

namespace sorvanta::gtk {

WebKitBrowser::WebKitBrowser(GtkFormWindow& window, const ControlDesign& design)
    : Browser(window, design), form_window_(window), system_(window.gtk_system()) {
  system_.register_browser(*this);
}

WebKitBrowser::~WebKitBrowser() {
  title_signal_.disconnect();
  create_signal_.disconnect();
  load_signal_.disconnect();
  system_.unregister_browser(*this);
}

WebKitWebView* WebKitBrowser::make_view(WebKitWebView* requester) {
  GtkWidget* made = requester != nullptr
                        ? webkit_web_view_new_with_related_view(requester)
                        : GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", system_.web_context(),
                                                  "settings", system_.web_settings(), nullptr));
  view_ = GObjectPtr<WebKitWebView>(WEBKIT_WEB_VIEW(made));
  GtkWidget* widget = GTK_WIDGET(view_.get());
  gtk_widget_set_size_request(widget, width_, height_);
  gtk_layout_put(form_window_.client_area(), widget, left_, top_);
  gtk_widget_show(widget);
  title_signal_ = SignalConnection(widget, "notify::title", G_CALLBACK(on_title), this);
  create_signal_ = SignalConnection(widget, "create", G_CALLBACK(on_create), this);
  load_signal_ = SignalConnection(widget, "load-changed", G_CALLBACK(on_load_changed), this);
  if (focus_pending_) {
    focus_pending_ = false;
    gtk_widget_grab_focus(widget);
  }
  return view_.get();
}

void WebKitBrowser::do_move(int left, int top, int width, int height) {
  left_ = left, top_ = top, width_ = width, height_ = height;
  if (!view_) return;
  GtkWidget* widget = GTK_WIDGET(view_.get());
  gtk_widget_set_size_request(widget, width, height);
  gtk_layout_move(form_window_.client_area(), widget, left, top);
}

void WebKitBrowser::do_set_focus() {
  // A pop-up's page comes only once NewWindow2 has returned; it gets the focus as it arrives.
  if (view_) {
    gtk_widget_grab_focus(GTK_WIDGET(view_.get()));
  } else {
    focus_pending_ = true;
  }
}

void WebKitBrowser::do_navigate(const std::string& url) {
  if (!view_) make_view(nullptr);
  webkit_web_view_load_uri(view_.get(), navigation_uri(url).c_str());
}

// WebKit keeps no registry of top-level browsers to put this in: named targets are found through
// the related views, which the pop-ups are.
void WebKitBrowser::do_set_register_as_browser(bool) {}

Automation WebKitBrowser::do_automation() {
  return Automation{this};
}

void WebKitBrowser::do_exec_wb(std::int32_t cmd_id, std::int32_t exec_opt, std::int16_t, std::int16_t) {
  if (cmd_id != kOleCmdIdPrint) throw RunError(kCommandNotSupported);
  if (!view_) throw RunError(kMethodFailed);  // no page to print yet
  print(exec_opt != kOleCmdExecOptDontPromptUser);
}

void WebKitBrowser::print(bool prompt) {
  auto operation = GObjectPtr<WebKitPrintOperation>::adopt(webkit_print_operation_new(view_.get()));
  if (!prompt) {
    webkit_print_operation_print(operation.get());
  } else if (webkit_print_operation_run_dialog(operation.get(), form_window_.toplevel()) !=
             WEBKIT_PRINT_OPERATION_RESPONSE_PRINT) {
    return;
  }
  // Printing goes on after the dialog: the operation holds itself until it has finished.
  g_object_ref(operation.get());
  g_signal_connect(operation.get(), "finished",
                   G_CALLBACK(+[](WebKitPrintOperation* op, gpointer) { g_object_unref(op); }), nullptr);
}

GtkWidget* WebKitBrowser::on_create(WebKitWebView* view, WebKitNavigationAction*, gpointer self) {
  GtkWindowSystem& system = static_cast<WebKitBrowser*>(self)->system_;
  Automation pp_disp;
  bool cancel = false;
  static_cast<WebKitBrowser*>(self)->raise_new_window2(pp_disp, cancel);
  // The handler may have unloaded windows, this one included: only look up what still lives.
  WebKitBrowser* target = system.browser_from(pp_disp);
  if (cancel || target == nullptr || target->view_ || target->window().unloaded())
    return nullptr;  // WebKit opens nothing then
  return GTK_WIDGET(target->make_view(view));
}

void WebKitBrowser::on_title(WebKitWebView* view, GParamSpec*, gpointer self) {
  // No title at all is no title change: a page without one is reported once it has loaded.
  const gchar* title = webkit_web_view_get_title(view);
  if (title != nullptr) static_cast<WebKitBrowser*>(self)->raise_title_change(title);
}

void WebKitBrowser::on_load_changed(WebKitWebView* view, WebKitLoadEvent event, gpointer self) {
  // As the Windows control does, a document without a title is titled with its address.
  if (event != WEBKIT_LOAD_FINISHED || webkit_web_view_get_title(view) != nullptr) return;
  const gchar* uri = webkit_web_view_get_uri(view);
  static_cast<WebKitBrowser*>(self)->raise_title_change(uri != nullptr ? uri : "");
}

}  // namespace sorvanta::gtk
