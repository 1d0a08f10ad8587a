#include "launcher/gtk/system_browser.h"

#include <gtest/gtest.h>

namespace sorvanta::gtk {
namespace {

TEST(SystemBrowser, OnlyWebPagesAndHtmlFilesLeaveTheCatalogue) {
  struct Case {
    const char* uri;
    bool opens;
  };
  const Case cases[] = {
      {"https://www.veltrano.example/", true},
      {"http://www.veltrano.example", true},
      {"https://www.veltrano.example/catalogo/listino.html?anno=2026#moka", true},
      {"HTTPS://www.veltrano.example/Negozi.HTM", true},
      {"https://www.veltrano.example/cerca.php?q=moka", true},
      {"https://www.veltrano.example/v1.2/", true},
      {"file:///home/anna/Catalogo/listino.html", true},
      {"file:///home/anna/Catalogo/Listino.XHTML", true},
      {"https://www.veltrano.example/setup.exe", false},
      {"http://www.veltrano.example/catalogo.pdf", false},
      {"https:///listino.html", false},  // no host
      {"file:///home/anna/Catalogo/", false},
      {"file:///usr/bin/xterm", false},
      {"file:///home/anna/Scrivania/avvia.desktop", false},
      {"file:///home/anna/installa.sh#.html", false},
      {"file:///home/anna/installa.sh?.html", false},
      {"file:///home/anna/listino%2Ehtml", true},  // an escaped dot is a dot
      {"ftp://ftp.veltrano.example/listino.html", false},
      {"javascript:alert(1)", false},
      {"data:text/html,<b>ciao</b>", false},
      {"about:blank", false},
      {"mailto:info@veltrano.example", false},
      {"listino.html", false},
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(opens_in_system_browser(c.uri), c.opens) << c.uri;
}

}  // namespace
}  // namespace sorvanta::gtk
