#include "patch/form1.h"

#include <algorithm>

#include "patch/errors.h"
#include "patch/installation_update.h"
#include "patch/module1.h"
#include "patch/patch_log.h"
#include "patch/patch_number.h"
#include "patch/runtime_text.h"
#include "patch/shortcut_reader.h"

namespace ludrimex {
namespace {

constexpr const char* kBoxTitle = "Dastrel";  // every box of the run's own
constexpr const char* kRunLock = "Ludrimex";  // the lock one run at a time holds
constexpr const char* kAnotherRun =
    "Un'altra installazione della patch è già in corso. Attendere che finisca e rieseguire la patch!";

// The name up to the first NUL of the raw field (none without a NUL), after its last backslash.
std::string executable_name(const ProcessEntry& entry) {
  const auto& field = entry.exe_file;
  const auto nul = std::find(field.begin(), field.end(), '\0');
  if (nul == field.end()) return {};
  const std::string name(field.begin(), nul);
  const auto slash = name.rfind('\\');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

}  // namespace

void Form1::Form_Load() {
  // First of all: a file beside the installer that is not its package's is neither loaded nor copied,
  // and nothing is changed before it is known.
  if (const auto foreign = foreign_package_file(system_, package_)) {
    end_with(
        "Il file " + *foreign +
            " non è quello della patch. Estrarre di nuovo tutto il pacchetto della patch in una cartella "
            "nuova e vuota e rieseguire la patch!",
        kMbOk | kMbIconError, kRefused);
  }
  // Two runs at once would each take the other's log for their own.
  run_lock_ = system_.lock_single_run(kRunLock);
  if (!run_lock_) end_with(kAnotherRun, kMbOk | kMbIconError, kRefused);
  const std::string a = system_.special_folder("Programs");
  if (!esiste_cartella(system_, catalogue_group(a))) {
    end_with("Non hai installato il catalogo. La patch non può essere creata", kMbOk | kMbIconError,
             kRefused);
  }
  auto snapshot = process_snapshot();
  if (launcher_running(*snapshot)) {
    // The snapshot closes on the way out.
    end_with("Chiudere il catalogo prima dell'aggiornamento! Rieseguire la patch!", kMbOk | kMbIconError,
             kRefused);
  }
  snapshot.reset();
  // The catalogue shortcut is one of the files a run replaces: what a run stopped half way left of
  // them is put right before it is read.
  for (const std::string& file : shortcut_files(a)) system_.clean_up_replace(file);
  const std::string collegamento = catalogue_shortcut(a);
  // A folder, FIFO or device in the shortcut's place: reading it would fail or wait for ever.
  const FileKind kind = system_.file_kind(collegamento);
  if (kind == FileKind::kFolder || kind == FileKind::kOther)
    throw RunError(kPathFileAccessError, collegamento);
  const std::string Path = cartella_collegamento(system_, collegamento);
  correzione_path(Path, a);
  end_with("Patch installata con successo!", kMbOk | kMbIconInformation, kInstalled);
}

void Form1::correzione_path(const std::string& Path, const std::string& a) {
  const std::string cartella_html = cartella_html_of(system_, Path, catalogue_shortcut(a));
  lock_installation(cartella_html);
  PatchLog log(system_, cartella_html + "\\patch.txt");
  InstallationUpdate update(system_, cartella_html, a);
  // What a run stopped half way left of its replaces is put right before anything is read.
  system_.clean_up_replace(log.path());
  for (const std::string& file : update.replaced_files()) system_.clean_up_replace(file);
  if (const auto refusal = log.controlla_file(kPatchNumber))
    end_with(*refusal, kMbOk | kMbIconInformation, kRefused);
  update.check_before_writing();
  log.check_writable();
  update.apply();
  // Recorded last, once all of the patch is in place: a run stopped at any point before leaves a
  // patch that the next run installs, never one refused as installed.
  log.record(kPatchNumber);
}

// Held in the HTML folder itself: other users' sessions and other computers patch the same folder.
// Decided before anything is written there: a folder this user may not write is written by an
// administrator's run of the same user, or by nobody.
void Form1::lock_installation(const std::string& cartella_html) {
  FolderLock folder = system_.lock_folder(cartella_html);
  if (folder.state == FolderLockState::kLocked) {
    folder_lock_ = std::move(folder.lock);
    return;
  }
  if (folder.state == FolderLockState::kHeld) end_with(kAnotherRun, kMbOk | kMbIconError, kRefused);
  switch (system_.elevation()) {
    case Elevation::kAvailable:
      run_lock_.reset();  // the elevated run takes it
      if (const auto status = system_.run_elevated()) throw ProgramEnd{*status};
      break;  // declined
    case Elevation::kFull:
      throw RunError(kPermissionDenied, cartella_html);
    case Elevation::kNone:
      break;
  }
  end_with("Solo un amministratore può modificare la cartella del catalogo:\n" + cartella_html +
               "\nChiedere a un amministratore di consentire a questo utente di scrivere nella cartella, poi "
               "rieseguire la patch!",
           kMbOk | kMbIconError, kRefused);
}

void Form1::end_with(const std::string& text, int style, int status) {
  system_.message_box(text, kBoxTitle, style);
  throw ProgramEnd{status};
}

// A snapshot of every kind can fail where one of the process list alone would not; one that can't
// be taken at all is no proof that the launcher is not running.
std::unique_ptr<ProcessSnapshot> Form1::process_snapshot() {
  auto snapshot = system_.create_process_snapshot(kSnapAll, 0);
  if (!snapshot) snapshot = system_.create_process_snapshot(kSnapProcess, 0);
  if (!snapshot) throw RunError(kPathFileAccessError, kProcessListName);
  return snapshot;
}

bool Form1::launcher_running(ProcessSnapshot& snapshot) {
  ProcessEntry entry;
  entry.size = sizeof(ProcessEntry);
  for (bool filled = snapshot.first(entry); filled; filled = snapshot.next(entry)) {
    const std::string nome_processo = executable_name(entry);
    if (lower_ascii(nome_processo) == "sorvanta.exe") return true;
  }
  return false;
}

}  // namespace ludrimex
