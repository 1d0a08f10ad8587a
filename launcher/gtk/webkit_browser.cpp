#include "launcher/gtk/webkit_browser.h"

#include <stdexcept>

#include "launcher/gtk/gtk_form_window.h"
#include "launcher/gtk/gtk_window_system.h"
#include "launcher/gtk/print_settings.h"
#include "launcher/gtk/system_browser.h"

namespace sorvanta::gtk {

namespace {

bool has_title(WebKitWebView* view) {
  const gchar* title = webkit_web_view_get_title(view);
  return title != nullptr && *title != '\0';
}

}  // namespace

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
  webkit_web_view_load_uri(view_.get(), system_.open_folders().loadable_uri(url).c_str());
}

// WebKit keeps no registry of top-level browsers to put this in: named targets are found through
// the related views, which the pop-ups are.
void WebKitBrowser::do_set_register_as_browser(bool) {}

Automation WebKitBrowser::do_automation() {
  return Automation{this};
}

void WebKitBrowser::do_exec_wb(std::int32_t cmd_id, std::int32_t exec_opt, std::int16_t, std::int16_t) {
  if (cmd_id != kOleCmdIdPrint) throw RunError(kCommandNotSupported);
  // No page yet, nothing to print: the request is dropped rather than failing the whole catalogue.
  if (!view_ || webkit_web_view_get_uri(view_.get()) == nullptr) return;
  print(exec_opt != kOleCmdExecOptDontPromptUser);
}

void WebKitBrowser::print(bool prompt) {
  const std::string printer = preselected_printer();
  // Listing the printers ran the event loop: the window may have gone meanwhile.
  if (window().unloaded() || system_.ending()) return;
  const gchar* title = webkit_web_view_get_title(view_.get());
  const gchar* uri = webkit_web_view_get_uri(view_.get());
  const auto settings = print_settings(
      printer, documents_folder(), print_file_name(title != nullptr ? title : "", uri != nullptr ? uri : ""));
  auto operation = GObjectPtr<WebKitPrintOperation>::adopt(webkit_print_operation_new(view_.get()));
  webkit_print_operation_set_print_settings(operation.get(), settings.get());
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

GtkWidget* WebKitBrowser::on_create(WebKitWebView* view, WebKitNavigationAction* action, gpointer self) {
  auto* browser = static_cast<WebKitBrowser*>(self);
  GtkWindowSystem& system = browser->system_;
  Automation pp_disp;
  bool cancel = false;
  browser->raise_new_window2(pp_disp, cancel);
  if (cancel || system.ending()) return nullptr;
  if (!pp_disp) {
    // No launcher window answers: the control's own default, the system's browser.
    const gchar* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    browser->open_outside(view, uri != nullptr ? uri : "");
    return nullptr;
  }
  // The handler may have unloaded windows, this one included: only look up what still lives.
  WebKitBrowser* target = system.browser_from(pp_disp);
  if (target == nullptr || target->view_ || target->window().unloaded())
    return nullptr;  // WebKit opens nothing
  return GTK_WIDGET(target->make_view(view));
}

void WebKitBrowser::open_outside(WebKitWebView* view, const std::string& uri) {
  if (!opens_in_system_browser(uri)) return;  // a page must not be able to start a program
  try {
    open_in_system_browser(uri, gtk_widget_get_display(GTK_WIDGET(view)));
  } catch (const std::runtime_error& e) {
    // The browser's failure, not the catalogue's: reported, and the catalogue goes on.
    system_.message_box("Impossibile aprire " + uri + " nel browser: " + e.what(), kProgramTitle,
                        kVbOkOnly + kVbCritical);
  }
}

// As the Windows control does, a document without a title, or with an empty one, is titled with its
// address.
void WebKitBrowser::report_address(WebKitWebView* view) {
  const gchar* uri = webkit_web_view_get_uri(view);
  raise_title_change(uri != nullptr ? uri : "");
}

void WebKitBrowser::on_title(WebKitWebView* view, GParamSpec*, gpointer self) {
  auto* browser = static_cast<WebKitBrowser*>(self);
  // WebKit empties the title as the next page comes; that page's own title or address follows.
  if (has_title(view)) {
    browser->raise_title_change(webkit_web_view_get_title(view));
  } else if (!webkit_web_view_is_loading(view)) {
    browser->report_address(view);
  }
}

void WebKitBrowser::on_load_changed(WebKitWebView* view, WebKitLoadEvent event, gpointer self) {
  if (event == WEBKIT_LOAD_FINISHED && !has_title(view))
    static_cast<WebKitBrowser*>(self)->report_address(view);
}

}  // namespace sorvanta::gtk
