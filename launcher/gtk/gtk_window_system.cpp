#include "launcher/gtk/gtk_window_system.h"

#include <cstddef>
#include <cstdio>
#include <stdexcept>
#include <system_error>

#include "launcher/gtk/gtk_form_window.h"
#include "launcher/gtk/webkit_browser.h"
#include "posix/folders.h"
#include "posix/message_box.h"

extern const unsigned char sorvanta_icon_png[];
extern const std::size_t sorvanta_icon_png_size;

namespace sorvanta::gtk {

namespace {

// Push buttons as the designs draw them: small, with their caption inside their few pixels.
constexpr const char* kCss =
    "button.sorvanta-command { min-height: 0; min-width: 0; padding: 0 2px; font-size: 8pt; }";

GObjectPtr<GdkPixbuf> decode_icon() {
  auto loader = GObjectPtr<GdkPixbufLoader>::adopt(gdk_pixbuf_loader_new_with_type("png", nullptr));
  if (!loader) return {};
  const bool written =
      gdk_pixbuf_loader_write(loader.get(), sorvanta_icon_png, sorvanta_icon_png_size, nullptr);
  const bool closed = gdk_pixbuf_loader_close(loader.get(), nullptr);
  if (!written || !closed) return {};
  return GObjectPtr<GdkPixbuf>(gdk_pixbuf_loader_get_pixbuf(loader.get()));
}

}  // namespace

GtkWindowSystem::GtkWindowSystem()
    : icon_(decode_icon()),
      // Nothing of the pages' browsing is kept on disk: the launcher writes no file.
      web_context_(GObjectPtr<WebKitWebContext>::adopt(webkit_web_context_new_ephemeral())),
      web_settings_(GObjectPtr<WebKitSettings>::adopt(webkit_settings_new())),
      css_(GObjectPtr<GtkCssProvider>::adopt(gtk_css_provider_new())),
      loop_(g_main_loop_new(nullptr, FALSE), g_main_loop_unref) {
  // Pages open windows from script without a click, as the Windows control lets them.
  webkit_settings_set_javascript_can_open_windows_automatically(web_settings_.get(), TRUE);
  // A static catalogue needs no GPU compositing; without it the web process keeps no GL surfaces and
  // needs about 60 MB less (bench/RESULTS.md).
  webkit_settings_set_hardware_acceleration_policy(web_settings_.get(),
                                                   WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  // Message boxes and the print dialog carry the program's icon too.
  if (icon_) gtk_window_set_default_icon(icon_.get());
  gtk_css_provider_load_from_data(css_.get(), kCss, -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css_.get()),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

GtkWindowSystem::~GtkWindowSystem() {
  destroy_windows();
  gtk_style_context_remove_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css_.get()));
}

WebKitBrowser* GtkWindowSystem::browser_from(Automation automation) const {
  auto* candidate = static_cast<WebKitBrowser*>(automation.get());
  return browsers_.contains(candidate) ? candidate : nullptr;
}

WindowSystem::TwipsPerPixel GtkWindowSystem::do_twips_per_pixel() const {
  double dpi = gdk_screen_get_resolution(gdk_screen_get_default());
  if (dpi <= 0) dpi = 96;
  const auto tpp = static_cast<Single>(1440.0 / dpi);
  return {tpp, tpp};
}

std::unique_ptr<Window> GtkWindowSystem::do_create_window(const WindowDesign& design) {
  return std::make_unique<GtkFormWindow>(*this, design);
}

std::string GtkWindowSystem::do_app_path() {
  try {
    return ::posix::executable_folder();
  } catch (const std::system_error& error) {
    throw RunError::described(kMethodFailed,
                              "Impossibile leggere il percorso del programma: " + error.code().message());
  }
}

int GtkWindowSystem::do_message_box(const std::string& text, const std::string& title, int style) {
  if ((style & 0x0F) != kVbOkOnly) throw RunError(kInvalidArgument);
  Window* active = active_window();
  GtkWindow* parent = nullptr;
  if (active != nullptr && active->visible()) parent = static_cast<GtkFormWindow*>(active)->toplevel();
  // Closing it from its frame answers OK too: it is the only button.
  ::posix::run_message_dialog(text, title, style, {parent, false});
  return kVbOk;
}

void GtkWindowSystem::do_run() {
  g_main_loop_run(loop_.get());
}

void GtkWindowSystem::do_quit() {
  g_main_loop_quit(loop_.get());
}

}  // namespace sorvanta::gtk

namespace sorvanta {

std::unique_ptr<WindowSystem> make_platform_window_system() {
  if (!gtk_init_check(nullptr, nullptr))
    throw std::runtime_error("nessuno schermo su cui aprire le finestre");
  return std::make_unique<gtk::GtkWindowSystem>();
}

// GTK fails only without a screen: there is nowhere to show a box.
void report_without_window_system(const std::string& text, const std::string& title) {
  std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
}

}  // namespace sorvanta
