// Ludrimex.exe run as a user runs it: from a delivery folder holding it, STKIT432.so and the new
// Sorvanta.exe, against a catalogue installed in a throw-away HOME, with no display (so every message
// box is one line on standard error).
#include <fcntl.h>
#include <sched.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <thread>

#include <gtest/gtest.h>

#include "posix/process_list.h"
#include "shell_link/link.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/today.h"

namespace {

namespace fs = std::filesystem;
using test_support::Outcome;
using test_support::read_file;
using test_support::ScratchDir;
using test_support::write_file;

const std::string kNewLauncher = "nuovo Sorvanta.exe, versione 1.01";
const std::string kOldLauncher = "vecchio Sorvanta.exe, versione 1.00";
const char* const kSuccess = "Dastrel: Patch installata con successo!\n";

struct Row {
  const char* title;
  const char* target;
};
const Row kShortcuts[] = {
    {"Veltrano Catalogo", "Sorvanta.exe"},
    {"Veltrano Aggiornamento", "VeltranoCatalogoUpdate.exe"},
    {"Veltrano Disinstallazione", "VeltranoCatalogoUnistall.exe"},
};

// Every file under `folder` with its bytes: what "nothing changed" compares.
std::map<std::string, std::string> contents(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files[fs::relative(entry.path(), folder).string()] = read_file(entry.path());
  }
  return files;
}

// A launcher started by someone else on this machine would make the installer refuse: wait it out.
void wait_for_foreign_launchers() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (std::chrono::steady_clock::now() < deadline) {
    bool running = false;
    for (const auto& process : posix::read_process_list())
      running = running || ::strcasecmp(process.exe_name.c_str(), "sorvanta.exe") == 0;
    if (!running) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  FAIL() << "a process named Sorvanta.exe kept running on this machine";
}

class Ludrimex : public ::testing::Test {
 protected:
  ScratchDir runtime;  // the user's runtime folder, which holds the single-run lock
  ScratchDir root;
  fs::path home = root.path() / "home";
  fs::path programs = home / ".local/share/applications";
  fs::path group = programs / "Veltrano Catalogo";
  fs::path html = home / "VeltranoCatalogo/progetto_html";
  fs::path delivery = root.path() / "patch";

  void SetUp() override {
    fs::create_directories(delivery);
    fs::copy_file(LUDRIMEX_EXE, delivery / "Ludrimex.exe");
    fs::copy_file(STKIT432_FILE, delivery / "STKIT432.so");
    write_file(delivery / "Sorvanta.exe", kNewLauncher);
    fs::permissions(delivery / "Sorvanta.exe", fs::perms::owner_all);
  }

  // The catalogue as its installer leaves it; the shortcuts' working directory may be given.
  void install(const std::string& working_directory) {
    fs::create_directories(html);
    fs::create_directories(group);
    write_file(html / "index.html", "<title>Catalogo</title>");
    write_file(html / "Sorvanta.exe", kOldLauncher);
    fs::permissions(html / "Sorvanta.exe", fs::perms::owner_all);
    for (const Row& row : kShortcuts) {
      shell_link::save((group / (std::string(row.title) + ".lnk")).string(),
                       {(html / row.target).string(), working_directory, "", "", 0});
    }
  }
  void install() { install(html.string()); }

  Outcome run() {
    wait_for_foreign_launchers();
    return run_now();
  }
  Outcome run_now() {
    return test_support::run_program((delivery / "Ludrimex.exe").string(), root.path().string(),
                                     {{"HOME", home.string()},
                                      {"XDG_DATA_HOME", std::nullopt},
                                      {"XDG_RUNTIME_DIR", runtime.path().string()},
                                      {"DISPLAY", std::nullopt},
                                      {"WAYLAND_DISPLAY", std::nullopt},
                                      {"LC_ALL", "C"}});
  }

  // The report of an error that ended the run, as it reaches standard error without a display.
  static std::string report(const std::string& error, const std::string& file) {
    return "Ludrimex: Errore " + error + "\n" + file + "\n";
  }

  void expect_installed(const Outcome& outcome, const std::string& date_before) {
    EXPECT_EQ(outcome.exit_status, 0);
    EXPECT_EQ(outcome.standard_error, kSuccess);
    // Patch 1, nine spaces, the date, CR LF: 22 bytes.
    const std::string log = read_file(html / "patch.txt");
    EXPECT_TRUE(log == "1         " + date_before + "\r\n" ||
                log == "1         " + test_support::day_month_year_today() + "\r\n")
        << log;
    EXPECT_EQ(log.size(), 22u);
    EXPECT_EQ(read_file(html / "Sorvanta.exe"), kNewLauncher);
    EXPECT_TRUE((fs::status(html / "Sorvanta.exe").permissions() & fs::perms::owner_exec) != fs::perms::none);
    for (const Row& row : kShortcuts) {
      SCOPED_TRACE(row.title);
      const fs::path file = group / (std::string(row.title) + ".lnk");
      ASSERT_TRUE(fs::exists(file));
      const shell_link::Link link = shell_link::load(file.string());
      EXPECT_EQ(link.info.path(), (html / row.target).string());
      EXPECT_EQ(link.working_directory, html.string());
      EXPECT_FALSE(fs::exists(programs / (std::string(row.title) + ".lnk")));
    }
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(programs)) ++files;
    EXPECT_EQ(files, 1u);  // only the group is left in the Programs folder
  }
};

TEST_F(Ludrimex, CleanInstallThenTheSamePatchRefused) {
  install();
  const std::string date = test_support::day_month_year_today();
  expect_installed(run(), date);

  const auto before = contents(root.path());
  const Outcome again = run();
  EXPECT_EQ(again.exit_status, 1);
  EXPECT_EQ(again.standard_error, "Dastrel: Hai già installato questa patch in data " +
                                      read_file(html / "patch.txt").substr(10, 10) + "\n");
  EXPECT_EQ(contents(root.path()), before);
}

TEST_F(Ludrimex, CatalogueNotInstalled) {
  fs::create_directories(programs);
  const auto before = contents(root.path());
  const Outcome outcome = run();
  EXPECT_EQ(outcome.exit_status, 1);
  EXPECT_EQ(outcome.standard_error,
            "Dastrel: Non hai installato il catalogo. La patch non può essere creata\n");
  EXPECT_EQ(contents(root.path()), before);
}

TEST_F(Ludrimex, RefusedWhileTheLauncherRunsThenAccepted) {
  install();
  fs::create_directories(root.path() / "running");
  test_support::RunningProcess launcher(root.path() / "running/Sorvanta.exe");
  const auto before = contents(root.path());
  const Outcome refused = run_now();
  EXPECT_EQ(refused.exit_status, 1);
  EXPECT_EQ(refused.standard_error,
            "Dastrel: Chiudere il catalogo prima dell'aggiornamento! Rieseguire la patch!\n");
  EXPECT_EQ(contents(root.path()), before);

  launcher.stop();
  const std::string date = test_support::day_month_year_today();
  expect_installed(run(), date);
}

TEST_F(Ludrimex, WorkingDirectoryMissingItsSeparatorIsRepaired) {
  // The installer of old wrote ".../VeltranoCatalogoprogetto_html" for ".../VeltranoCatalogo/progetto_html".
  install((home / "VeltranoCatalogoprogetto_html").string());
  const std::string date = test_support::day_month_year_today();
  expect_installed(run(), date);
  EXPECT_FALSE(fs::exists(home / "VeltranoCatalogoprogetto_html"));
}

TEST_F(Ludrimex, MissingLauncherBesideTheInstallerIsAnErrorUntilItIsBack) {
  install();
  write_file(html / "patch.txt", "0         01/01/2026\r\n");
  fs::remove(delivery / "Sorvanta.exe");
  const auto before = contents(root.path());
  const Outcome failed = run();
  EXPECT_EQ(failed.exit_status, 2);
  // Checked before anything is written, it is named as the installer joins it.
  EXPECT_EQ(failed.standard_error,
            report("53: Impossibile trovare il file", delivery.string() + "\\Sorvanta.exe"));
  EXPECT_EQ(contents(root.path()), before);  // the log as it was, the launcher and shortcuts untouched

  write_file(delivery / "Sorvanta.exe", kNewLauncher);
  const std::string date = test_support::day_month_year_today();
  const Outcome outcome = run();
  EXPECT_EQ(outcome.exit_status, 0);
  EXPECT_EQ(outcome.standard_error, kSuccess);
  const std::string log = read_file(html / "patch.txt");
  EXPECT_TRUE(log.starts_with("0         01/01/2026\r\n1         ")) << log;
  EXPECT_EQ(read_file(html / "Sorvanta.exe"), kNewLauncher);
}

// The README's walk-through: the sample catalogue installed by its script, then the patch twice.
TEST_F(Ludrimex, AgainstTheSampleCatalogueScript) {
  const Outcome installed = test_support::run_program(
      INSTALL_SCRIPT, root.path().string(),
      {{"HOME", home.string()}, {"XDG_DATA_HOME", std::nullopt}, {"VELTRANO_BIN", BUILD_BIN_DIR}});
  ASSERT_EQ(installed.exit_status, 0) << installed.standard_error;
  ASSERT_TRUE(fs::exists(group / "Veltrano Catalogo.lnk"));
  const std::string date = test_support::day_month_year_today();
  expect_installed(run(), date);
  const Outcome again = run();
  EXPECT_EQ(again.exit_status, 1);
  EXPECT_TRUE(again.standard_error.starts_with("Dastrel: Hai già installato questa patch in data "));
}

const char* const kAnotherRun =
    "Dastrel: Un'altra installazione della patch è già in corso. Attendere che finisca e rieseguire la "
    "patch!\n";

// A child of the test that takes the run lock Ludrimex takes (an flock on Ludrimex.lock in the
// runtime folder) and keeps it until it is killed,
// which ends it as a crash would: with no chance to clean up. Returns its process id once it holds it.
pid_t hold_run_lock(const std::string& runtime_folder) {
  int ready[2];
  if (::pipe(ready) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int lock = ::open((runtime_folder + "/Ludrimex.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0 || ::flock(lock, LOCK_EX | LOCK_NB) != 0 || ::write(ready[1], "y", 1) != 1) ::_exit(1);
    while (true) ::pause();
  }
  char held = 'n';
  ::close(ready[1]);
  const bool ok = ::read(ready[0], &held, 1) == 1;
  ::close(ready[0]);
  return ok ? pid : -1;
}

TEST_F(Ludrimex, ARunUnderWayRefusesTheNextUntilItDiesHoweverItDies) {
  install();
  const pid_t holder = hold_run_lock(runtime.path().string());
  ASSERT_GT(holder, 0);
  const auto before = contents(root.path());
  const Outcome refused = run();
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  EXPECT_EQ(refused.exit_status, 1);
  EXPECT_EQ(refused.standard_error, kAnotherRun);
  EXPECT_EQ(contents(root.path()), before);

  const std::string date = test_support::day_month_year_today();
  expect_installed(run(), date);
}

// Two runs started together, again and again: the patch is installed and recorded once, and the
// other run is refused with one of its two messages.
TEST_F(Ludrimex, TwoRunsAtOnceRecordThePatchOnce) {
  install();
  wait_for_foreign_launchers();
  const std::string installed = "Dastrel: Hai già installato questa patch in data ";
  for (int round = 0; round < 5; ++round) {
    fs::remove(html / "patch.txt");
    auto first = std::async(std::launch::async, [&] { return run_now(); });
    const Outcome second = run_now();
    const Outcome one = first.get();
    const Outcome& winner = one.exit_status == 0 ? one : second;
    const Outcome& loser = one.exit_status == 0 ? second : one;
    EXPECT_EQ(winner.exit_status, 0) << round;
    EXPECT_EQ(loser.exit_status, 1) << round;
    EXPECT_TRUE(loser.standard_error == kAnotherRun || loser.standard_error.starts_with(installed))
        << loser.standard_error;
    EXPECT_EQ(read_file(html / "patch.txt").size(), 22u) << round;
  }
}

// A FIFO as the log or the catalogue shortcut stops the run at once, naming it, with nothing changed.
TEST_F(Ludrimex, AFifoIsNamedAtOnceNeverWaitedOn) {
  const std::pair<fs::path, std::string> fifos[] = {
      {html / "patch.txt", html.string() + "\\patch.txt"},  // named as the installer joins it
      {group / "Veltrano Catalogo.lnk", programs.string() + "\\Veltrano Catalogo\\Veltrano Catalogo.lnk"}};
  for (const auto& [fifo, named] : fifos) {
    fs::remove_all(home);
    install();
    fs::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto before = contents(root.path());
    const Outcome outcome = run();
    EXPECT_EQ(outcome.exit_status, 2);
    EXPECT_EQ(outcome.standard_error, report("75: Errore di accesso al percorso/file", named));
    EXPECT_EQ(contents(root.path()), before);
  }
}

// A working directory of 153 accented characters and more (over 254 bytes) is the folder installed into.
TEST_F(Ludrimex, InstallsIntoALongAccentedFolder) {
  std::string accented;
  for (int k = 0; k < 80; ++k) accented += "\xC3\xA0";  // "à": 80 characters, 160 bytes
  html = home / accented / accented / "progetto_html";
  install();
  const std::string date = test_support::day_month_year_today();
  expect_installed(run(), date);
  EXPECT_FALSE(fs::exists(html.parent_path() / "patch.txt"));
  EXPECT_FALSE(fs::exists(html.parent_path() / "Sorvanta.exe"));
}

// The installed launcher keeps its own permission bits, whatever the delivered file's are.
TEST_F(Ludrimex, TheInstalledLauncherKeepsItsPermissionBits) {
  install();
  const auto installed_bits = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec;
  fs::permissions(html / "Sorvanta.exe", installed_bits);
  fs::permissions(delivery / "Sorvanta.exe", fs::perms::owner_read | fs::perms::owner_write);
  const std::string date = test_support::day_month_year_today();
  expect_installed(run(), date);
  EXPECT_EQ(fs::status(html / "Sorvanta.exe").permissions(), installed_bits);
}

// A mount of its own for this test process and its children only, undone when it ends.
class SmallDisk {
 public:
  explicit SmallDisk(const fs::path& folder) : folder_(folder) {
    fs::create_directories(folder);
    mounted_ = ::unshare(CLONE_NEWNS) == 0 &&
               ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
               ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") == 0;
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  ~SmallDisk() {
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  // Takes every free block.
  void fill() const {
    std::ofstream filler(folder_ / "filler", std::ios::binary);
    const std::string block(4096, 'x');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) && filler.flush()) {
    }
  }

 private:
  fs::path folder_;
  bool mounted_ = false;
};

// With the disk full, recording fails and leaves the log as it was: absent, or with its old bytes.
TEST_F(Ludrimex, AFullDiskLeavesTheLogAsItWas) {
  const SmallDisk disk(home / "VeltranoCatalogo");
  if (!disk.mounted()) GTEST_SKIP() << "a tmpfs can't be mounted here (needs CAP_SYS_ADMIN)";
  for (const auto& log : {std::optional<std::string>(), std::optional<std::string>("0\r\n")}) {
    fs::remove(html / "patch.txt");
    fs::remove(html.parent_path() / "filler");
    install();
    if (log) write_file(html / "patch.txt", *log);
    disk.fill();
    const auto before = contents(root.path());
    const Outcome outcome = run();
    EXPECT_EQ(outcome.exit_status, 2);
    EXPECT_EQ(outcome.standard_error, report("61: Disco pieno", (html / "patch.txt").string()));
    EXPECT_EQ(contents(root.path()), before);
    EXPECT_EQ(fs::exists(html / "patch.txt"), log.has_value());
  }
}

}  // namespace
