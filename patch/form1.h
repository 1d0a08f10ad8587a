#pragma once
// Form1: the installer's only window. It is never shown; its load handler is the whole run.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "patch/system.h"

namespace ludrimex {

// One non-empty line of the patch log, cut at its fixed columns.
struct voce_patch {
  std::int16_t indice = 0;
  std::string numero;  // characters 1 to 10
  std::string data;    // characters 11 to 20
};

class Form1 {
 public:
  explicit Form1(System& system) : system_(system) {}

  // The run. Always ends by throwing ProgramEnd (installed or refused) or an error.
  void Form_Load();

  // Refuses a patch already recorded or whose predecessor is missing (ProgramEnd), else records it.
  void controlla_file(const std::string& file1, std::int16_t versione);

  // Repairs the installation folder read from the catalogue shortcut and applies the patch to it.
  void correzione_path(const std::string& Path, const std::string& a);

  // Has a setup-toolkit library make the shortcut `titolo`.lnk; 0 probes for one. Never throws.
  bool crea_collegamento(std::int32_t libreria, const std::string& gruppo, const std::string& titolo,
                         const std::string& percorso);

  std::string nome_processo;
  std::vector<voce_patch> elenco_patch;

 private:
  // The log as this run found it, so that a patch that could not be applied is not left recorded.
  struct LogBefore {
    std::string path;
    bool existed = false;
    std::string bytes;
    bool written = false;  // this run replaced or created it
  };

  // Tells the user `text` in a box titled as the catalogue, then ends the run with `status`.
  [[noreturn]] void end_with(const std::string& text, int style, int status);
  bool launcher_running(ProcessSnapshot& snapshot);
  // controlla_file in its two halves, so that the update can check everything else in between.
  void check_log(const std::string& file1, std::int16_t versione);
  void record_patch(const std::string& file1, std::int16_t versione);
  void read_log(const std::string& file1, const std::string& bytes);
  void check_before_writing(const std::string& cartella_html);
  void check_toolkit();
  void apply_update(const std::string& cartella_html, const std::string& a);
  void restore_log();

  System& system_;
  std::unique_ptr<RunLock> run_lock_;  // held until the run ends
  std::optional<LogBefore> log_before_;
};

}  // namespace ludrimex
