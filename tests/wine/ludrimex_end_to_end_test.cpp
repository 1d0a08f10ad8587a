// Ludrimex.exe run for real under Wine against an installed catalogue: files and exit status.
// (Without a display each message box returns at once.)
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "tests/wine/wine_support.h"
#include "win32/scoped.h"

namespace {

using namespace wine_test;

constexpr DWORD kInstalled = 0, kRefused = 1, kFailed = 2;

// A folder's path without its "\\?\" prefix.
fs::path plain(const fs::path& folder) {
  const std::wstring text = folder.wstring();
  return text.starts_with(L"\\\\?\\") ? fs::path(text.substr(4)) : folder;
}

// A program under test: the build's, or the copy named by the environment variable (signed-programs-test
// runs this suite on signed copies).
fs::path under_test(const char* variable, const char* build_path) {
  const char* copy = std::getenv(variable);
  return built(copy && *copy ? copy : build_path);
}

// A catalogue installed for the current user (HTML folder, launcher, Start-menu group with its three
// shortcuts) and a patch delivery folder with Ludrimex.exe, STKIT432.DLL and the new launcher.
class LudrimexTest : public ::testing::Test {
 public:
  void SetUp() override {
    fs::create_directories(html);
    write_bytes(html / L"index.html", "<title>Catalogo</title>");
    write_bytes(html / L"Sorvanta.exe", "launcher 0.9");
    fs::create_directories(group);
    write_catalogue_shortcuts(group, html);
    fs::create_directories(delivery);
    fs::copy_file(under_test("VELTRANO_LUDRIMEX_EXE", LUDRIMEX_EXE), delivery / L"Ludrimex.exe");
    fs::copy_file(under_test("VELTRANO_STKIT432_DLL", STKIT432_DLL), delivery / L"STKIT432.DLL");
    write_bytes(delivery / L"Sorvanta.exe", "launcher 1.0");
  }

  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(group, ignored);
    for (const auto& [title, file] : kCatalogueShortcuts)
      fs::remove(programs / (std::wstring(title) + L".lnk"), ignored);
  }

  // Runs the patch from a folder of the user's choosing, as from a download folder.
  DWORD run_patch() { return run(delivery / L"Ludrimex.exe", scratch.path()); }

  // Moves the installation to `folder` (given in its "\\?\" form when it is that long): launcher
  // and shortcuts.
  void install_in(const fs::path& folder) {
    fs::create_directories(folder);
    write_bytes(folder / L"Sorvanta.exe", "launcher 0.9");
    write_catalogue_shortcuts(group, plain(folder));
  }

  // Everything a run may change: the HTML folder's files with their bytes, and the shortcuts.
  std::string state(const fs::path& folder) {
    std::string all = group_shortcut_bytes();
    WIN32_FIND_DATAW entry;
    const win32::FindHandle search(::FindFirstFileW((folder / L"*").c_str(), &entry));
    for (bool more = static_cast<bool>(search); more; more = ::FindNextFileW(search.get(), &entry)) {
      all += "|" + utf8(entry.cFileName) + ":" + std::to_string(entry.dwFileAttributes) + ":";
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) all += read_bytes(folder / entry.cFileName);
    }
    return all;
  }

  std::string group_shortcut_bytes() {
    std::string all;
    for (const auto& [title, file] : kCatalogueShortcuts)
      all += read_bytes(group / (std::wstring(title) + L".lnk"));
    return all;
  }

  ScratchFolder scratch{L"e2e"};
  const fs::path programs = programs_folder();
  const fs::path group = programs / L"Veltrano Catalogo";
  const fs::path html = scratch / L"Veltrano Catalogo àè" / L"progetto_html";
  const fs::path delivery = scratch / L"consegna";
};

TEST_F(LudrimexTest, CleanInstallRecordsThePatchReplacesTheLauncherAndRemakesTheShortcuts) {
  fs::remove(group / L"Veltrano Aggiornamento.lnk");  // a lost shortcut comes back too
  // What a run stopped half way left of its replaces goes too.
  const std::array<fs::path, 3> leftovers = {html / L"patch.txt.~77-0", html / L"Sorvanta.exe.~77-1",
                                             programs / L"Veltrano Catalogo.lnk.~77-0"};
  for (const fs::path& leftover : leftovers) write_bytes(leftover, "a part");

  ASSERT_EQ(run_patch(), kInstalled);
  for (const fs::path& leftover : leftovers) EXPECT_FALSE(fs::exists(leftover)) << utf8(leftover);

  EXPECT_EQ(read_bytes(html / L"patch.txt"), "1         " + today() + "\r\n");
  EXPECT_EQ(read_bytes(html / L"Sorvanta.exe"), "launcher 1.0");
  for (const auto& [title, file] : kCatalogueShortcuts) {
    const fs::path link = group / (std::wstring(title) + L".lnk");
    ASSERT_TRUE(fs::exists(link)) << utf8(title);
    const LinkFields fields = read_link(link);
    EXPECT_EQ(fields.target, (html / file).wstring());
    EXPECT_EQ(fields.working_directory, html.wstring());
    EXPECT_FALSE(fs::exists(programs / (std::wstring(title) + L".lnk"))) << utf8(title);
  }
}

TEST_F(LudrimexTest, TheSamePatchIsRefusedAndChangesNothing) {
  ASSERT_EQ(run_patch(), kInstalled);
  write_bytes(html / L"Sorvanta.exe", "launcher 0.9");
  const std::string log = read_bytes(html / L"patch.txt");
  const std::string shortcuts = group_shortcut_bytes();

  EXPECT_EQ(run_patch(), kRefused);

  EXPECT_EQ(read_bytes(html / L"patch.txt"), log);
  EXPECT_EQ(read_bytes(html / L"Sorvanta.exe"), "launcher 0.9");
  EXPECT_EQ(group_shortcut_bytes(), shortcuts);
}

TEST_F(LudrimexTest, ARunningLauncherIsRefusedUntilItEnds) {
  const ScratchFolder elsewhere(L"avviato");
  fs::copy_file(built(STAND_IN_SORVANTA_EXE), elsewhere / L"Sorvanta.exe");
  const std::string shortcuts = group_shortcut_bytes();
  {
    Child launcher(elsewhere / L"Sorvanta.exe", elsewhere.path());
    EXPECT_EQ(run_patch(), kRefused);
    EXPECT_FALSE(fs::exists(html / L"patch.txt"));
    EXPECT_EQ(read_bytes(html / L"Sorvanta.exe"), "launcher 0.9");
    EXPECT_EQ(group_shortcut_bytes(), shortcuts);
  }
  EXPECT_EQ(run_patch(), kInstalled);
  EXPECT_EQ(read_bytes(html / L"Sorvanta.exe"), "launcher 1.0");
}

TEST_F(LudrimexTest, NoCatalogueForThisUserIsRefused) {
  fs::remove_all(group);
  EXPECT_EQ(run_patch(), kRefused);
  EXPECT_FALSE(fs::exists(html / L"patch.txt"));
  EXPECT_EQ(read_bytes(html / L"Sorvanta.exe"), "launcher 0.9");
}

TEST_F(LudrimexTest, AMissingNewLauncherIsAnErrorThatLeavesThePatchUnrecorded) {
  fs::remove(delivery / L"Sorvanta.exe");
  EXPECT_EQ(run_patch(), kFailed);
  EXPECT_FALSE(fs::exists(html / L"patch.txt"));

  write_bytes(delivery / L"Sorvanta.exe", "launcher 1.0");
  EXPECT_EQ(run_patch(), kInstalled);
}

TEST_F(LudrimexTest, LibrariesPlantedBesideTheInstallerOrInTheCurrentFolderNeverRun) {
  // The planted library runs its code wherever it is loaded from: the marker shows that it would.
  fs::copy_file(built(PLANTED_DLL), scratch / L"prova.dll");
  ::FreeLibrary(::LoadLibraryW((scratch / L"prova.dll").c_str()));
  ASSERT_TRUE(fs::exists(scratch / L"prova.dll.eseguita"));

  for (const fs::path& folder : {delivery, scratch.path()}) {
    for (const wchar_t* name : {L"VB6STKIT.DLL", L"VB5STKIT.DLL"})
      fs::copy_file(built(PLANTED_DLL), folder / name);
  }
  ASSERT_EQ(run_patch(), kInstalled);  // from the current folder, itself holding planted copies
  for (const fs::path& folder : {delivery, scratch.path()}) {
    for (const wchar_t* name : {L"VB6STKIT.DLL", L"VB5STKIT.DLL"})
      EXPECT_FALSE(fs::exists(folder / (std::wstring(name) + L".eseguita"))) << utf8(folder / name);
  }
  EXPECT_EQ(read_bytes(html / L"Sorvanta.exe"), "launcher 1.0");
  EXPECT_EQ(read_link(group / L"Veltrano Catalogo.lnk").target, (html / L"Sorvanta.exe").wstring());
}

// A Ludrimex built as a package's, carrying the SHA-256 of this build's stand-in Sorvanta.exe and
// STKIT432.DLL: another Sorvanta.exe or STKIT432.DLL beside it is refused with nothing changed, and the
// planted library's code never runs; the package's own files are installed.
TEST_F(LudrimexTest, APackagesInstallerInstallsOnlyThePackagesOwnFiles) {
  const fs::path marker = delivery / L"STKIT432.DLL.eseguita";
  const auto deliver = [&](const char* ludrimex, const char* sorvanta, const char* stkit432) {
    for (const auto& [from, to] :
         {std::pair{ludrimex, L"Ludrimex.exe"}, {sorvanta, L"Sorvanta.exe"}, {stkit432, L"STKIT432.DLL"}}) {
      fs::copy_file(built(from), delivery / to, fs::copy_options::overwrite_existing);
    }
  };
  struct Delivery {
    const char* ludrimex;
    const char* stkit432;
    const char* sorvanta;  // null: "launcher 1.0"
    DWORD status;
  };
  const std::array<Delivery, 3> refused{{
      {PACKAGED_LUDRIMEX_EXE, STKIT432_DLL, nullptr, kRefused},
      {PACKAGED_LUDRIMEX_EXE, PLANTED_DLL, STAND_IN_SORVANTA_EXE, kRefused},
      // The same without a package: the planted library runs, and its missing entry stops the run.
      {LUDRIMEX_EXE, PLANTED_DLL, STAND_IN_SORVANTA_EXE, kFailed},
  }};
  for (const auto& [ludrimex, stkit432, sorvanta, status] : refused) {
    deliver(ludrimex, sorvanta ? sorvanta : STAND_IN_SORVANTA_EXE, stkit432);
    if (!sorvanta) write_bytes(delivery / L"Sorvanta.exe", "launcher 1.0");
    const std::string installation = state(html), delivered = state(delivery);
    EXPECT_EQ(run_patch(), status) << ludrimex << ", " << stkit432;
    EXPECT_EQ(state(html), installation) << ludrimex << ", " << stkit432;
    EXPECT_EQ(fs::exists(marker), status == kFailed) << ludrimex << ", " << stkit432;
    if (status == kRefused) {
      EXPECT_TRUE(state(delivery) == delivered) << stkit432 << ": the delivery changed";
    }
  }

  deliver(PACKAGED_LUDRIMEX_EXE, STAND_IN_SORVANTA_EXE, STKIT432_DLL);
  ASSERT_EQ(run_patch(), kInstalled);
  EXPECT_EQ(read_bytes(html / L"Sorvanta.exe"), read_bytes(built(STAND_IN_SORVANTA_EXE)));
  EXPECT_EQ(read_bytes(html / L"patch.txt"), "1         " + today() + "\r\n");
  EXPECT_EQ(read_link(group / L"Veltrano Catalogo.lnk").target, (html / L"Sorvanta.exe").wstring());
}

TEST_F(LudrimexTest, ALongAccentedFolderIsPatchedInPlace) {
  // 154 accented characters in two names: the host file system takes 255 bytes a name.
  const fs::path folder = scratch / std::wstring(77, L'à') / std::wstring(77, L'è') / L"progetto_html";
  install_in(folder);

  ASSERT_EQ(run_patch(), kInstalled);
  EXPECT_EQ(read_bytes(folder / L"patch.txt"), "1         " + today() + "\r\n");
  EXPECT_EQ(read_bytes(folder / L"Sorvanta.exe"), "launcher 1.0");
  EXPECT_EQ(read_link(group / L"Veltrano Catalogo.lnk").working_directory, folder.wstring());
  EXPECT_FALSE(fs::exists(folder.parent_path() / L"patch.txt"));
}

// Runs that must stop before they change anything: the status, with the installation as it was.
class LudrimexUnchangedTest;
struct Unchanged {
  const char* name;
  DWORD status;
  std::function<fs::path(LudrimexUnchangedTest&)> arrange;  // the HTML folder to look at
  bool launcher_busy = false;  // held open by another program: its replacement fails, before the record
};

class LudrimexUnchangedTest : public LudrimexTest, public ::testing::WithParamInterface<Unchanged> {
 public:
  // A log of `bytes` with `attributes` in the HTML folder.
  fs::path log(const std::string& bytes, DWORD attributes) {
    write_bytes(html / L"patch.txt", bytes);
    ::SetFileAttributesW((html / L"patch.txt").c_str(), attributes);
    return html;
  }

  win32::ObjectHandle held_mutex;
};

TEST_P(LudrimexUnchangedTest, StopsWithNothingChanged) {
  const fs::path folder = GetParam().arrange(*this);
  const std::string before = state(folder);
  {
    win32::KernelHandle busy;
    if (GetParam().launcher_busy) {
      busy.reset(::CreateFileW((html / L"Sorvanta.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                               nullptr));
    }
    EXPECT_EQ(run_patch(), GetParam().status);
  }
  EXPECT_EQ(state(folder), before);
  EXPECT_EQ(read_bytes(html / L"Sorvanta.exe"), "launcher 0.9");  // the real catalogue's, too
  ::SetFileAttributesW((html / L"patch.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

const std::string kOlderPatch = "0         01/12/2026\r\n";
const std::string kThisPatch = "1         01/12/2026\r\n";
constexpr DWORD kHidden = FILE_ATTRIBUTE_HIDDEN, kSystem = FILE_ATTRIBUTE_SYSTEM;

// Installs in `folder` (in its "\\?\" form when long), outside the fixture's HTML folder.
fs::path moved(LudrimexUnchangedTest& t, const fs::path& folder) {
  t.install_in(folder);
  return folder;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LudrimexUnchangedTest,
    ::testing::Values(Unchanged{"HiddenLogAlreadyInstalled", kRefused,
                                [](auto& test) { return test.log(kThisPatch, kHidden); }},
                      Unchanged{"HiddenSystemLogAlreadyInstalled", kRefused,
                                [](auto& test) { return test.log(kThisPatch, kHidden | kSystem); }},
                      Unchanged{"HiddenLogUntouchedWhenTheLauncherIsBusy", kFailed,
                                [](auto& test) { return test.log(kOlderPatch, kHidden | kSystem); }, true},
                      Unchanged{"ReadOnlyLog", kFailed,
                                [](auto& test) { return test.log(kOlderPatch, FILE_ATTRIBUTE_READONLY); }},
                      Unchanged{"FolderOutsideTheAnsiCodePage", kFailed,
                                [](auto& test) {
                                  return moved(test, test.scratch / L"Каталог" / L"progetto_html");
                                }},
                      Unchanged{"FolderBeyondMaxPath", kFailed,
                                [](auto& test) {
                                  return moved(
                                      test, L"\\\\?\\" + (test.scratch / std::wstring(100, L'è') /
                                                          std::wstring(100, L'ì') / std::wstring(100, L'ò'))
                                                             .wstring());
                                }},
                      Unchanged{"AnotherRunUnderWay", kRefused,
                                [](auto& test) {
                                  test.held_mutex.reset(::CreateMutexW(nullptr, TRUE, L"Global\\Ludrimex"));
                                  return test.html;
                                }}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
