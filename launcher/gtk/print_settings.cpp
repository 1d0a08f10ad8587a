#include "launcher/gtk/print_settings.h"

#include <gtk/gtkunixprint.h>

#include <string_view>

namespace sorvanta::gtk {

namespace {

constexpr std::string_view kRefusedInNames = "/\\:*?\"<>|";
constexpr std::size_t kMaxFileName = 255;  // bytes, as Linux file systems count
constexpr std::string_view kExtension = ".pdf";

// The name of the file an address points at, without its extension.
std::string address_file_stem(const std::string& uri) {
  const ParsedUri parsed = parse_uri(uri);
  if (!parsed) return {};
  const std::string path = g_uri_get_path(parsed.get());
  const OwnedText name(g_uri_unescape_string(path.substr(path.rfind('/') + 1).c_str(), "/"));
  if (!name) return {};
  std::string stem = name.get();
  return stem.substr(0, stem.rfind('.'));
}

std::string cleaned(const std::string& stem) {
  const OwnedText valid(g_utf8_make_valid(stem.c_str(), static_cast<gssize>(stem.size())));
  std::string name = valid.get();
  for (char& c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || kRefusedInNames.find(c) != std::string_view::npos) c = '_';
  }
  // A leading dot hides the file; trailing dots and blanks are dropped by some file systems.
  const std::size_t first = name.find_first_not_of(" .");
  if (first == std::string::npos) return {};
  name = name.substr(first, name.find_last_not_of(" .") - first + 1);
  if (name.size() > kMaxFileName - kExtension.size()) {
    name.resize(kMaxFileName - kExtension.size());
    const gchar* end = nullptr;
    g_utf8_validate(name.data(), static_cast<gssize>(name.size()), &end);  // not within a character
    name.resize(static_cast<std::size_t>(end - name.data()));
  }
  return name;
}

}  // namespace

std::string preselected_printer() {
  std::string printer;
  gtk_enumerate_printers(
      [](GtkPrinter* seen, gpointer chosen) -> gboolean {
        if (gtk_printer_is_default(seen) == FALSE) return FALSE;
        *static_cast<std::string*>(chosen) = gtk_printer_get_name(seen);
        return TRUE;
      },
      &printer, nullptr, TRUE);
  // GTK names its file printer in the user's language, through its own translations.
  return printer.empty() ? g_dgettext("gtk30", "Print to File") : printer;
}

std::string documents_folder() {
  const gchar* documents = g_get_user_special_dir(G_USER_DIRECTORY_DOCUMENTS);
  return documents != nullptr ? documents : g_get_home_dir();
}

std::string print_file_name(const std::string& title, const std::string& uri) {
  std::string stem = cleaned(title);
  if (stem.empty()) stem = cleaned(address_file_stem(uri));
  if (stem.empty()) stem = "pagina";
  return stem + std::string(kExtension);
}

GObjectPtr<GtkPrintSettings> print_settings(const std::string& printer, const std::string& folder,
                                            const std::string& file_name) {
  auto settings = GObjectPtr<GtkPrintSettings>::adopt(gtk_print_settings_new());
  gtk_print_settings_set_printer(settings.get(), printer.c_str());
  gtk_print_settings_set(settings.get(), GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
  // The folder's bytes as they are; a folder that is no absolute path leaves the dialog's own choice.
  const OwnedText uri(g_filename_to_uri((folder + "/" + file_name).c_str(), nullptr, nullptr));
  if (uri) gtk_print_settings_set(settings.get(), GTK_PRINT_SETTINGS_OUTPUT_URI, uri.get());
  return settings;
}

}  // namespace sorvanta::gtk
