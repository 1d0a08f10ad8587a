// The whole run: its two refusals, the process scan, its order, and how it ends.
#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "patch/program.h"
#include "tests/patch_logic/installation.h"

namespace ludrimex::testing {
namespace {

using namespace std::string_view_literals;
using PatchRun = Installation;

// Leftovers of earlier runs go once the lock is held, before the log is read; the log's checks come
// first, the patch's record last; the toolkit is probed once.
TEST_F(PatchRun, InstallsThePatchAndSaysSo) {
  sys.add_process("systemd");
  EXPECT_EQ(run_ludrimex(sys), kInstalled);
  EXPECT_EQ(sys.boxes, box("Patch installata con successo!", 64));
  EXPECT_EQ(sys.files[log], record_line(kPatchNumber, "06/12/2026"));

  const std::vector<std::string> milestones = {
      "lock_single_run(Ludrimex)",
      "special_folder(Programs)",
      "dir(" + group + ", 16)",
      "create_process_snapshot(15, 0)",
      "process_first(" + std::to_string(sizeof(ProcessEntry)) + ")",
      "close_snapshot()",
      "clean_up_replace(" + shortcut + ")",
      "clean_up_replace(" + a + "\\Veltrano Disinstallazione.lnk)",
      "load(" + shortcut + ", 0)",
      "lock_folder(" + html + ")",
      "clean_up_replace(" + log + ")",
      "clean_up_replace(" + html + "\\Sorvanta.exe)",
      "file_kind(" + log + ")",
      "app_path()",
      "copy_file(D:\\Patch\\Sorvanta.exe -> " + html + "\\Sorvanta.exe)",
      "delete_file(" + a + "\\Veltrano Disinstallazione.lnk)",
      "write_file(" + log + ")",
      "message_box(Patch installata con successo!, Dastrel, 64)",
      "unlock_folder()",
      "unlock()"};
  auto at = sys.calls.begin();
  for (const auto& milestone : milestones) {
    at = std::find(at, sys.calls.end(), milestone);
    EXPECT_NE(at, sys.calls.end()) << "missing or out of order: " << milestone;
  }
  EXPECT_EQ(sys.calls_of({"load_library"}).size(), 3u);
}

// A run killed on entry to any of its changes of the disk, then run again: the second run installs
// the patch in full, with one record and nothing left behind. A kill between a replace's two renames
// leaves the file missing beside its backup, the catalogue shortcut too.
TEST_F(PatchRun, KilledAtAnyChangeOfTheDiskTheNextRunFinishesTheInstall) {
  // Each replace of a file that is there is four changes, of a new one two, a delete one: the log
  // written as it is and recorded, the launcher, three shortcuts made, copied and deleted.
  const std::vector<std::pair<std::optional<std::string>, int>> logs = {
      {std::nullopt, 4 + 3 * (2 + 4 + 1) + 2},
      {record_line(kPatchNumber - 1, "01/01/2026"), 4 * 2 + 4 + 3 * (2 + 4 + 1)}};
  for (const auto& [log_before, changes] : logs) {
    if (log_before) sys.files[log] = *log_before;
    FakeSystem whole = sys;
    ASSERT_EQ(run_ludrimex(whole), kInstalled);
    ASSERT_EQ(whole.disk_changes, changes);
    for (int kill = 1; kill <= whole.disk_changes; ++kill) {
      FakeSystem run = sys;
      run.kill_at = kill;
      EXPECT_THROW(run_ludrimex(run), Killed) << kill;
      run.restart();
      // Killed once the record was in place, the patch is refused as installed: the state says whether
      // it really is.
      const int status = run_ludrimex(run);
      EXPECT_TRUE(status == kInstalled || (status == kRefused && run.boxes[0].text.starts_with("Hai già")))
          << "killed on entry to change " << kill << ": " << run.boxes[0];
      EXPECT_EQ(unpatched(run, log_before.value_or("")), "") << "killed on entry to change " << kill;
    }
  }
}

// A package's installer holds and checks the files beside it before anything else: one that is not the
// package's is refused, named, before any library is loaded or anything changed. Without a package
// nothing is checked.
TEST_F(PatchRun, APackagesInstallerRefusesAFileThatIsNotThePackagesBeforeLoadingOrChangingAnything) {
  const std::string launcher = sys.app_folder + "\\Sorvanta.exe", library = sys.app_folder + "\\STKIT432.DLL";
  sys.files[library] = "shipped library";
  const PackageDigests package{
      "afca1de8ef05397fdd0d385da221351d271715c4e697aca4d699dab23e81377f",  // "new launcher"
      "8df433caa95a798197e87639987da1ca16b317895a7f9299f186ce57df3ed851"};
  const std::string refused =
      " non è quello della patch. Estrarre di nuovo tutto il pacchetto della patch in "
      "una cartella nuova e vuota e rieseguire la patch!";
  struct Case {
    const char* name;
    PackageDigests digests;
    std::function<void(FakeSystem&)> arrange;
    int status;
    std::vector<Box> boxes;  // none: installed
    std::vector<std::string> holds;
  };
  const std::vector<Case> cases = {
      {"the package's files", package, [](FakeSystem&) {}, kInstalled, {}, {"Sorvanta.exe", "STKIT432.DLL"}},
      {"another launcher",
       package,
       [&](FakeSystem& run) { run.files[launcher] = "new launcher!"; },
       kRefused,
       box("Il file " + launcher + refused, 16),
       {"Sorvanta.exe"}},
      {"another library",
       package,
       [&](FakeSystem& run) { run.files[library] = "planted library"; },
       kRefused,
       box("Il file " + library + refused, 16),
       {"Sorvanta.exe", "STKIT432.DLL"}},
      {"no library beside it: the system's",
       package,
       [&](FakeSystem& run) { run.files.erase(library); },
       kInstalled,
       {},
       {"Sorvanta.exe", "STKIT432.DLL"}},
      {"no launcher",
       package,
       [&](FakeSystem& run) { run.files.erase(launcher); },
       kFailed,
       box("Errore 53: Impossibile trovare il file\n" + launcher, 16, "Ludrimex"),
       {"Sorvanta.exe"}},
      {"no package",
       PackageDigests{},
       [&](FakeSystem& run) { run.files[library] = "planted library"; },
       kInstalled,
       {},
       {}},
  };
  for (const auto& test : cases) {
    FakeSystem run = sys;
    test.arrange(run);
    const auto files = run.files;
    EXPECT_EQ(run_ludrimex(run, test.digests), test.status) << test.name;
    std::vector<std::string> holds;
    for (const auto& name : test.holds) holds.push_back("hold_delivered_file(" + name + ")");
    EXPECT_EQ(run.calls_of({"hold_delivered_file"}), holds) << test.name;
    EXPECT_TRUE(std::equal(holds.begin(), holds.end(), run.calls.begin())) << test.name << ": not first";
    if (test.status == kInstalled) {
      EXPECT_EQ(unpatched(run, ""), "") << test.name;
      continue;
    }
    EXPECT_EQ(run.boxes, test.boxes) << test.name;
    EXPECT_EQ(run.calls_of({"load_library", "bind_toolkit", "create_shell_link"}), std::vector<std::string>{})
        << test.name;
    EXPECT_EQ(run.disk_changes, 0) << test.name;
    EXPECT_EQ(run.files, files) << test.name;
  }
}

TEST_F(PatchRun, RefusesWhileAnotherRunIsUnderWayBeforeReadingAnything) {
  sys.another_run = true;
  EXPECT_EQ(run_ludrimex(sys), kRefused);
  EXPECT_EQ(sys.boxes, box("Un'altra installazione della patch è già in corso. Attendere che finisca e "
                           "rieseguire la patch!",
                           16));
  EXPECT_EQ(sys.calls, (std::vector<std::string>{"lock_single_run(Ludrimex)",
                                                 "message_box(" + sys.boxes[0].text + ", Dastrel, 16)"}));
}

// A folder, FIFO or device where the catalogue shortcut should be is named at once, never read.
TEST_F(PatchRun, ACatalogueShortcutThatIsNoFileIsAnError) {
  for (const bool folder : {true, false}) {
    FakeSystem run = sys;
    (folder ? run.folders : run.others).insert(shortcut);
    EXPECT_EQ(run_ludrimex(run), kFailed);
    EXPECT_EQ(run.boxes, box("Errore 75: Errore di accesso al percorso/file\n" + shortcut, 16, "Ludrimex"));
    EXPECT_EQ(run.calls_of({"load", "file_kind"}), std::vector<std::string>{"file_kind(" + shortcut + ")"});
  }
}

TEST_F(PatchRun, RefusesWhenTheCatalogueIsNotInstalled) {
  FakeSystem failing = sys;  // a search that fails counts as not found
  failing.fail("dir", 1, kBadFileName);
  sys.folders.erase(group);
  sys.folders.insert(R"(C:\ProgramData\Menu Start\Programmi\Veltrano Catalogo)");  // all users only
  for (auto* run : {&sys, &failing}) {
    const auto files = run->files;
    EXPECT_EQ(run_ludrimex(*run), kRefused);
    EXPECT_EQ(run->boxes, box("Non hai installato il catalogo. La patch non può essere creata", 16));
    EXPECT_TRUE(run->calls_of({"create_process_snapshot"}).empty());
    EXPECT_EQ(run->files, files);
  }
}

// One run at a time in the HTML folder itself, whoever runs it; a folder this user may not write is
// handed to an administrator's run of the same user where there can be one, else refused, naming it.
TEST_F(PatchRun, TheHtmlFolderIsLockedAndWrittenOnlyWithTheRightsItNeeds) {
  const std::string another =
      "Un'altra installazione della patch è già in corso. Attendere che finisca e "
      "rieseguire la patch!";
  const std::string administrator =
      "Solo un amministratore può modificare la cartella del catalogo:\n" + html +
      "\nChiedere a un amministratore di consentire a questo utente di scrivere "
      "nella cartella, poi rieseguire la patch!";
  struct Case {
    const char* what;
    std::function<void(FakeSystem&)> arrange;
    int status;
    std::vector<Box> boxes;
    bool elevated = false;  // handed over to the elevated run
  };
  const std::vector<Case> cases = {
      {"held", [&](FakeSystem& s) { s.held_folders.insert(html); }, kRefused, box(another, 16)},
      {"standard user", [&](FakeSystem& s) { s.unwritable_folders.insert(html); }, kRefused,
       box(administrator, 16)},
      {"administrator, filtered",
       [&](FakeSystem& s) {
         s.unwritable_folders.insert(html);
         s.elevation_state = Elevation::kAvailable;
         s.elevated_status = kInstalled;
       },
       kInstalled,
       {},
       true},
      {"administrator, declined",
       [&](FakeSystem& s) {
         s.unwritable_folders.insert(html);
         s.elevation_state = Elevation::kAvailable;
         s.elevated_status = std::nullopt;
       },
       kRefused, box(administrator, 16), true},
      {"administrator in full, still denied",
       [&](FakeSystem& s) {
         s.unwritable_folders.insert(html);
         s.elevation_state = Elevation::kFull;
       },
       kFailed, box("Errore 70: Autorizzazione negata\n" + html, 16, "Ludrimex")},
  };
  for (const auto& c : cases) {
    FakeSystem run = sys;
    run.files[log + FakeSystem::kTemporary + "7"] = "part of a log";  // left for the run that may write
    c.arrange(run);
    const auto before = run.files;
    EXPECT_EQ(run_ludrimex(run), c.status) << c.what;
    EXPECT_EQ(run.boxes, c.boxes) << c.what;
    if (c.status != kInstalled || c.elevated) {
      EXPECT_EQ(run.files, before) << c.what;
      EXPECT_TRUE(run.calls_of({"file_kind"}) == std::vector<std::string>{"file_kind(" + shortcut + ")"})
          << c.what;
    }
    const std::vector<std::string> handed = {"unlock()", "run_elevated()"};
    EXPECT_EQ(run.calls_of({"unlock", "run_elevated"}),
              std::vector<std::string>(handed.begin(), handed.begin() + (c.elevated ? 2 : 1)))
        << c.what;
  }
}

// A process list that can't be read is no proof that the launcher is not running.
TEST_F(PatchRun, AProcessListThatCantBeReadStopsTheRun) {
  FakeSystem process_list_only = sys;
  process_list_only.failing_snapshots = {kSnapAll};
  process_list_only.add_process("Sorvanta.exe");
  EXPECT_EQ(run_ludrimex(process_list_only), kRefused);
  EXPECT_EQ(process_list_only.calls_of({"create_process_snapshot"}),
            (std::vector<std::string>{"create_process_snapshot(15, 0)", "create_process_snapshot(2, 0)"}));

  FakeSystem none = sys, cut_short = sys;
  none.failing_snapshots = {kSnapAll, kSnapProcess};
  cut_short.process_walk_fails = true;
  for (auto* run : {&none, &cut_short}) {
    EXPECT_EQ(run_ludrimex(*run), kFailed);
    EXPECT_EQ(run->boxes,
              box("Errore 75: Errore di accesso al percorso/file\nelenco dei processi", 16, "Ludrimex"));
    EXPECT_EQ(run->files, sys.files);
  }
}

TEST_F(PatchRun, RefusesWhileTheLauncherRuns) {
  const std::vector<std::vector<std::string_view>> running = {
      {"Sorvanta.exe"},  // the very first entry
      {"init", "SORVANTA.EXE", "bash"},
      {"init", "sorVanta.Exe"},
      {"init", R"(C:\Programmi\Veltrano\Sorvanta.exe)"},
      {"init", "Sorvanta.exe\0garbage"sv},
  };
  for (const auto& names : running) {
    FakeSystem run = sys;
    for (const auto name : names) run.add_process(name);
    EXPECT_EQ(run_ludrimex(run), kRefused) << names.back();
    EXPECT_EQ(run.boxes, box("Chiudere il catalogo prima dell'aggiornamento! Rieseguire la patch!", 16));
    EXPECT_EQ(run.calls_of({"process_next", "message_box", "close_snapshot"}).back(), "close_snapshot()");
    EXPECT_EQ(run.files, sys.files);
  }
}

TEST_F(PatchRun, OnlyTheLauncherItselfStopsTheRun) {
  const std::vector<std::vector<std::string_view>> others = {
      {}, {"Sorvanta.exe.bak", "xSorvanta.exe", "Sorvanta.ex"}, {"abc\0Sorvanta.exe"sv}};
  for (const auto& names : others) {
    FakeSystem run = sys;
    for (const auto name : names) run.add_process(name);
    EXPECT_EQ(run_ludrimex(run), kInstalled);
  }
  // A name field without a NUL is an empty name, even one whose last part would be the launcher's.
  sys.add_process(std::string(260 - 13, 'x') + "\\Sorvanta.exe");
  EXPECT_EQ(run_ludrimex(sys), kInstalled);
}

TEST_F(PatchRun, ReportsAnUntrappedErrorInOneBoxNamingTheFile) {
  FakeSystem unreadable = sys;  // a shortcut that can't be read gives a blank folder: an error
  unreadable.shortcuts.clear();
  EXPECT_EQ(run_ludrimex(unreadable), kFailed);
  EXPECT_EQ(unreadable.boxes,
            box("Errore 5: Chiamata di routine o argomento non validi\n" + shortcut, 16, "Ludrimex"));

  sys.fail("copy_file", 1, kPermissionDenied);
  EXPECT_EQ(run_ludrimex(sys), kFailed);
  EXPECT_EQ(sys.boxes, box("Errore 70: Autorizzazione negata\n" + html + "\\Sorvanta.exe", 16, "Ludrimex"));
}

}  // namespace
}  // namespace ludrimex::testing
