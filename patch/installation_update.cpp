#include "patch/installation_update.h"

#include <array>
#include <utility>

#include "patch/errors.h"
#include "patch/runtime_text.h"
#include "patch/shortcut_creator.h"

namespace ludrimex {

struct ShortcutRow {
  const char* titolo;
  const char* program;  // joined to the HTML folder
};

namespace {

constexpr const char* kLauncher = "\\Sorvanta.exe";  // joined to the installer's and the HTML folder

constexpr std::array<ShortcutRow, 3> kShortcuts{{
    {"Veltrano Catalogo", kLauncher},
    {"Veltrano Aggiornamento", "\\VeltranoCatalogoUpdate.exe"},
    {"Veltrano Disinstallazione", "\\VeltranoCatalogoUnistall.exe"},
}};

// Where the toolkit makes a row's shortcut (the Programs folder itself), and where it belongs.
std::string made_here(const std::string& a, const ShortcutRow& row) {
  return a + "\\" + row.titolo + ".lnk";
}
std::string in_group(const std::string& a, const ShortcutRow& row) {
  return catalogue_group(a) + "\\" + row.titolo + ".lnk";
}

}  // namespace

std::string catalogue_group(const std::string& a) {
  return a + "\\Veltrano Catalogo";
}

std::string catalogue_shortcut(const std::string& a) {
  return catalogue_group(a) + "\\Veltrano Catalogo.lnk";
}

std::string cartella_html_of(System& system, const std::string& Path, const std::string& collegamento) {
  std::string cartella_html = trim_spaces(Path);
  if (cartella_html.empty()) throw RunError(kInvalidArgument, collegamento);
  drop_last_character(cartella_html);
  if (lower_ascii(cartella_html).find("veltranocatalogoprogetto_html") != std::string::npos)
    cartella_html = replace_all(cartella_html, "progetto_html", "\\progetto_html");
  // An empty or relative folder would put the log and the launcher wherever the current folder or
  // drive happens to be: that log is not the installation's, so it is not even read.
  if (cartella_html.empty() || !system.is_absolute_path(cartella_html))
    throw RunError(kPathNotFound, collegamento);
  return cartella_html;
}

std::vector<std::string> shortcut_files(const std::string& a) {
  std::vector<std::string> files;
  for (const auto& row : kShortcuts) files.insert(files.end(), {in_group(a, row), made_here(a, row)});
  return files;
}

std::vector<std::string> InstallationUpdate::replaced_files() const {
  return {cartella_html_ + kLauncher};
}

void InstallationUpdate::check_before_writing() {
  const std::string nuovo = system_.app_path() + kLauncher;
  const FileKind kind = system_.file_kind(nuovo);
  if (kind == FileKind::kMissing) throw RunError(kFileNotFound, nuovo);
  if (kind != FileKind::kRegular) throw RunError(kPathFileAccessError, nuovo);
  libreria_ = choose_toolkit(system_);
  // Every text the toolkit takes, and the path it builds from the Programs folder it finds itself.
  std::vector<std::string> texts = toolkit_fixed_texts(libreria_);
  for (const auto& row : kShortcuts) {
    texts.insert(texts.end(), {".", row.titolo, cartella_html_ + row.program, made_here(a_, row)});
  }
  for (const std::string& text : texts) {
    if (!system_.toolkit_accepts(text)) throw RunError(kBadFileName, text);
  }
  if (system_.file_kind(cartella_html_) != FileKind::kFolder) throw RunError(kPathNotFound, cartella_html_);
}

void InstallationUpdate::apply() {
  system_.copy_file(system_.app_path() + kLauncher, cartella_html_ + kLauncher);
  for (const auto& row : kShortcuts) make_shortcut(row);
}

void InstallationUpdate::make_shortcut(const ShortcutRow& row) {
  const std::string made = made_here(a_, row);
  if (!crea_collegamento(system_, libreria_, ".", row.titolo, cartella_html_ + row.program)) {
    // Whatever may lie under that name in the Programs folder is not this row's shortcut.
    throw RunError(kPathFileAccessError, toolkit_file_name(libreria_) + ": " + row.titolo + ".lnk");
  }
  try {
    system_.copy_file(made, in_group(a_, row));
  } catch (const RunError&) {
    // The toolkit's file must not stay in the Programs folder itself; the copy's error is the one
    // to report, whatever its removal meets.
    try {
      system_.delete_file(made);
    } catch (const RunError&) {
    }
    throw;
  }
  system_.delete_file(made);
}

}  // namespace ludrimex
