// Ludrimex.exe killed under Wine right after each call of its run that changes the disk (every
// creation, write, attribute change, rename and delete it asks of the system, the two renames of
// each replace with a backup among them), then run again as a user would: the rerun must leave the
// installation fully patched, with nothing of the stopped run's left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iostream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "tests/wine/disk_change_debugger.h"
#include "tests/wine/wine_support.h"

namespace {

using namespace wine_test;

constexpr DWORD kInstalled = 0, kRefused = 1;

const std::string kOldLauncher = "launcher 0.9", kNewLauncher = "launcher 1.0";

// A run's changes, a numbered line each.
std::string listing(const std::vector<DiskChange>& changes) {
  std::string text;
  for (std::size_t n = 1; n <= changes.size(); ++n)
    text += "  " + std::to_string(n) + ". " + changes[n - 1].text() + "\n";
  return text;
}

// A change's text with its numbers blanked out: the temporary names carry the process id.
std::string without_numbers(const std::string& text) {
  return std::regex_replace(text, std::regex("[0-9]+"), "#");
}

struct Row {
  const char* name;
  const char* log;  // the log before the run; nullptr for none
};
void PrintTo(const Row& row, std::ostream* out) {
  *out << row.name;
}

class LudrimexKilledTest : public ::testing::TestWithParam<Row> {
 public:
  void SetUp() override {
    std::error_code ignored;
    fs::remove_all(group, ignored);
    programs_before = names_in(programs);
    fs::create_directories(delivery);
    fs::copy_file(built(LUDRIMEX_EXE), delivery / L"Ludrimex.exe");
    fs::copy_file(built(STKIT432_DLL), delivery / L"STKIT432.DLL");
    write_bytes(delivery / L"Sorvanta.exe", kNewLauncher);
  }

  void TearDown() override { remove_ours_from_programs(); }

  // The catalogue as its installer leaves it, with the row's log; anything a run left is gone.
  void reinstall() {
    remove_ours_from_programs();
    remove_folder(scratch / L"Veltrano Catalogo");
    fs::create_directories(html);
    write_bytes(html / L"index.html", "<title>Catalogo</title>");
    write_bytes(html / L"Sorvanta.exe", kOldLauncher);
    if (GetParam().log) write_bytes(html / L"patch.txt", GetParam().log);
    fs::create_directories(group);
    write_catalogue_shortcuts(group, html);
  }

  // What keeps the installation from being fully patched, "" when nothing does: the new launcher,
  // the old log and one record of this patch dated one of `dates`, the three group shortcuts, and no
  // file in the folders a run touches but those.
  std::string unpatched(const std::vector<std::string>& dates) const {
    std::string problems;
    const auto problem = [&](const std::string& text) { problems += (problems.empty() ? "" : "; ") + text; };
    const std::string log = fs::exists(html / L"patch.txt") ? read_bytes(html / L"patch.txt") : "(none)";
    const std::string before = GetParam().log ? GetParam().log : "";
    if (std::none_of(dates.begin(), dates.end(),
                     [&](const std::string& date) { return log == before + "1         " + date + "\r\n"; }))
      problem("log " + log);
    if (read_bytes(html / L"Sorvanta.exe") != kNewLauncher) problem("old launcher");
    for (const auto& [title, file] : kCatalogueShortcuts) {
      const fs::path link = group / (std::wstring(title) + L".lnk");
      try {
        const LinkFields fields = read_link(link);
        if (fields.target != (html / file).wstring() || fields.working_directory != html.wstring())
          problem("group shortcut " + utf8(title) + " to " + utf8(fields.target));
      } catch (const std::exception&) {
        problem("group shortcut " + utf8(title) + (fs::exists(link) ? " unreadable" : " missing"));
      }
    }
    std::set<std::wstring> in_programs = programs_before;
    in_programs.insert(L"Veltrano Catalogo");
    const std::vector<std::pair<fs::path, std::set<std::wstring>>> expected = {
        {scratch.path(), {L"Veltrano Catalogo", L"consegna"}},
        {html, {L"index.html", L"Sorvanta.exe", L"patch.txt"}},
        {group, {L"Veltrano Catalogo.lnk", L"Veltrano Aggiornamento.lnk", L"Veltrano Disinstallazione.lnk"}},
        {programs, in_programs},
        {delivery, {L"Ludrimex.exe", L"STKIT432.DLL", L"Sorvanta.exe"}},
    };
    for (const auto& [folder, allowed] : expected) {
      for (const std::wstring& name : names_in(folder)) {
        if (!allowed.contains(name)) problem("left behind: " + utf8((folder / name).wstring()));
      }
    }
    return problems;
  }

  // What a kill right after `change` should have left and did not, "" when all is there.
  static std::string not_left_by(const DiskChange& change) {
    const bool file = fs::exists(change.file);
    switch (change.effect) {
      case Effect::kCreated:
        return file ? "" : "no " + utf8(change.file);
      case Effect::kRenamed:
        return !file && fs::exists(change.target) ? "" : "not renamed";
      case Effect::kDeleted:
        return file ? "not deleted" : "";
      case Effect::kOther:
        break;
    }
    return "";
  }

  // Whether a kill right after `change` left a replaced file's name free, its old copy beside it.
  static bool between_renames(const DiskChange& change) {
    return change.effect == Effect::kRenamed && change.target.starts_with(change.file + L".~") &&
           !fs::exists(change.file) && fs::exists(change.target);
  }

  DWORD run_patch() const { return run(delivery / L"Ludrimex.exe", scratch.path()); }
  DebuggedRun run_patch_debugged(std::size_t kill_after = 0) const {
    return run_debugged(delivery / L"Ludrimex.exe", scratch.path(), {scratch.path(), programs}, kill_after);
  }

 private:
  void remove_ours_from_programs() const {
    for (const std::wstring& name : names_in(programs)) {
      if (!programs_before.contains(name)) remove_folder(programs / name);
    }
  }

  // A killed program's files may stay held for a moment while the system closes its handles.
  static void remove_folder(const fs::path& folder) {
    for (int attempt = 1;; ++attempt) {
      std::error_code error;
      fs::remove_all(folder, error);
      if (!error) return;
      if (attempt == 50) throw fs::filesystem_error("the test could not remove", folder, error);
      ::Sleep(100);
    }
  }

 protected:
  ScratchFolder scratch{L"kill"};
  const fs::path programs = programs_folder();
  const fs::path group = programs / L"Veltrano Catalogo";
  const fs::path html = scratch / L"Veltrano Catalogo" / L"progetto_html";
  const fs::path delivery = scratch / L"consegna";
  std::set<std::wstring> programs_before;
};

TEST_P(LudrimexKilledTest, KilledRightAfterEachChangeOfTheDiskTheNextRunFinishesThePatch) {
  reinstall();
  const DebuggedRun whole = run_patch_debugged();
  ASSERT_EQ(whole.exit_code, kInstalled);
  ASSERT_EQ(unpatched({today()}), "");
  // The launcher and three shortcuts made, copied into the group and deleted: that many at least.
  ASSERT_GE(whole.changes.size(), 20u);

  int between = 0;
  for (std::size_t n = 1; n <= whole.changes.size(); ++n) {
    const DiskChange& point = whole.changes[n - 1];
    const std::string where = "killed after change " + std::to_string(n) + ", " + point.text();
    reinstall();
    const std::string date = today();
    const DebuggedRun killed = run_patch_debugged(n);
    ASSERT_TRUE(killed.killed) << "not killed, so the run no longer makes that change: " << where
                               << "\nit ended with status " << killed.exit_code << " after\n"
                               << listing(killed.changes);
    ASSERT_EQ(killed.exit_code, kKilledExitCode) << where;
    ASSERT_EQ(without_numbers(killed.changes.back().text()), without_numbers(point.text()))
        << where << "\nthe killed run made\n"
        << listing(killed.changes) << "the whole run made\n"
        << listing(whole.changes);
    EXPECT_EQ(not_left_by(killed.changes.back()), "") << where;
    if (between_renames(killed.changes.back())) ++between;

    const DWORD status = run_patch();
    // Refused only as already installed, which the state below tells.
    EXPECT_TRUE(status == kInstalled || status == kRefused)
        << where << "\nthe rerun ended with status " << status;
    EXPECT_EQ(unpatched({date, today()}), "") << where << "\nthe rerun ended with status " << status;
  }
  std::cout << "[ kill points ] " << whole.changes.size() << ", " << between
            << " of them between the two renames of a replace\n";
  EXPECT_GE(between, 1) << "no kill left a replaced file's name free with its old copy beside it";
}

INSTANTIATE_TEST_SUITE_P(Logs, LudrimexKilledTest,
                         ::testing::Values(Row{"NoLog", nullptr},
                                           Row{"LogOfThePreviousPatch", "0         01/12/2026\r\n"}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
