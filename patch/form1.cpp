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
  if (!run_lock_) {
    end_with(
        "Un'altra installazione della patch è già in corso. Attendere che finisca e rieseguire la patch!",
        kMbOk | kMbIconError, kRefused);
  }
  const std::string a = system_.special_folder("Programs");
  if (!esiste_cartella(system_, catalogue_group(a))) {
    end_with("Non hai installato il catalogo. La patch non può essere creata", kMbOk | kMbIconError,
             kRefused);
  }
  auto snapshot = system_.create_process_snapshot(kSnapAll, 0);
  if (launcher_running(*snapshot)) {
    // The snapshot closes on the way out.
    end_with("Chiudere il catalogo prima dell'aggiornamento! Rieseguire la patch!", kMbOk | kMbIconError,
             kRefused);
  }
  snapshot.reset();
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

void Form1::end_with(const std::string& text, int style, int status) {
  system_.message_box(text, kBoxTitle, style);
  throw ProgramEnd{status};
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
