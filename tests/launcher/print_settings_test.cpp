#include "launcher/gtk/print_settings.h"

#include <gtest/gtest.h>

namespace sorvanta::gtk {
namespace {

TEST(PrintSettings, TheDefaultPrinterElseTheFilePrinter) {
  EXPECT_EQ(preselected_printer({{"Ufficio", false}, {"Magazzino", true}}, "Print to File"), "Magazzino");
  EXPECT_EQ(preselected_printer({{"Print to File", false}, {"Ufficio", false}}, "Stampa su file"),
            "Stampa su file");
  EXPECT_EQ(preselected_printer({}, "Print to File"), "Print to File");
}

TEST(PrintSettings, TheFileIsNamedAfterThePage) {
  struct Case {
    std::string title, uri, file_name;
  };
  const Case cases[] = {
      {"Listino prezzi Veltrano", "file:///c/listino.html", "Listino prezzi Veltrano.pdf"},
      {"Moka Aurora – Scheda prodotto", "", "Moka Aurora – Scheda prodotto.pdf"},
      {"Prezzi 2026/27: \"tutti\" <IVA> | a*b?\\c", "", "Prezzi 2026_27_ _tutti_ _IVA_ _ a_b__c.pdf"},
      {"  ..nascosto.. ", "", "nascosto.pdf"},
      {"riga\tdue\n", "", "riga_due_.pdf"},
      {"", "file:///home/anna/Catalogo/contatti.html", "contatti.pdf"},
      {" . ", "file:///c/Pagina%20%C3%A8.htm?x=1#a", "Pagina è.pdf"},
      {"", "file:///c/Cat%E8/", "pagina.pdf"},
      {"", "about:blank", "blank.pdf"},
      {"", "", "pagina.pdf"},
  };
  for (const Case& c : cases) EXPECT_EQ(print_file_name(c.title, c.uri), c.file_name) << c.title << c.uri;
}

TEST(PrintSettings, ALongTitleIsCutWithinACharacterToTheLengthOfAFileName) {
  const std::string name = print_file_name(std::string(251, 'a') + "è", "");
  EXPECT_EQ(name, std::string(251, 'a') + ".pdf");
  EXPECT_EQ(print_file_name(std::string(300, 'b'), "").size(), 255u);
}

TEST(PrintSettings, ThePrinterAndTheFileInTheFolder) {
  const auto settings = print_settings("Print to File", "/home/anna/Documenti \xE8", "Listino prezzi.pdf");
  EXPECT_STREQ(gtk_print_settings_get_printer(settings.get()), "Print to File");
  EXPECT_STREQ(gtk_print_settings_get(settings.get(), GTK_PRINT_SETTINGS_OUTPUT_URI),
               "file:///home/anna/Documenti%20%E8/Listino%20prezzi.pdf");
  EXPECT_STREQ(gtk_print_settings_get(settings.get(), GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT), "pdf");

  const auto relative = print_settings("Ufficio", "Documenti", "Listino.pdf");
  EXPECT_EQ(gtk_print_settings_get(relative.get(), GTK_PRINT_SETTINGS_OUTPUT_URI), nullptr)
      << "no folder to name: the dialog's own choice stays";
}

}  // namespace
}  // namespace sorvanta::gtk
