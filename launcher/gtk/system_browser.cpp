#include "launcher/gtk/system_browser.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string_view>

#include "launcher/gtk/gobject_ptr.h"

namespace sorvanta::gtk {

namespace {

constexpr std::array<std::string_view, 3> kPageFiles = {"htm", "html", "xhtml"};
constexpr std::array<std::string_view, 5> kServerPages = {"shtml", "php", "asp", "aspx", "jsp"};

template <std::size_t N>
bool listed(const std::array<std::string_view, N>& list, const std::string& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

std::string lower(const char* text) {
  std::string lowered = text != nullptr ? text : "";
  for (char& c : lowered) c = g_ascii_tolower(c);
  return lowered;
}

// The extension of the last name in an address's path, in lower case; "" when it has none.
std::string extension(const char* path) {
  const std::string name = lower(path).substr(std::string_view(path).rfind('/') + 1);
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? "" : name.substr(dot + 1);
}

}  // namespace

bool opens_in_system_browser(const std::string& uri) {
  const ParsedUri parsed = parse_uri(uri);
  if (!parsed) return false;
  const std::string scheme = lower(g_uri_get_scheme(parsed.get()));
  const std::string type = extension(g_uri_get_path(parsed.get()));
  if (scheme == "file") return listed(kPageFiles, type);
  if (scheme != "http" && scheme != "https") return false;
  const char* host = g_uri_get_host(parsed.get());
  if (host == nullptr || *host == '\0') return false;
  return type.empty() || listed(kPageFiles, type) || listed(kServerPages, type);
}

void open_in_system_browser(const std::string& uri, GdkDisplay* display) {
  // The browser, not whatever opens the file's type: a file address goes to the http handler too.
  const char* scheme = g_str_has_prefix(uri.c_str(), "https:") ? "https" : "http";
  auto browser = GObjectPtr<GAppInfo>::adopt(g_app_info_get_default_for_uri_scheme(scheme));
  if (!browser)
    throw std::runtime_error(std::string("nessun browser predefinito per gli indirizzi ") + scheme);
  auto context = GObjectPtr<GdkAppLaunchContext>::adopt(gdk_display_get_app_launch_context(display));
  GList uris{const_cast<char*>(uri.c_str()), nullptr, nullptr};
  GError* error = nullptr;
  if (!g_app_info_launch_uris(browser.get(), &uris, G_APP_LAUNCH_CONTEXT(context.get()), &error)) {
    const std::string reason = error->message;
    g_error_free(error);
    throw std::runtime_error(reason);
  }
}

}  // namespace sorvanta::gtk
