// Ludrimex.exe run for real under Wine against an installed catalogue: files and exit status.
// (Without a display each message box returns at once.)
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <string>

#include "tests/wine/wine_support.h"

namespace {

using namespace wine_test;

constexpr DWORD kInstalled = 0, kRefused = 1, kFailed = 2;

const std::array<std::pair<const wchar_t*, const wchar_t*>, 3> kShortcuts{{
    {L"Veltrano Catalogo", L"Sorvanta.exe"},
    {L"Veltrano Aggiornamento", L"VeltranoCatalogoUpdate.exe"},
    {L"Veltrano Disinstallazione", L"VeltranoCatalogoUnistall.exe"},
}};

void write(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

std::string today() {
  wchar_t text[80];
  ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, text, 80, nullptr);
  return utf8(text);
}

// A catalogue installed for the current user (HTML folder, launcher, Start-menu group with its three
// shortcuts) and a patch delivery folder with Ludrimex.exe, STKIT432.DLL and the new launcher.
class LudrimexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(html);
    write(html / L"index.html", "<title>Catalogo</title>");
    write(html / L"Sorvanta.exe", "launcher 0.9");
    fs::create_directories(group);
    for (const auto& [title, file] : kShortcuts) {
      write_link(group / (std::wstring(title) + L".lnk"),
                 {.target = (html / file).wstring(), .working_directory = html.wstring()});
    }
    fs::create_directories(delivery);
    fs::copy_file(built(LUDRIMEX_EXE), delivery / L"Ludrimex.exe");
    fs::copy_file(built(STKIT432_DLL), delivery / L"STKIT432.DLL");
    write(delivery / L"Sorvanta.exe", "launcher 1.0");
  }

  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(group, ignored);
    for (const auto& [title, file] : kShortcuts)
      fs::remove(programs / (std::wstring(title) + L".lnk"), ignored);
  }

  // Runs the patch from a folder of the user's choosing, as from a download folder.
  DWORD run_patch() { return run(delivery / L"Ludrimex.exe", scratch.path()); }

  std::string group_shortcut_bytes() {
    std::string all;
    for (const auto& [title, file] : kShortcuts) all += read_bytes(group / (std::wstring(title) + L".lnk"));
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

  ASSERT_EQ(run_patch(), kInstalled);

  EXPECT_EQ(read_bytes(html / L"patch.txt"), "1         " + today() + "\r\n");
  EXPECT_EQ(read_bytes(html / L"Sorvanta.exe"), "launcher 1.0");
  for (const auto& [title, file] : kShortcuts) {
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
  write(html / L"Sorvanta.exe", "launcher 0.9");
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

  write(delivery / L"Sorvanta.exe", "launcher 1.0");
  EXPECT_EQ(run_patch(), kInstalled);
}

}  // namespace
