#include <array>

#include "patch/errors.h"
#include "patch/form1.h"
#include "patch/patch_number.h"
#include "patch/runtime_text.h"

namespace ludrimex {
namespace {

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
std::string repaired_folder(System& system, const std::string& Path, const std::string& catalogue_shortcut) {
  std::string cartella_html = trim_spaces(Path);
  if (cartella_html.empty()) throw RunError(kInvalidArgument, catalogue_shortcut);
  drop_last_character(cartella_html);
  if (lower_ascii(cartella_html).find("veltranocatalogoprogetto_html") != std::string::npos)
    cartella_html = replace_all(cartella_html, "progetto_html", "\\progetto_html");
  // An empty or relative folder would put the log and the launcher wherever the current folder or
  // drive happens to be: that log is not the installation's, so it is not even read.
  if (cartella_html.empty() || !system.is_absolute_path(cartella_html))
    throw RunError(kPathNotFound, catalogue_shortcut);
  return cartella_html;
}

}  // namespace

void Form1::correzione_path(const std::string& Path, const std::string& a) {
  const std::string cartella_html =
      repaired_folder(system_, Path, a + "\\Veltrano Catalogo\\Veltrano Catalogo.lnk");
  const std::string file1 = cartella_html + "\\patch.txt";
  check_log(file1, kPatchNumber);
  check_before_writing(cartella_html);
  record_patch(file1, kPatchNumber);
  try {
    apply_update(cartella_html, a);
  } catch (...) {
    // The patch was not applied: take it off the log so that running it again can apply it.
    restore_log();
    throw;
  }
}

// What would stop the update half way, and can be known now, stops it before anything is written.
void Form1::check_before_writing(const std::string& cartella_html) {
  const std::string nuovo = system_.app_path() + "\\Sorvanta.exe";
  const FileKind kind = system_.file_kind(nuovo);
  if (kind == FileKind::kMissing) throw RunError(kFileNotFound, nuovo);
  if (kind != FileKind::kRegular) throw RunError(kPathFileAccessError, nuovo);
  check_toolkit();
  for (const auto& row : kShortcuts) {
    for (const std::string& text : {std::string("."), std::string(row.titolo), cartella_html + row.program}) {
      if (!system_.toolkit_accepts(text)) throw RunError(kBadFileName, text);
    }
  }
  if (system_.file_kind(cartella_html) != FileKind::kFolder) throw RunError(kPathNotFound, cartella_html);
}

void Form1::apply_update(const std::string& cartella_html, const std::string& a) {
  system_.copy_file(system_.app_path() + "\\Sorvanta.exe", cartella_html + "\\Sorvanta.exe");
  for (const auto& row : kShortcuts) {
    const std::string titolo = row.titolo;
    const std::string made_here = a + "\\" + titolo + ".lnk";
    const bool made = crea_collegamento(0, ".", titolo, cartella_html + row.program);
    try {
      system_.copy_file(made_here, a + "\\Veltrano Catalogo\\" + titolo + ".lnk");
    } catch (const RunError&) {
      // The toolkit's file must not stay in the Programs folder itself.
      if (made) system_.delete_file(made_here);
      throw;
    }
    system_.delete_file(made_here);
  }
}

void Form1::restore_log() {
  if (!log_before_ || !log_before_->written) return;
  if (log_before_->existed) {
    system_.write_file(log_before_->path, log_before_->bytes);
  } else {
    system_.delete_file(log_before_->path);
  }
}

}  // namespace ludrimex
