// Ludrimex's Windows System for real, under Wine: the shell's folders and link object, Tool Help,
// the toolkit DLLs, the DLL search order, files, the date and the message queue.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "patch/errors.h"
#include "patch/system.h"
#include "patch/win32/platform_system.h"
#include "tests/support/run_error.h"
#include "tests/wine/wine_support.h"
#include "win32/scoped.h"
#include "win32/text.h"

namespace {

using namespace wine_test;
using ludrimex::ErrorNumber;
using ludrimex::RunError;

// A run's System that waits `budget` in all for files other programs hold.
std::unique_ptr<ludrimex::System> system_waiting(std::chrono::milliseconds budget,
                                                 std::unique_ptr<ludrimex::windows::FileCalls> calls =
                                                     std::make_unique<ludrimex::windows::SystemFileCalls>()) {
  return std::make_unique<ludrimex::windows::WindowsSystem>(std::move(calls), budget);
}

class WindowsSystemTest : public ::testing::Test {
 protected:
  // A failure that would pass is not waited for long here.
  std::unique_ptr<ludrimex::System> system = system_waiting(std::chrono::milliseconds(300));
  ScratchFolder scratch;
};

std::string u8(const fs::path& path) {
  return utf8(path.wstring());
}

// A 255-byte buffer as the shortcut reader hands it to the link object: all spaces.
std::array<char, 255> spaces() {
  std::array<char, 255> buffer;
  buffer.fill(' ');
  return buffer;
}

// The reader's text form: the value, its NUL, then the spaces the query left alone.
std::string text_form(const std::string& value) {
  std::string form = value + '\0';
  return form + std::string(255 - form.size(), ' ');
}

using test_support::run_error_of;

TEST_F(WindowsSystemTest, ProgramsFolderIsTheUsersStartMenuProgramsFolder) {
  const std::string programs = system->special_folder("Programs");
  EXPECT_EQ(programs, u8(programs_folder()));
  EXPECT_NE(programs.back(), '\\');
  EXPECT_TRUE(programs.ends_with("\\Start Menu\\Programs")) << programs;
  EXPECT_EQ(system->dir(programs, ludrimex::kAttrDirectory), "Programs");
  EXPECT_EQ(system->special_folder("programs"), programs);  // WScript.Shell ignores case
  EXPECT_EQ(system->special_folder("AllUsersPrograms").empty(), false);
  EXPECT_NE(system->special_folder("AllUsersPrograms"), programs);
  EXPECT_EQ(system->special_folder("NoSuchFolder"), "");
}

TEST_F(WindowsSystemTest, DirectorySearchAdmitsFoldersOnlyWithTheDirectoryAttribute) {
  fs::create_directory(scratch / L"Veltrano Catalogo");
  fs::create_directory(scratch / L"Catalogo àèìòù");
  std::ofstream(scratch / L"file.txt") << "x";
  std::ofstream(scratch / L"hidden.txt") << "x";
  ::SetFileAttributesW((scratch / L"hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
  const std::string base = u8(scratch.path());

  EXPECT_EQ(system->dir(base + "\\Veltrano Catalogo", ludrimex::kAttrDirectory), "Veltrano Catalogo");
  EXPECT_EQ(system->dir(base + "\\Veltrano Catalogo", ludrimex::kAttrNormal), "");
  EXPECT_EQ(system->dir(base + "\\Catalogo àèìòù", ludrimex::kAttrDirectory), "Catalogo àèìòù");
  EXPECT_EQ(system->dir(base + "\\file.txt", ludrimex::kAttrDirectory), "file.txt");  // files pass too
  EXPECT_EQ(system->dir(base + "\\file.txt", ludrimex::kAttrNormal), "file.txt");
  EXPECT_EQ(system->dir(base + "\\hidden.txt", ludrimex::kAttrDirectory), "");
  EXPECT_EQ(system->dir(base + "\\*.txt", ludrimex::kAttrNormal), "file.txt");
  EXPECT_EQ(system->dir(base + "\\missing", ludrimex::kAttrDirectory), "");
  EXPECT_EQ(system->dir(base + "\\missing\\deeper", ludrimex::kAttrDirectory), "");
  EXPECT_EQ(run_error_of([&] { system->dir("", ludrimex::kAttrDirectory); }).first,
            ludrimex::kInvalidArgument);
}

struct Toolkit {
  const char* library;
  int form;
};

class ToolkitShortcutTest : public WindowsSystemTest, public ::testing::WithParamInterface<Toolkit> {
 protected:
  std::int32_t create(const std::string& gruppo, const std::string& titolo, const std::string& percorso) {
    const std::string library = u8(built(GetParam().library));
    if (GetParam().form == 6) {
      return system->create_shell_link(library, gruppo, titolo, percorso, "", -1, "$(Programs)");
    }
    return system->create_shell_link(library, gruppo, titolo, percorso, "");
  }
};

TEST_P(ToolkitShortcutTest, MakesAShortcutTheLinkObjectReadsBackInTheReadersForm) {
  const fs::path programs = programs_folder();
  const std::string title = std::string("Prova ") + std::to_string(GetParam().form) + " àé";
  const fs::path link_file = programs / (win32::to_wide(title) + L".lnk");
  const std::string html = u8(scratch.path()) + "\\Veltrano Catalogo\\progetto_html";

  ASSERT_NE(create(".", title, html + "\\Sorvanta.exe"), 0);
  ASSERT_TRUE(fs::exists(link_file));
  const LinkFields fields = read_link(link_file);
  EXPECT_EQ(utf8(fields.target), html + "\\Sorvanta.exe");
  EXPECT_EQ(utf8(fields.working_directory), html);
  EXPECT_EQ(fields.arguments, L"");

  const auto link = system->create_link_object();
  ASSERT_FALSE(ludrimex::failed(link->load(u8(link_file), 0)));
  auto directory = spaces();
  ASSERT_FALSE(ludrimex::failed(link->get_working_directory(directory)));
  EXPECT_EQ(std::string(directory.data(), directory.size()), text_form(html));
  auto target = spaces();
  ASSERT_FALSE(ludrimex::failed(link->get_path(target, 2)));
  EXPECT_EQ(std::string(target.data(), target.size()), text_form(html + "\\Sorvanta.exe"));
  fs::remove(link_file);
}

TEST_P(ToolkitShortcutTest, MakesItInAGroupThatExistsAndFailsForOneThatDoesNot) {
  const fs::path group = programs_folder() / (L"Gruppo " + std::to_wstring(GetParam().form));
  fs::create_directory(group);
  EXPECT_NE(create(utf8(group.filename().wstring()), "Voce", "C:\\Cat\\Sorvanta.exe"), 0);
  EXPECT_TRUE(fs::exists(group / L"Voce.lnk"));
  EXPECT_EQ(read_link(group / L"Voce.lnk").working_directory, L"C:\\Cat");
  EXPECT_EQ(create("Gruppo che non c'è", "Voce", "C:\\Cat\\Sorvanta.exe"), 0);
  fs::remove_all(group);
}

TEST_P(ToolkitShortcutTest, TextOutsideTheAnsiCodePageIsRefusedRatherThanMangled) {
  EXPECT_EQ(run_error_of([&] { create(".", "Каталог", "C:\\Cat\\Sorvanta.exe"); }).first,
            ludrimex::kInvalidArgument);
  EXPECT_FALSE(fs::exists(programs_folder() / L"Каталог.lnk"));
  EXPECT_FALSE(fs::exists(programs_folder() / L"???????.lnk"));
}

TEST_P(ToolkitShortcutTest, ATitleThatIsAPathIsRefused) {
  EXPECT_EQ(create(".", "..\\Fuori", "C:\\Cat\\Sorvanta.exe"), 0);
  EXPECT_EQ(create(".", "", "C:\\Cat\\Sorvanta.exe"), 0);
  EXPECT_FALSE(fs::exists(programs_folder().parent_path() / L"Fuori.lnk"));
}

INSTANTIATE_TEST_SUITE_P(EachLibrary, ToolkitShortcutTest,
                         ::testing::Values(Toolkit{STKIT432_DLL, 4}, Toolkit{VB5STKIT_DLL, 5},
                                           Toolkit{VB6STKIT_DLL, 6}),
                         [](const auto& param_info) {
                           return std::string("form") + std::to_string(param_info.index);
                         });

TEST_F(WindowsSystemTest, TheSixArgumentFormWritesOnlyUnderTheUsersProgramsFolder) {
  const std::string library = u8(built(VB6STKIT_DLL));
  const fs::path sub = programs_folder() / L"Sotto";
  fs::create_directory(sub);
  EXPECT_NE(system->create_shell_link(library, ".", "Voce", "C:\\Cat\\a.exe", "", -1, "$(PROGRAMS)\\Sotto"),
            0);
  EXPECT_TRUE(fs::exists(sub / L"Voce.lnk"));
  EXPECT_EQ(system->create_shell_link(library, ".", "Comune", "C:\\Cat\\a.exe", "", 0, "$(Programs)"), 0);
  EXPECT_EQ(system->create_shell_link(library, ".", "Altrove", "C:\\Cat\\a.exe", "", -1, "C:\\"), 0);
  EXPECT_FALSE(fs::exists(L"C:\\Altrove.lnk"));
  fs::remove_all(sub);
}

TEST_F(WindowsSystemTest, ALibraryOrEntryThatCannotBeBoundIsAnErrorNamingTheLibrary) {
  std::ofstream(scratch / L"ROTTA.DLL") << "not a library";
  const std::array<std::pair<std::string, ludrimex::ErrorNumber>, 5> cases{{
      {"NOSUCHKIT.DLL", ludrimex::kFileNotFound},
      {"VB6STKIT.DLL", ludrimex::kFileNotFound},  // not in the system folder; the build's is not taken
      {u8(scratch / L"ROTTA.DLL"), ludrimex::kDllLoadError},
      {"shlwapi.dll", ludrimex::kDllEntryNotFound},
      {u8(built(VB6STKIT_DLL)), ludrimex::ErrorNumber{}},
  }};
  for (const auto& [library, number] : cases) {
    const std::string& name = library;  // clang 14 (the linter) captures no structured binding
    EXPECT_EQ(run_error_of([&] { system->bind_toolkit(name); }),
              std::pair(number, number != ludrimex::ErrorNumber{} ? library : ""));
  }
  EXPECT_EQ(run_error_of([&] { system->create_shell_link("NOSUCHKIT.DLL", ".", "a", "C:\\b", ""); }).first,
            ludrimex::kFileNotFound);
}

TEST_F(WindowsSystemTest, LinkObjectAnswersEveryQueryOfTheReader) {
  const fs::path file = scratch / L"completo.lnk";
  constexpr WORD kControlK = MAKEWORD('K', 0x02);  // HOTKEYF_CONTROL
  write_link(file, {.target = L"C:\\Cat\\Sorvanta.exe",
                    .working_directory = L"C:\\Cat",
                    .arguments = L"/x",
                    .description = L"descrizione",
                    .icon = L"C:\\Cat\\icona.ico",
                    .icon_index = 3,
                    .hotkey = kControlK,
                    .show_cmd = SW_SHOWMAXIMIZED});
  const auto link = system->create_link_object();
  ASSERT_FALSE(ludrimex::failed(link->load(u8(file), 0)));

  auto buffer = spaces();
  ASSERT_FALSE(ludrimex::failed(link->get_arguments(buffer)));
  EXPECT_EQ(std::string(buffer.data(), buffer.size()), text_form("/x"));
  buffer = spaces();
  ASSERT_FALSE(ludrimex::failed(link->get_description(buffer)));
  EXPECT_EQ(std::string(buffer.data()), "descrizione");
  std::uint16_t hotkey = 0;
  ASSERT_FALSE(ludrimex::failed(link->get_hotkey(hotkey)));
  EXPECT_EQ(hotkey, kControlK);
  buffer = spaces();
  std::int32_t index = 0;
  ASSERT_FALSE(ludrimex::failed(link->get_icon_location(buffer, index)));
  EXPECT_EQ(std::string(buffer.data()), "C:\\Cat\\icona.ico");
  EXPECT_EQ(index, 3);
  EXPECT_FALSE(ludrimex::failed(link->get_id_list()));
  // Wine's link object reads every show command back as SW_SHOWNORMAL; Windows keeps it.
  std::int32_t show = -1;
  ASSERT_FALSE(ludrimex::failed(link->get_show_cmd(show)));
  EXPECT_TRUE(show == SW_SHOWMAXIMIZED || show == SW_SHOWNORMAL) << show;
}

TEST_F(WindowsSystemTest, LongTextIsCutToTheBufferOnACharacterBoundary) {
  const std::wstring long_folder = L"C:\\" + std::wstring(300, L'a');
  const std::wstring straddling = L"C:\\" + std::wstring(250, L'b') + L"é";  // é is bytes 254 and 255
  write_link(scratch / L"lungo.lnk", {.target = L"C:\\x.exe", .working_directory = long_folder});
  write_link(scratch / L"accento.lnk", {.target = L"C:\\x.exe", .working_directory = straddling});

  auto link = system->create_link_object();
  ASSERT_FALSE(ludrimex::failed(link->load(u8(scratch / L"lungo.lnk"), 0)));
  auto buffer = spaces();
  ASSERT_FALSE(ludrimex::failed(link->get_working_directory(buffer)));
  EXPECT_EQ(std::string(buffer.data(), 254), utf8(long_folder).substr(0, 254));
  EXPECT_EQ(buffer[254], '\0');

  link = system->create_link_object();
  ASSERT_FALSE(ludrimex::failed(link->load(u8(scratch / L"accento.lnk"), 0)));
  buffer = spaces();
  ASSERT_FALSE(ludrimex::failed(link->get_working_directory(buffer)));
  EXPECT_EQ(std::string(buffer.data()), "C:\\" + std::string(250, 'b'));  // the é does not fit whole
  EXPECT_EQ(buffer[253], '\0');
  EXPECT_EQ(buffer[254], ' ');
}

TEST_F(WindowsSystemTest, LoadFailsForAMissingFileOrOneThatIsNoShortcut) {
  std::ofstream(scratch / L"finto.lnk") << "not a shortcut at all, but long enough to look at";
  auto link = system->create_link_object();
  EXPECT_TRUE(ludrimex::failed(link->load(u8(scratch / L"manca.lnk"), 0)));
  link = system->create_link_object();
  EXPECT_TRUE(ludrimex::failed(link->load(u8(scratch / L"finto.lnk"), 0)));
}

// Copies the probe and the chosen toolkit libraries into a program folder of their own, runs it
// from `current_directory` with `arguments` and returns its exit status (see library_probe.cpp).
DWORD probe(const ScratchFolder& program_folder, const std::vector<const char*>& libraries,
            const fs::path& current_directory, const std::wstring& arguments = {}) {
  fs::copy_file(built(LIBRARY_PROBE_EXE), program_folder / L"probe.exe");
  for (const char* library : libraries) {
    fs::copy_file(built(library), program_folder.path() / built(library).filename());
  }
  return run(program_folder / L"probe.exe", current_directory, arguments);
}

constexpr DWORD kStkit432 = 1, kVb5stkit = 2, kVb6stkit = 4;
constexpr int kBound = 8, kCreated = 1 << 12;

// The installer's probe (crea_collegamento with 0) run from a program folder holding `libraries`:
// its exit status, with the shortcut it made checked and removed.
DWORD probe_and_create(const std::vector<const char*>& libraries, const fs::path& current_directory) {
  const ScratchFolder program(L"patch");
  const fs::path link = programs_folder() / L"Prova sonda.lnk";
  const DWORD status =
      probe(program, libraries, current_directory, L"--create \"Prova sonda\" C:\\Cat\\Sorvanta.exe");
  const bool made = fs::exists(link);
  EXPECT_EQ(made, (status & kCreated) != 0);
  if (made) {
    EXPECT_EQ(read_link(link).target, L"C:\\Cat\\Sorvanta.exe");
  }
  std::error_code ignored;
  fs::remove(link, ignored);
  return status;
}

// A toolkit library installed in the system folder for the test's duration.
class InstalledInSystemFolder {
 public:
  explicit InstalledInSystemFolder(const char* library) {
    wchar_t folder[MAX_PATH];
    ::GetSystemDirectoryW(folder, MAX_PATH);
    file_ = fs::path(folder) / built(library).filename();
    fs::copy_file(built(library), file_);
  }
  InstalledInSystemFolder(const InstalledInSystemFolder&) = delete;
  InstalledInSystemFolder& operator=(const InstalledInSystemFolder&) = delete;
  ~InstalledInSystemFolder() { fs::remove(file_); }

 private:
  fs::path file_;
};

struct ProbeCase {
  std::vector<const char*> beside_program;
  const char* in_system_folder;  // or null
  DWORD status;
};

TEST_F(WindowsSystemTest, TheProbeTakesOnlyStkit432FromTheProgramsFolderAndTheOthersFromTheSystemFolder) {
  const ScratchFolder elsewhere(L"cwd");
  const std::vector<ProbeCase> cases{
      {{STKIT432_DLL}, nullptr, kStkit432 | kStkit432 << kBound | kCreated},
      {{STKIT432_DLL, VB5STKIT_DLL, VB6STKIT_DLL}, nullptr, kStkit432 | kStkit432 << kBound | kCreated},
      {{STKIT432_DLL}, VB5STKIT_DLL, kStkit432 | kVb5stkit | kVb5stkit << kBound | kCreated},
      {{}, VB6STKIT_DLL, kVb6stkit | kVb6stkit << kBound | kCreated},
      {{}, STKIT432_DLL, kStkit432 | kStkit432 << kBound | kCreated},
      {{}, nullptr, 0u},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    std::optional<InstalledInSystemFolder> installed;
    if (cases[i].in_system_folder) installed.emplace(cases[i].in_system_folder);
    EXPECT_EQ(probe_and_create(cases[i].beside_program, elsewhere.path()), cases[i].status) << "case " << i;
  }
}

TEST_F(WindowsSystemTest, ALibraryPlantedInTheCurrentDirectoryIsNeverLoaded) {
  const ScratchFolder downloads(L"scaricati");
  fs::copy_file(built(VB6STKIT_DLL), downloads / L"VB6STKIT.DLL");
  fs::copy_file(built(VB5STKIT_DLL), downloads / L"VB5STKIT.DLL");
  {
    // Loaded the plain way, before the System exists, the planted libraries are found: the checks
    // below would see them if the search order still held the current directory.
    const ScratchFolder program(L"patch");
    const DWORD status = probe(program, {STKIT432_DLL}, downloads.path(), L"--unhardened");
    EXPECT_EQ(status >> 4 & 0xF, kVb5stkit | kVb6stkit | kStkit432);
    EXPECT_EQ(status & 0xF, kStkit432);
    // Once the System exists nothing loads a DLL by name from the current or the program's folder.
    EXPECT_EQ(status >> 13 & 0xF, 0u);
  }
  EXPECT_EQ(probe_and_create({STKIT432_DLL}, downloads.path()), kStkit432 | kStkit432 << kBound | kCreated);
}

// While the System holds the delivery, the launcher beside it can't be written, renamed or deleted,
// nor its folder or the one above renamed, and the held library still loads; one held missing is not
// loaded from there even once it comes. Without the hold all of it goes through.
TEST_F(WindowsSystemTest, AHeldDeliveryCantBeChangedAndOnlyWhatWasHeldLoads) {
  constexpr DWORD kHeld = 1 << 16, kAllRefused = 0xFu << 17 | 1u << 22, kCameLater = 1u << 21;
  const auto probe_delivery = [&](bool hold, const char* library, const wchar_t* as) {
    const ScratchFolder above(L"scaricati");
    const fs::path program = above / L"consegna";
    fs::create_directory(program);
    fs::copy_file(built(LIBRARY_PROBE_EXE), program / L"probe.exe");
    std::ofstream(program / L"Sorvanta.exe") << "launcher";
    fs::copy_file(built(library), program / as);
    return run(program / L"probe.exe", scratch.path(), hold ? L"--hold --meddle" : L"--meddle");
  };
  for (const bool hold : {true, false}) {
    const DWORD status = probe_delivery(hold, STKIT432_DLL, L"STKIT432.DLL");
    EXPECT_EQ(status & (kHeld | kAllRefused | kCameLater | kStkit432),
              hold ? kHeld | kAllRefused | kStkit432 : kStkit432)
        << "held: " << hold;
    const DWORD later = probe_delivery(hold, STKIT432_DLL, L"STKIT432.later");
    EXPECT_EQ(later & (kCameLater | kStkit432), hold ? kCameLater : kCameLater | kStkit432)
        << "held: " << hold;
  }
}

TEST_F(WindowsSystemTest, AppPathIsTheProgramsFolderWithTheBackslashOnlyAtADrivesRoot) {
  const ScratchFolder program(L"programma");
  ASSERT_EQ(probe(program, {}, scratch.path()), 0u);
  EXPECT_EQ(read_bytes(scratch / L"app_path.txt"), u8(program.path()));

  const fs::path root_probe = L"C:\\veltrano-probe.exe";
  fs::copy_file(built(LIBRARY_PROBE_EXE), root_probe, fs::copy_options::overwrite_existing);
  run(root_probe, scratch.path());
  fs::remove(root_probe);
  EXPECT_EQ(read_bytes(scratch / L"app_path.txt"), "C:\\");
}

TEST_F(WindowsSystemTest, ProcessScanFindsARunningSorvanta) {
  const fs::path launcher = scratch / L"Sorvanta.exe";
  fs::copy_file(built(STAND_IN_SORVANTA_EXE), launcher);
  auto find = [&](DWORD id) {
    auto snapshot = system->create_process_snapshot(ludrimex::kSnapAll, 0);
    ludrimex::ProcessEntry entry;
    entry.size = sizeof entry;
    for (bool more = snapshot->first(entry); more; more = snapshot->next(entry)) {
      if (entry.process_id == id) return std::string(entry.exe_file.data());
    }
    return std::string("(absent)");
  };
  EXPECT_TRUE(find(::GetCurrentProcessId()).ends_with(".exe"));
  Child child(launcher, scratch.path());
  EXPECT_EQ(find(child.id()), "Sorvanta.exe");
  child.kill();
  EXPECT_EQ(find(child.id()), "(absent)");
}

TEST_F(WindowsSystemTest, FilesKeepEveryByteAndFailuresNameTheFile) {
  const std::string log = u8(scratch / L"patch.txt");
  system->write_file(log, "1         06/12/2026\r\n2\r\n\x80\xff");
  EXPECT_EQ(system->read_file(log), "1         06/12/2026\r\n2\r\n\x80\xff");
  system->write_file(log, "nuovo");
  EXPECT_EQ(system->read_file(log), "nuovo");
  system->copy_file(log, u8(scratch / L"copia.txt"));
  EXPECT_EQ(read_bytes(scratch / L"copia.txt"), "nuovo");
  system->copy_file(u8(scratch / L"copia.txt"), log);  // over an existing file
  system->copy_file(log, log);                         // over itself (delivered into the HTML folder)
  EXPECT_EQ(read_bytes(scratch / L"patch.txt"), "nuovo");
  system->delete_file(log);
  EXPECT_FALSE(fs::exists(scratch / L"patch.txt"));

  const std::string missing = u8(scratch / L"manca.txt");
  const std::string no_folder = u8(scratch / L"manca" / L"Sorvanta.exe");
  const std::string copy = u8(scratch / L"copia.txt");
  EXPECT_EQ(run_error_of([&] { system->read_file(missing); }), std::pair(ludrimex::kFileNotFound, missing));
  EXPECT_EQ(run_error_of([&] { system->delete_file(missing); }), std::pair(ludrimex::kFileNotFound, missing));
  EXPECT_EQ(run_error_of([&] { system->copy_file(missing, copy); }),
            std::pair(ludrimex::kFileNotFound, missing));
  EXPECT_EQ(run_error_of([&] { system->copy_file(copy, no_folder); }),
            std::pair(ludrimex::kPathNotFound, no_folder));
  EXPECT_EQ(run_error_of([&] { system->write_file(no_folder, "x"); }),
            std::pair(ludrimex::kPathNotFound, no_folder));
  // A folder where a file is expected is refused at once.
  const std::string folder = u8(scratch.path());
  EXPECT_EQ(run_error_of([&] { system->read_file(folder); }),
            std::pair(ludrimex::kPathFileAccessError, folder));
  EXPECT_EQ(run_error_of([&] { system->write_file(folder, "x"); }),
            std::pair(ludrimex::kPathFileAccessError, folder));
  EXPECT_EQ(run_error_of([&] { system->copy_file(copy, folder); }),
            std::pair(ludrimex::kPathFileAccessError, folder));

  // An installed launcher in use. (A read-only one can't be shown here: the tests run as root, and
  // Wine keeps the read-only attribute in the Unix permissions, which root ignores.)
  const std::string installed = u8(scratch / L"Sorvanta.exe");
  system->write_file(installed, "vecchio");
  win32::KernelHandle in_use(::CreateFileW((scratch / L"Sorvanta.exe").c_str(), GENERIC_READ, 0, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(in_use);
  EXPECT_EQ(run_error_of([&] { system->copy_file(copy, installed); }),
            std::pair(ludrimex::kPermissionDenied, installed));
}

// Holds `file` open with no sharing, as the shell, the indexer or an antivirus does for a moment,
// from now until `ms` have passed.
class Holder {
 public:
  Holder(const fs::path& file, DWORD ms)
      : file_(::CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)),
        release_([this, ms] {
          ::Sleep(ms);
          file_.reset();
        }) {}
  Holder(const Holder&) = delete;
  Holder& operator=(const Holder&) = delete;
  ~Holder() { release_.join(); }
  bool holds() const { return static_cast<bool>(file_); }

 private:
  win32::KernelHandle file_;
  std::thread release_;
};

// Every open and delete of a file another program holds is tried again, within one budget for the run;
// a file held longer is named as in use.
TEST_F(WindowsSystemTest, AFileHeldForAMomentIsWaitedForAndOneHeldLongerIsNamed) {
  const fs::path log = scratch / L"patch.txt", delivered = scratch / L"nuovo.exe",
                 link = scratch / L"Voce.lnk";
  struct Case {
    const char* what;
    fs::path held;
    std::function<void(ludrimex::System&)> step;
  };
  const std::vector<Case> cases = {
      {"read", log, [&](ludrimex::System& s) { EXPECT_EQ(s.read_file(u8(log)), "vecchio"); }},
      {"write", log, [&](ludrimex::System& s) { s.write_file(u8(log), "nuovo"); }},
      {"copy from", delivered, [&](ludrimex::System& s) { s.copy_file(u8(delivered), u8(log)); }},
      {"delete", log, [&](ludrimex::System& s) { s.delete_file(u8(log)); }},
      {"shortcut", link,
       [&](ludrimex::System& s) {
         if (ludrimex::failed(s.create_link_object()->load(u8(link), ludrimex::kStgmRead)))
           throw RunError(ludrimex::kPermissionDenied, u8(link));
       }},
  };
  for (const auto& c : cases) {
    for (const bool briefly : {true, false}) {
      std::ofstream(log, std::ios::binary) << "vecchio";
      std::ofstream(delivered, std::ios::binary) << "nuovo";
      write_link(link, {.target = L"C:\\Sorvanta.exe"});
      const auto waiting = system_waiting(std::chrono::milliseconds(briefly ? 3000 : 200));
      const Holder holder(c.held, briefly ? 300 : 800);
      ASSERT_TRUE(holder.holds()) << c.what;
      const auto [number, subject] = run_error_of([&] { c.step(*waiting); });
      if (briefly) {
        EXPECT_EQ(number, ErrorNumber{}) << c.what << ": " << subject;
      } else {
        EXPECT_EQ(std::pair(number, subject), std::pair(ludrimex::kPermissionDenied, u8(c.held))) << c.what;
      }
    }
  }
}

// The HTML folder's lock: a hidden file of its own that no other process can open meanwhile and that
// goes with its last handle; a folder this process may not write is told apart, and so is the lock
// file of a run just ended that is still pending delete (as Windows before POSIX delete semantics
// keeps it while another program reads it; Wine deletes at once).
TEST_F(WindowsSystemTest, TheFolderLockGoesWithTheRunAndTellsHeldFromNotWritable) {
  const std::string folder = u8(scratch.path());
  {
    const auto held = system->lock_folder(folder);
    ASSERT_EQ(held.state, ludrimex::FolderLockState::kLocked);
    EXPECT_EQ(::GetFileAttributesW((scratch / L"Ludrimex.lock").c_str()) & FILE_ATTRIBUTE_HIDDEN,
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(system->lock_folder(folder).state, ludrimex::FolderLockState::kHeld);
  }
  EXPECT_TRUE(fs::is_empty(scratch.path()));
  std::ofstream(scratch / L"file") << "x";
  for (const std::string& missing : {u8(scratch / L"manca"), u8(scratch / L"file")}) {
    EXPECT_EQ(run_error_of([&] { system->lock_folder(missing); }),
              std::pair(ludrimex::kPathNotFound, missing));
  }

  // Creating the lock answers "access denied": for good, or, when its name is `pending` delete, until
  // it has been looked at `denied` times.
  class DeniedLock final : public ludrimex::windows::SystemFileCalls {
   public:
    DeniedLock(int denied, bool pending) : denied_(denied), pending_(pending) {}
    DWORD attributes(const std::wstring& path, DWORD& attributes) override {
      if (pending_ && denied_ > 0 && path.ends_with(L"Ludrimex.lock")) {
        --denied_;
        return ERROR_ACCESS_DENIED;
      }
      return SystemFileCalls::attributes(path, attributes);
    }
    DWORD create(const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags,
                 win32::KernelHandle& file) override {
      if (denied_ > 0 && path.ends_with(L"Ludrimex.lock")) return ERROR_ACCESS_DENIED;
      return SystemFileCalls::create(path, access, share, disposition, flags, file);
    }

   private:
    int denied_;
    bool pending_;
  };
  const std::array<std::tuple<int, bool, ludrimex::FolderLockState>, 3> cases{{
      {1000, false, ludrimex::FolderLockState::kNotWritable},  // not this user's to write
      {3, true, ludrimex::FolderLockState::kLocked},           // pending delete for a moment
      {1000, true, ludrimex::FolderLockState::kNotWritable},   // for longer than the run waits
  }};
  for (const auto& [denied, pending, state] : cases) {
    const auto denying =
        system_waiting(std::chrono::milliseconds(500), std::make_unique<DeniedLock>(denied, pending));
    EXPECT_EQ(denying->lock_folder(folder).state, state) << denied << pending;
  }
}

// The log's text is the ANSI code page's (Wine's: 1252), whatever the user's short date holds.
TEST_F(WindowsSystemTest, LogTextIsTheAnsiCodePagesAndWhatItLacksBecomesAQuestionMark) {
  ASSERT_EQ(::GetACP(), 1252u);
  EXPECT_EQ(system->to_log_text("mar. 08 d\xC3\xA9"
                                "c. 2026"),
            "mar. 08 d\xE9"
            "c. 2026");
  EXPECT_EQ(system->to_log_text("\xD0\x9A\xCE\xA9 06/12"), "?? 06/12");  // no best fit: not "KO"
  EXPECT_EQ(system->from_log_text("08 d\xE9"), "08 d\xC3\xA9");
  EXPECT_EQ(system->from_log_text(""), "");
}

// Wine runs every program with an administrator's full token; UAC's split token can't be shown here.
TEST_F(WindowsSystemTest, ElevationFollowsTheProcessToken) {
  EXPECT_EQ(system->elevation(), ludrimex::Elevation::kFull);
}

struct CopyCase {
  DWORD from, to, after;  // attributes; `to` 0: no file there yet
};

TEST_F(WindowsSystemTest, AReplacedFileKeepsItsHiddenAndSystemAttributesAndACopyIsNeverReadOnly) {
  constexpr DWORD kHidden = FILE_ATTRIBUTE_HIDDEN, kSystem = FILE_ATTRIBUTE_SYSTEM;
  constexpr DWORD kReadOnly = FILE_ATTRIBUTE_READONLY, kNormal = FILE_ATTRIBUTE_NORMAL;
  const std::array<CopyCase, 3> cases{
      {{kNormal, kHidden | kSystem, kHidden | kSystem}, {kReadOnly, 0, 0}, {kReadOnly, kNormal, 0}}};
  const fs::path from = scratch / L"nuovo.exe", to = scratch / L"Sorvanta.exe";
  for (const auto& c : cases) {
    std::ofstream(from) << "nuovo";
    ::SetFileAttributesW(from.c_str(), c.from);
    if (c.to) {
      std::ofstream(to) << "vecchio";
      ::SetFileAttributesW(to.c_str(), c.to);
    }
    system->copy_file(u8(from), u8(to));
    EXPECT_EQ(read_bytes(to), "nuovo");
    EXPECT_EQ(::GetFileAttributesW(to.c_str()) & (kHidden | kSystem | kReadOnly), c.after)
        << c.from << " " << c.to;
    EXPECT_EQ(system->dir(u8(to) + ".~*", 2 | 4), "");
    for (const fs::path& file : {from, to}) {
      ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
      fs::remove(file);
    }
  }
}

TEST_F(WindowsSystemTest, FilesBeyondMaxPathWorkInTheirRealFolder) {
  fs::path folder = scratch.path();
  for (int i = 0; i < 3; ++i) folder /= std::wstring(100, static_cast<wchar_t>(L'à' + i));
  fs::create_directories(L"\\\\?\\" + folder.wstring());
  const std::string log = u8(folder / L"patch.txt");
  ASSERT_GT(log.size(), 300u);

  system->write_file(log, "1\r\n");
  system->write_file(log, "1\r\n2\r\n");
  EXPECT_EQ(system->dir(log + ".~*", ludrimex::kAttrNormal), "");  // no temporary file left
  EXPECT_EQ(system->file_kind(log), ludrimex::FileKind::kRegular);
  EXPECT_EQ(system->read_file(log), "1\r\n2\r\n");
  system->copy_file(log, u8(folder / L"copia.txt"));
  system->delete_file(log);
  EXPECT_EQ(system->dir(log, ludrimex::kAttrNormal), "");
  EXPECT_EQ(system->read_file(u8(folder / L"copia.txt")), "1\r\n2\r\n");
}

TEST_F(WindowsSystemTest, OnlyADriveOrServerRootMakesAPathAbsolute) {
  const std::array<std::pair<const char*, bool>, 8> paths{{{"C:\\Cat", true},
                                                           {"c:/Cat", true},
                                                           {"\\\\server\\share\\Cat", true},
                                                           {"\\\\?\\C:\\Cat", true},
                                                           {"\\Cat", false},
                                                           {"C:Cat", false},
                                                           {"Cat", false},
                                                           {"", false}}};
  for (const auto& [path, absolute] : paths) EXPECT_EQ(system->is_absolute_path(path), absolute) << path;
}

TEST_F(WindowsSystemTest, ToolkitTextsMustBeExactInTheAnsiCodePageAndShorterThanMaxPath) {
  const std::array<std::pair<std::string, bool>, 6> texts{{{"C:\\Veltrano Catalogo àèé\\Sorvanta.exe", true},
                                                           {"C:\\Каталог", false},
                                                           {"C:\\Ω", false},  // best fit would give "O"
                                                           {std::string("a\0b", 3), false},
                                                           {std::string(259, 'a'), true},
                                                           {std::string(260, 'a'), false}}};
  for (const auto& [text, accepted] : texts) EXPECT_EQ(system->toolkit_accepts(text), accepted) << text;
}

// Another thread stands for another run: a mutex belongs to a thread. Whether it could take the lock.
bool taken_by_another_thread(ludrimex::System& system) {
  bool taken = false;
  std::thread([&] { taken = system.lock_single_run("LudrimexProva") != nullptr; }).join();
  return taken;
}

TEST_F(WindowsSystemTest, TheRunLockIsHeldByOneAtATimeAndAnAbandonedOneIsTaken) {
  auto first = system->lock_single_run("LudrimexProva");
  ASSERT_TRUE(first);
  EXPECT_FALSE(taken_by_another_thread(*system));
  first.reset();
  EXPECT_TRUE(taken_by_another_thread(*system));

  // A run that dies holding it abandons it (the handle kept here keeps the mutex in being).
  const win32::ObjectHandle kept(::CreateMutexW(nullptr, FALSE, L"Global\\LudrimexProva"));
  std::thread([] {
    const win32::ObjectHandle mutex(::CreateMutexW(nullptr, FALSE, L"Global\\LudrimexProva"));
    ASSERT_EQ(::WaitForSingleObject(mutex.get(), 0), WAIT_OBJECT_0);
  }).join();  // the thread ends still owning it
  EXPECT_TRUE(taken_by_another_thread(*system));
}

// The user's own short date form, changed through the system's settings for the test's duration.
class UserShortDateForm {
 public:
  explicit UserShortDateForm(const wchar_t* form) {
    wchar_t old[80] = L"";
    ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, old, 80);
    old_ = old;
    ::SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, form);
  }
  UserShortDateForm(const UserShortDateForm&) = delete;
  UserShortDateForm& operator=(const UserShortDateForm&) = delete;
  ~UserShortDateForm() { ::SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, old_.c_str()); }

 private:
  std::wstring old_;
};

TEST_F(WindowsSystemTest, ShortDateIsTodayInTheUsersShortForm) {
  SYSTEMTIME today;
  ::GetLocalTime(&today);
  char expected[32];
  {
    const UserShortDateForm italian(L"dd/MM/yyyy");
    std::snprintf(expected, sizeof expected, "%02u/%02u/%04u", today.wDay, today.wMonth, today.wYear);
    EXPECT_EQ(system->short_date(), expected);
  }
  {
    const UserShortDateForm iso(L"yyyy-MM-dd");
    std::snprintf(expected, sizeof expected, "%04u-%02u-%02u", today.wYear, today.wMonth, today.wDay);
    EXPECT_EQ(system->short_date(), expected);
  }
}

TEST_F(WindowsSystemTest, DoEventsDispatchesPendingMessagesButLeavesTheQuitMessage) {
  ASSERT_TRUE(::PostThreadMessageW(::GetCurrentThreadId(), WM_APP, 0, 0));
  system->do_events();
  MSG message;
  EXPECT_FALSE(::PeekMessageW(&message, nullptr, WM_APP, WM_APP, PM_NOREMOVE));

  ::PostQuitMessage(7);
  system->do_events();
  ASSERT_TRUE(::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 7u);
}

}  // namespace
