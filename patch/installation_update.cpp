#include <array>

#include "patch/errors.h"
#include "patch/form1.h"
#include "patch/runtime_text.h"

namespace ludrimex {
namespace {

constexpr std::int16_t kPatchNumber = 1;

struct ShortcutRow {
  const char* titolo;
  const char* program;  // joined to the HTML folder
};

constexpr std::array<ShortcutRow, 3> kShortcuts{{
    {"Veltrano Catalogo", "\\Sorvanta.exe"},
    {"Veltrano Aggiornamento", "\\VeltranoCatalogoUpdate.exe"},
    {"Veltrano Disinstallazione", "\\VeltranoCatalogoUnistall.exe"},
}};

// The working directory as the shortcut reader returns it (folder, NUL, spaces) made a folder again,
// with the separator restored where the catalogue folder and "progetto_html" ran together.
std::string repaired_folder(const std::string& Path, const std::string& catalogue_shortcut) {
  std::string cartella_html = trim_spaces(Path);
  if (cartella_html.empty()) throw RunError(kInvalidArgument, catalogue_shortcut);
  drop_last_character(cartella_html);
  // An empty folder would put the log and the launcher at the root of the drive.
  if (cartella_html.empty()) throw RunError(kPathNotFound, catalogue_shortcut);
  if (lower_ascii(cartella_html).find("veltranocatalogoprogetto_html") != std::string::npos)
    cartella_html = replace_all(cartella_html, "progetto_html", "\\progetto_html");
  return cartella_html;
}

}  // namespace

void Form1::correzione_path(const std::string& Path, const std::string& a) {
  const std::string cartella_html = repaired_folder(Path, a + "\\Veltrano Catalogo\\Veltrano Catalogo.lnk");
  controlla_file(cartella_html + "\\patch.txt", kPatchNumber);
  try {
    apply_update(cartella_html, a);
  } catch (...) {
    // The patch was not applied: take it off the log so that running it again can apply it.
    restore_log();
    throw;
  }
}

void Form1::apply_update(const std::string& cartella_html, const std::string& a) {
  system_.copy_file(system_.app_path() + "\\Sorvanta.exe", cartella_html + "\\Sorvanta.exe");
  for (const auto& row : kShortcuts) {
    const std::string titolo = row.titolo;
    crea_collegamento(0, ".", titolo, cartella_html + row.program);
    system_.copy_file(a + "\\" + titolo + ".lnk", a + "\\Veltrano Catalogo\\" + titolo + ".lnk");
    system_.delete_file(a + "\\" + titolo + ".lnk");
  }
}

void Form1::restore_log() {
  if (!log_before_) return;
  if (log_before_->existed) {
    system_.write_file(log_before_->path, log_before_->bytes);
  } else {
    system_.delete_file(log_before_->path);
  }
}

}  // namespace ludrimex
