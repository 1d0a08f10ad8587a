// Repairing the installation folder and applying the patch to it.
#include <optional>
#include <string>
#include <vector>

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
    ASSERT_FALSE(sys.calls.empty());
    EXPECT_EQ(sys.calls.front(), "dir(" + folder + "\\patch.txt, 0)") << Path;
  }
}

TEST_F(Update, AnEmptyFolderStopsBeforeAnythingIsReadOrWritten) {
  for (const auto& [Path, number] :
       {std::pair{std::string(), "5 "}, {std::string(255, ' '), "5 "}, {as_read(""), "76 "}}) {
    EXPECT_EQ(error_of([&, &path = Path] { form.correzione_path(path, a); }), number + shortcut);
    EXPECT_TRUE(sys.calls.empty());
  }
}

TEST_F(Update, RecordsThenReplacesTheLauncherThenEachShortcutRowByRow) {
  form.correzione_path(as_read(html), a);
  std::vector<std::string> expected = {"append_file(" + log + ")",
                                       "copy_file(D:\\Patch\\Sorvanta.exe -> " + html + "\\Sorvanta.exe)"};
  const std::string targets[3] = {"Sorvanta.exe", "VeltranoCatalogoUpdate.exe",
                                  "VeltranoCatalogoUnistall.exe"};
  for (int row = 0; row < 3; ++row) {
    const std::string& t = titles[row];
    expected.push_back("create_shell_link_4(STKIT432.DLL, ., " + t + ", " + html + "\\" + targets[row] +
                       ", \"\")");
    expected.push_back("copy_file(" + a + "\\" + t + ".lnk -> " + group + "\\" + t + ".lnk)");
    expected.push_back("delete_file(" + a + "\\" + t + ".lnk)");
  }
  EXPECT_EQ(sys.calls_of({"append_file", "copy_file", "delete_file", "create_shell_link_4"}), expected);
  EXPECT_EQ(sys.files[html + "\\Sorvanta.exe"], "new launcher");
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(sys.files[group + "\\" + titles[row] + ".lnk"], "shortcut to " + html + "\\" + targets[row]);
    EXPECT_FALSE(sys.files.count(a + "\\" + titles[row] + ".lnk"));
  }
}

TEST_F(Update, ARefusedPatchTouchesNothing) {
  sys.files[log] = "1         01/01/2026\r\n";
  const auto before = sys.files;
  EXPECT_EQ(end_status([&] { form.correzione_path(as_read(html), a); }), kRefused);
  EXPECT_EQ(sys.files, before);
}

// Whatever step of the update fails, the log goes back to what it was, so the patch can run again.
TEST_F(Update, AFailedUpdateLeavesTheLogAsItFoundIt) {
  const std::vector<std::optional<std::string>> logs = {std::nullopt, "0         01/01/2026\r\n",
                                                        "0         01/01/2026", "\r\n"};
  std::vector<std::pair<std::string, int>> steps = {{"copy_file", 1}};  // the launcher, then each row
  for (int row = 1; row <= 3; ++row)
    steps.insert(steps.end(), {{"copy_file", row + 1}, {"delete_file", row}});
  for (const auto& before : logs) {
    for (auto [operation, nth] : steps) {
      FakeSystem run = sys;
      if (before) run.files[log] = *before;
      if (operation == "delete_file" && before == "\r\n") ++nth;  // the empty log is deleted first
      run.fail(operation, nth, kPermissionDenied);
      Form1 first(run);
      EXPECT_TRUE(error_of([&] { first.correzione_path(as_read(html), a); }).starts_with("70 "));
      EXPECT_EQ(run.files.count(log) ? std::optional(run.files[log]) : std::nullopt, before)
          << operation << nth;

      Form1 second(run);
      second.correzione_path(as_read(html), a);
      EXPECT_TRUE(run.files[log].ends_with("1         06/12/2026\r\n"));
      EXPECT_EQ(run.files[group + "\\Veltrano Disinstallazione.lnk"],
                "shortcut to " + html + "\\VeltranoCatalogoUnistall.exe");
    }
  }
}

TEST_F(Update, AShortcutTheToolkitDidNotMakeStopsTheRunAtItsRow) {
  sys.toolkits["STKIT432"].result = 0;
  sys.files[a + "\\Veltrano Catalogo.lnk"] = "left by an earlier run";  // copied instead
  EXPECT_EQ(error_of([&] { form.correzione_path(as_read(html), a); }),
            "53 " + a + "\\Veltrano Aggiornamento.lnk");
  EXPECT_EQ(sys.files[group + "\\Veltrano Catalogo.lnk"], "left by an earlier run");
  EXPECT_EQ(sys.files[group + "\\Veltrano Aggiornamento.lnk"], "old shortcut");
  EXPECT_FALSE(sys.files.count(log));

  sys.files[log] = "0\r\n";  // a log that can't be put back is what the report names
  sys.fail("write_file", 1, kDiskFull);
  EXPECT_EQ(error_of([&] { form.correzione_path(as_read(html), a); }), "61 " + log);
}

}  // namespace
}  // namespace ludrimex::testing
