#include "launcher/gtk/system_browser.h"

#include <gtest/gtest.h>

namespace sorvanta::gtk {
namespace {

TEST(SystemBrowser, OnlyWebPagesAndHtmlFilesLeaveTheCatalogue) {
  for (const char* uri :
       {"https://www.veltrano.example", "http://www.veltrano.example/v1.2/",
        "HTTPS://www.veltrano.example/Negozi.HTM?anno=2026#moka",
        "https://www.veltrano.example/cerca.php?q=moka", "file:///home/anna/Catalogo/listino.html"})
    EXPECT_TRUE(opens_in_system_browser(uri)) << uri;
  for (const char* uri :
       {"https://www.veltrano.example/setup.exe", "https:///listino.html", "file:///usr/bin/xterm",
        "file:///home/anna/avvia.desktop", "file:///home/anna/installa.sh#.html",
        "file:///home/anna/Catalogo/", "ftp://ftp.veltrano.example/listino.html", "javascript:alert(1)",
        "about:blank", "listino.html", ""})
    EXPECT_FALSE(opens_in_system_browser(uri)) << uri;
}

}  // namespace
}  // namespace sorvanta::gtk
