// Repairing the installation folder and applying the patch to it.
#include <optional>
#include <string>
#include <vector>

#include "tests/patch_logic/installation.h"

namespace ludrimex::testing {
namespace {

class Update : public Installation {
 protected:
  const std::string shortcut = group + "\\Veltrano Catalogo.lnk";

  // The HTML folder the update settled on: the one whose log it looked for first.
  std::string folder_used(const std::string& Path) {
    sys.calls.clear();
    try {
      form.correzione_path(Path, a);
    } catch (const RunError&) {
      // The repaired folder need not exist here; only the path matters.
    }
    const std::string first = sys.calls.empty() ? "" : sys.calls.front();
    const std::string prefix = "dir(", suffix = "\\patch.txt, 0)";
    if (!first.starts_with(prefix) || !first.ends_with(suffix)) return "<" + first + ">";
    return first.substr(prefix.size(), first.size() - prefix.size() - suffix.size());
  }
};

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
  for (const auto& [Path, folder] : cases) EXPECT_EQ(folder_used(Path), folder) << Path;
}

TEST_F(Update, AnEmptyFolderStopsBeforeAnythingIsReadOrWritten) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"", kInvalidArgument}, {std::string(255, ' '), kInvalidArgument}, {as_read(""), kPathNotFound}};
  for (const auto& [Path, number] : cases) {
    sys.calls.clear();
    try {
      form.correzione_path(Path, a);
      ADD_FAILURE() << "no error";
    } catch (const RunError& error) {
      EXPECT_EQ(error.number(), number);
      EXPECT_EQ(error.subject(), shortcut);
    }
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
  EXPECT_TRUE(sys.calls_of({"copy_file", "create_shell_link_4"}).empty());
}

// Whatever step of the update fails, the log goes back to what it was, so the patch can run again.
TEST_F(Update, AFailedUpdateLeavesTheLogAsItFoundIt) {
  const std::vector<std::optional<std::string>> logs = {std::nullopt, "0         01/01/2026\r\n",
                                                        "0         01/01/2026", "\r\n"};
  struct Step {
    std::string operation;
    int nth;
  };
  std::vector<Step> steps = {{"copy_file", 1}};  // the launcher
  for (int row = 1; row <= 3; ++row) {
    steps.push_back({"copy_file", row + 1});
    steps.push_back({"delete_file", row});
  }
  for (const auto& before : logs) {
    for (const auto& step : steps) {
      FakeSystem fresh = sys;
      if (before) fresh.files[log] = *before;
      // An empty log is deleted first, which shifts the deletions of the update by one.
      const int nth = step.nth + (step.operation == "delete_file" && before == "\r\n" ? 1 : 0);
      fresh.fail(step.operation, nth, kPermissionDenied);
      Form1 first(fresh);
      EXPECT_EQ(error_number([&] { first.correzione_path(as_read(html), a); }), kPermissionDenied)
          << step.operation << nth;
      EXPECT_EQ(fresh.files.count(log) ? std::optional(fresh.files[log]) : std::nullopt, before);

      Form1 second(fresh);
      second.correzione_path(as_read(html), a);
      EXPECT_TRUE(fresh.files[log].ends_with("1         06/12/2026\r\n"));
      EXPECT_EQ(fresh.files[group + "\\Veltrano Disinstallazione.lnk"],
                "shortcut to " + html + "\\VeltranoCatalogoUnistall.exe");
    }
  }
}

TEST_F(Update, AShortcutTheToolkitDidNotMakeStopsTheRunAtItsRow) {
  sys.toolkits["STKIT432"].result = 0;
  sys.files[a + "\\Veltrano Catalogo.lnk"] = "left by an earlier run";  // copied instead
  try {
    form.correzione_path(as_read(html), a);
    ADD_FAILURE() << "no error";
  } catch (const RunError& error) {
    EXPECT_EQ(error.number(), kFileNotFound);
    EXPECT_EQ(error.subject(), a + "\\Veltrano Aggiornamento.lnk");
  }
  EXPECT_EQ(sys.files[group + "\\Veltrano Catalogo.lnk"], "left by an earlier run");
  EXPECT_EQ(sys.files[group + "\\Veltrano Aggiornamento.lnk"], "old shortcut");
  EXPECT_EQ(sys.files[group + "\\Veltrano Disinstallazione.lnk"], "old shortcut");
  EXPECT_FALSE(sys.files.count(log));
}

TEST_F(Update, ALogThatCantBePutBackIsWhatTheReportNames) {
  sys.files[log] = "0\r\n";
  sys.fail("copy_file", 1, kPermissionDenied);
  sys.fail("write_file", 1, kDiskFull);
  try {
    form.correzione_path(as_read(html), a);
    ADD_FAILURE() << "no error";
  } catch (const RunError& error) {
    EXPECT_EQ(error.number(), kDiskFull);
    EXPECT_EQ(error.subject(), log);
  }
}

}  // namespace
}  // namespace ludrimex::testing
