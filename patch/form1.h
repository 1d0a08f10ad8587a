#pragma once
// Form1: the installer's only window. It is never shown; its load handler is the whole run, and this
// class keeps the run's order: what each step does lives in the unit named for it.
#include <memory>
#include <string>

#include "patch/package_files.h"
#include "patch/system.h"

namespace ludrimex {

class Form1 {
 public:
  // `package`: the files this Ludrimex's package pins, none in a build without a package.
  explicit Form1(System& system, const PackageDigests& package = {}) : system_(system), package_(package) {}

  // The run. Always ends by throwing ProgramEnd (installed or refused) or an error.
  void Form_Load();

  // Repairs the installation folder read from the catalogue shortcut and applies the patch to it: the
  // log's checks, the update, and the patch's record last. Ends the run (ProgramEnd) on a refusal.
  void correzione_path(const std::string& Path, const std::string& a);

 private:
  // Tells the user `text` in a box titled as the catalogue, then ends the run with `status`.
  [[noreturn]] void end_with(const std::string& text, int style, int status);
  // The snapshot of the running processes. Throws RunError when none can be taken.
  std::unique_ptr<ProcessSnapshot> process_snapshot();
  bool launcher_running(ProcessSnapshot& snapshot);
  // Locks the HTML folder for this run, or ends the run: another run holds it, or this user may not
  // write there (then an administrator's run of the same user takes over, when there can be one).
  void lock_installation(const std::string& cartella_html);

  System& system_;
  PackageDigests package_;
  std::unique_ptr<RunLock> run_lock_;     // held until the run ends
  std::unique_ptr<RunLock> folder_lock_;  // the HTML folder's, from the time it is known
};

}  // namespace ludrimex
