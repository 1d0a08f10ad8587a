// Repairing the installation folder and applying the patch to it.
#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "patch/program.h"
#include "tests/patch_logic/installation.h"

namespace ludrimex::testing {
namespace {

using Update = Installation;

TEST_F(Update, RepairsTheFolderReadFromTheShortcut) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {as_read(R"(C:\Cat\progetto_html)"), R"(C:\Cat\progetto_html)"},
      {as_read(R"(C:\VeltranoCatalogoprogetto_html)"), R"(C:\VeltranoCatalogo\progetto_html)"},
      {as_read(R"(C:\Veltrano Catalogo\progetto_html)"), R"(C:\Veltrano Catalogo\progetto_html)"},
      {as_read(R"(C:\VELTRANOCATALOGOPROGETTO_HTML)"), R"(C:\VELTRANOCATALOGOPROGETTO_HTML)"},
      {as_read(R"(C:\progetto_html\VeltranoCatalogoprogetto_html)"),
       R"(C:\\progetto_html\VeltranoCatalogo\progetto_html)"},
      {R"(   C:\Cat\progetto_htmlX   )", R"(C:\Cat\progetto_html)"},  // no terminator
      {"C:\\Cat\\Caff\xC3\xA8", R"(C:\Cat\Caff)"},                    // a whole last character
  };
  for (const auto& [Path, folder] : cases) {
    sys.calls.clear();
    // Captured by an init-capture: clang 14 cannot capture a structured binding itself.
    error_of([&, &path = Path] { form.correzione_path(path, a); });  // the folder need not exist here
    ASSERT_FALSE(sys.calls_of({"lock_folder"}).empty());
    EXPECT_EQ(sys.calls_of({"lock_folder"}).front(), "lock_folder(" + folder + ")") << Path;
  }
}

// An empty or relative folder is no installation: its log is not even read.
TEST_F(Update, AnEmptyOrRelativeFolderStopsBeforeAnythingIsReadOrWritten) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "5 "},
      {std::string(255, ' '), "5 "},
      {as_read(""), "76 "},
      {as_read(R"(Cat\progetto_html)"), "76 "},
      {as_read(R"(\Cat\progetto_html)"), "76 "},   // the current drive's root
      {as_read(R"(C:Cat\progetto_html)"), "76 "},  // the current folder of drive C:
      {as_read("VeltranoCatalogoprogetto_html"), "76 "},
  };
  for (const auto& [Path, number] : cases) {
    EXPECT_EQ(error_of([&, &path = Path] { form.correzione_path(path, a); }), number + shortcut) << Path;
    EXPECT_TRUE(sys.calls_of({"file_kind", "read_file", "dir", "clean_up_replace"}).empty());
  }
}

// The record comes last, once everything else is in place.
TEST_F(Update, ReplacesTheLauncherThenEachShortcutRowByRowThenRecords) {
  form.correzione_path(as_read(html), a);
  std::vector<std::string> expected = {"copy_file(D:\\Patch\\Sorvanta.exe -> " + html + "\\Sorvanta.exe)"};
  for (int row = 0; row < 3; ++row) {
    const std::string& t = titles[row];
    expected.push_back("create_shell_link(STKIT432.DLL, ., " + t + ", " + html + "\\" + targets[row] +
                       ", \"\")");
    expected.push_back("copy_file(" + a + "\\" + t + ".lnk -> " + group + "\\" + t + ".lnk)");
    expected.push_back("delete_file(" + a + "\\" + t + ".lnk)");
  }
  expected.push_back("write_file(" + log + ")");
  EXPECT_EQ(sys.calls_of({"write_file", "copy_file", "delete_file", "create_shell_link"}), expected);
  EXPECT_EQ(unpatched(sys, ""), "");
}

// Before anything is read, what an earlier run may have left half done of each file the run replaces
// is put right: the catalogue shortcut itself may be missing beside its backup.
TEST_F(Update, CleansUpEveryFileItReplacesBeforeReadingIt) {
  std::vector<std::string> replaced = {log, html + "\\Sorvanta.exe"};
  for (const auto& title : titles)
    replaced.insert(replaced.end(), {a + "\\" + title + ".lnk", group + "\\" + title + ".lnk"});
  for (const auto& file : replaced) sys.files[file + FakeSystem::kTemporary + "7"] = "a part";
  sys.files[shortcut + FakeSystem::kBackup + "7"] = sys.files[shortcut];
  sys.files.erase(shortcut);

  ASSERT_EQ(run_ludrimex(sys), kInstalled) << sys.boxes[0];
  EXPECT_EQ(unpatched(sys, ""), "");
  for (const auto& file : replaced) {
    const auto cleaned = std::find(sys.calls.begin(), sys.calls.end(), "clean_up_replace(" + file + ")");
    const auto read = std::find_if(sys.calls.begin(), sys.calls.end(), [&](const std::string& call) {
      return call.find("(" + file) != std::string::npos && !call.starts_with("clean_up_replace");
    });
    EXPECT_LT(cleaned, read) << file;
  }
}

// A refusal is shown in the run's own box and touches nothing; a hidden log is found all the same.
TEST_F(Update, ARefusedPatchTouchesNothing) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {record_line(kPatchNumber, "01/01/2026"), "Hai già installato questa patch in data 01/01/2026"},
      {record_line(kPatchNumber - 2, "01/01/2026"),
       "Non puoi installare questa patch perché devi prima installare la patch n. " +
           std::to_string(kPatchNumber - 1)},
  };
  for (const auto& [bytes, text] : cases) {
    FakeSystem run = sys;
    run.files[log] = bytes;
    run.hidden.insert(log);
    const auto before = run.files;
    Form1 refused(run);
    EXPECT_EQ(end_status([&] { refused.correzione_path(as_read(html), a); }), kRefused);
    EXPECT_EQ(run.boxes, box(text, 64));
    EXPECT_EQ(run.files, before);
  }
}

// Whatever step of the update fails, the patch is not recorded, so running it again applies it, and
// no shortcut the toolkit made is left in the Programs folder itself.
TEST_F(Update, AFailedUpdateLeavesTheLogAsItFoundIt) {
  const std::string predecessor = record_line(kPatchNumber - 1, "01/01/2026");
  const std::vector<std::optional<std::string>> logs = {
      std::nullopt, predecessor, predecessor.substr(0, predecessor.size() - 2), "\r\n"};
  std::vector<std::pair<std::string, int>> steps = {{"copy_file", 1}};  // the launcher, then each row
  for (int row = 1; row <= 3; ++row)
    steps.insert(steps.end(), {{"copy_file", row + 1}, {"delete_file", row}});
  steps.push_back({"write_file", 1});  // the record itself
  for (const auto& before : logs) {
    for (auto [operation, nth] : steps) {
      FakeSystem run = sys;
      if (before) run.files[log] = *before;
      run.fail(operation, nth, kPermissionDenied);
      Form1 first(run);
      EXPECT_TRUE(error_of([&] { first.correzione_path(as_read(html), a); }).starts_with("70 "));
      EXPECT_EQ(run.files.count(log) ? std::optional(run.files[log]) : std::nullopt, before)
          << operation << nth;
      for (const auto& title : titles) {
        if (operation == "copy_file") {
          EXPECT_FALSE(run.files.count(a + "\\" + title + ".lnk")) << nth;
        }
      }

      Form1 second(run);
      second.correzione_path(as_read(html), a);
      const std::string kept = before && *before != "\r\n" ? *before : "";
      const std::string joint = kept.empty() || kept.ends_with("\r\n") ? "" : "\r\n";
      EXPECT_EQ(unpatched(run, kept + joint), "") << operation << nth;
    }
  }
}

// A log that would refuse the record (read-only, say) stops the run before the update, not after it.
TEST_F(Update, ALogThatCantTakeTheRecordStopsTheRunBeforeTheUpdate) {
  sys.files[log] = record_line(kPatchNumber - 1, "01/01/2026");
  sys.fail("write_file", 1, kPermissionDenied);
  const auto before = sys.files;
  EXPECT_EQ(error_of([&] { form.correzione_path(as_read(html), a); }), "70 " + log);
  EXPECT_EQ(sys.files, before);
  EXPECT_TRUE(sys.calls_of({"copy_file", "delete_file", "create_shell_link"}).empty());
}

// The toolkit's failure is named, and nothing lying in the Programs folder is taken for its shortcut.
TEST_F(Update, AShortcutTheToolkitDidNotMakeStopsTheRunAtItsRowNamingTheToolkit) {
  FakeSystem run = sys;
  sys.toolkits["STKIT432"].result = 0;
  sys.files[a + "\\Veltrano Catalogo.lnk"] = "left by an earlier run";
  EXPECT_EQ(error_of([&] { form.correzione_path(as_read(html), a); }),
            "75 STKIT432.DLL: Veltrano Catalogo.lnk");
  EXPECT_EQ(sys.files[group + "\\Veltrano Catalogo.lnk"], "old shortcut");
  EXPECT_EQ(sys.files[a + "\\Veltrano Catalogo.lnk"], "left by an earlier run");
  EXPECT_FALSE(sys.files.count(log));

  // A copy that fails is the error reported, whatever the removal of the toolkit's file then meets.
  run.fail("copy_file", 2, kDiskFull);
  run.fail("delete_file", 1, kPermissionDenied);
  Form1 second(run);
  EXPECT_EQ(error_of([&] { second.correzione_path(as_read(html), a); }),
            "61 " + group + "\\Veltrano Catalogo.lnk");
}

// Everything that would stop the update half way and can be known stops it before the first write,
// naming its cause; a patch already recorded is still refused first.
TEST_F(Update, WhatCanBeKnownIsCheckedBeforeTheFirstWrite) {
  const std::string nuovo = sys.app_folder + "\\Sorvanta.exe";
  const std::string accented = R"(C:\Programmi\Catalogo )"
                               "\xC4\x88"
                               R"(\progetto_html)";  // not in the code page
  const std::string long_folder = R"(C:\)" + std::string(240, 'c');
  const std::string far_programs = R"(C:\Users\)"
                                   "\xC4\x88"
                                   R"(\Menu Start\Programmi)";
  struct Case {
    const char* what;
    std::function<void(FakeSystem&)> arrange;
    std::string error;
    std::string folder = {};      // the installation, when not the usual one
    std::string programs = {};    // the Programs folder, when not the usual one
    bool before_the_log = false;  // found before the log is judged
  };
  const std::vector<Case> cases = {
      {"no launcher delivered", [&](FakeSystem& s) { s.files.erase(nuovo); }, "53 " + nuovo},
      {"the launcher a folder", [&](FakeSystem& s) { s.folders.insert(nuovo); }, "75 " + nuovo},
      {"no toolkit", [](FakeSystem& s) { s.toolkits.clear(); }, "53 STKIT432.DLL"},
      {"toolkit broken", [](FakeSystem& s) { s.toolkits["STKIT432"].bind_error = kDllLoadError; },
       "48 STKIT432.DLL"},
      {"entry missing", [](FakeSystem& s) { s.toolkits["VB6STKIT"].bind_error = kDllEntryNotFound; },
       "453 VB6STKIT.DLL"},
      {"folder not in the code page", [&](FakeSystem& s) { s.folders.insert(accented); },
       "52 " + accented + "\\Sorvanta.exe", accented},
      {"folder too long", [&](FakeSystem& s) { s.folders.insert(long_folder); },
       "52 " + long_folder + "\\VeltranoCatalogoUpdate.exe", long_folder},
      {"folder missing", [&](FakeSystem& s) { s.folders.erase(html); }, "76 " + html, "", "", true},
      {"Programs folder not in the code page", [](FakeSystem&) {},
       "52 " + far_programs + "\\Veltrano Catalogo.lnk", "", far_programs},
      {"log a FIFO", [&](FakeSystem& s) { s.others.insert(log); }, "75 " + log},
      {"log a folder", [&](FakeSystem& s) { s.folders.insert(log); }, "75 " + log},
  };
  for (const auto& c : cases) {
    for (const bool recorded : {false, true}) {
      FakeSystem run = sys;
      c.arrange(run);
      const std::string folder = c.folder.empty() ? html : c.folder;
      const std::string programs = c.programs.empty() ? a : c.programs;
      if (recorded) run.files[folder + "\\patch.txt"] = record_line(kPatchNumber, "01/01/2026");
      const auto before = run.files;
      Form1 form1(run);
      if (recorded && !c.error.ends_with(log) && !c.before_the_log) {
        EXPECT_EQ(end_status([&] { form1.correzione_path(as_read(folder), programs); }), kRefused) << c.what;
        continue;
      }
      EXPECT_EQ(error_of([&] { form1.correzione_path(as_read(folder), programs); }), c.error) << c.what;
      EXPECT_EQ(run.files, before) << c.what;
      EXPECT_TRUE(run.calls_of({"write_file", "copy_file", "delete_file", "create_shell_link"}).empty());
    }
  }
}

}  // namespace
}  // namespace ludrimex::testing
