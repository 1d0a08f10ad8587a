#pragma once
// The installation update: the catalogue's HTML folder found again from its shortcut's working
// directory, the new launcher copied into it and the catalogue's three Start-menu shortcuts made
// afresh in the catalogue's Start-menu group.
#include <cstdint>
#include <string>
#include <vector>

#include "patch/system.h"

namespace ludrimex {

struct ShortcutRow;

// The catalogue's Start-menu group in the Programs folder `a`, whose presence means the catalogue is
// installed, and the catalogue shortcut in it, whose working directory tells where.
std::string catalogue_group(const std::string& a);
std::string catalogue_shortcut(const std::string& a);
// Every shortcut file a run replaces in the Programs folder `a`: the group's and the ones the toolkit
// makes in the Programs folder itself.
std::vector<std::string> shortcut_files(const std::string& a);

// The catalogue's HTML folder from the catalogue shortcut's working directory as the shortcut reader
// returns it (folder, NUL, spaces), with the separator put back where the catalogue folder and
// "progetto_html" ran together. Throws RunError naming `collegamento` when that leaves no absolute
// folder.
std::string cartella_html_of(System& system, const std::string& Path, const std::string& collegamento);

class InstallationUpdate {
 public:
  InstallationUpdate(System& system, std::string cartella_html, std::string a)
      : system_(system), cartella_html_(std::move(cartella_html)), a_(std::move(a)) {}

  // Every file the update replaces in the HTML folder: the installed launcher. (The shortcuts:
  // shortcut_files.)
  std::vector<std::string> replaced_files() const;

  // Stops, before anything is written, on what would stop the update half way and can be known now;
  // chooses and binds the toolkit library the shortcuts are made with.
  void check_before_writing();

  // The new launcher over the installed one, then the three shortcuts one row after the other.
  void apply();

 private:
  void make_shortcut(const ShortcutRow& row);

  System& system_;
  std::string cartella_html_;
  std::string a_;
  std::int32_t libreria_ = 0;  // chosen by check_before_writing
};

}  // namespace ludrimex
