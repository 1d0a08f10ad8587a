#include "launcher/gtk/print_settings.h"

#include <gtest/gtest.h>

namespace sorvanta::gtk {
namespace {

TEST(PrintSettings, TheFileIsNamedAfterThePage) {
  const std::string cases[][3] = {
      {"Moka Aurora – Scheda prodotto", "file:///c/moka.html", "Moka Aurora – Scheda prodotto.pdf"},
      {"Prezzi 2026/27: \"tutti\" <IVA> | a*b?\\c\t", "", "Prezzi 2026_27_ _tutti_ _IVA_ _ a_b__c_.pdf"},
      {"  ..nascosto.. ", "", "nascosto.pdf"},
      {" . ", "file:///c/Pagina%20%C3%A8.htm?x=1#a", "Pagina è.pdf"},
      {"", "file:///c/Cat%E8/", "pagina.pdf"},
      {std::string(250, 'a') + "èè", "", std::string(250, 'a') + ".pdf"},  // within 255 bytes, no half "è"
  };
  for (const auto& [title, uri, name] : cases) EXPECT_EQ(print_file_name(title, uri), name) << title << uri;
}

TEST(PrintSettings, ThePrinterAndTheFileInTheFolder) {
  const auto settings = print_settings("Ufficio", "/home/anna/Documenti \xE8", "Listino prezzi.pdf");
  EXPECT_STREQ(gtk_print_settings_get_printer(settings.get()), "Ufficio");
  EXPECT_STREQ(gtk_print_settings_get(settings.get(), GTK_PRINT_SETTINGS_OUTPUT_URI),
               "file:///home/anna/Documenti%20%E8/Listino%20prezzi.pdf");
}

}  // namespace
}  // namespace sorvanta::gtk
