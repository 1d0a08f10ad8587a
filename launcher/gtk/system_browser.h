#pragma once
// A page's request for a window that no launcher window answers goes to the system's browser, as
// the Windows control's own default does; only for addresses that cannot start a program.
#include <gtk/gtk.h>

#include <string>

namespace sorvanta::gtk {

// True for http and https addresses of web pages (a file name ending in .htm, .html or .xhtml, a
// server page .shtml, .php, .asp, .aspx or .jsp, or no file extension at all) and for file addresses
// of .htm, .html and .xhtml files. Everything else (other schemes, other file types, about:blank) is
// refused.
bool opens_in_system_browser(const std::string& uri);

// Hands `uri` to the system's browser, the default application for http (https) addresses, on
// `display`. Throws std::runtime_error, with the system's reason, when none is set or it fails to start.
void open_in_system_browser(const std::string& uri, GdkDisplay* display);

}  // namespace sorvanta::gtk
