// Ludrimex.exe end to end: installs, refusals, errors, and what each leaves on the disk.
#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <fstream>
#include <future>

#include "tests/e2e/delivered_patch.h"

namespace {

using namespace ludrimex_e2e;

TEST_F(Ludrimex, CleanInstallThenTheSamePatchRefused) {
  install();
  const std::string date = test_support::day_month_year_today();
  expect_installed(run(), date);

  expect_unchanged([&] { return run(); }, 1,
                   kAlreadyInstalled + read_file(html / "patch.txt").substr(10, 10) + "\n");
}

TEST_F(Ludrimex, CatalogueNotInstalled) {
  fs::create_directories(programs);
  expect_unchanged([&] { return run(); }, 1,
                   "Dastrel: Non hai installato il catalogo. La patch non può essere creata\n");
}

TEST_F(Ludrimex, RefusedWhileTheLauncherRunsThenAccepted) {
  install();
  fs::create_directories(root.path() / "running");
  test_support::RunningProcess launcher(root.path() / "running/Sorvanta.exe");
  expect_unchanged([&] { return run_now(); }, 1,
                   "Dastrel: Chiudere il catalogo prima dell'aggiornamento! Rieseguire la patch!\n");

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
  const std::string predecessor = record(kPatchNumber - 1, "01/01/2026");
  write_file(html / "patch.txt", predecessor);
  fs::remove(delivery / "Sorvanta.exe");
  // Checked before anything is written, it is named as the installer joins it; the log stays as it was,
  // the launcher and shortcuts untouched.
  expect_unchanged([&] { return run(); }, 2,
                   report("53: Impossibile trovare il file", delivery.string() + "\\Sorvanta.exe"));

  write_file(delivery / "Sorvanta.exe", kNewLauncher);
  const std::string date = test_support::day_month_year_today();
  expect_installed(run(), date, predecessor);
}

// The SHA-256 of `file` as coreutils computes it, in hexadecimal.
std::string sha256sum(const fs::path& file) {
  return test_support::run_program("/bin/sh", ".", {}, {"-c", "sha256sum -- \"$0\" >&2", file.string()})
      .standard_error.substr(0, 64);
}

// A Ludrimex built as a package's, which carries the SHA-256 of this build's Sorvanta.exe and
// STKIT432.so as text: another Sorvanta.exe or STKIT432.so beside it is refused, named, with nothing
// changed and none of that library's code run; the package's own files are installed.
TEST_F(Ludrimex, APackagesInstallerInstallsOnlyThePackagesOwnFiles) {
  const std::string packaged = read_file(PACKAGED_LUDRIMEX_EXE);
  for (const char* file : {PACKAGED_SORVANTA_EXE, STKIT432_FILE}) {
    EXPECT_NE(packaged.find(sha256sum(file)), std::string::npos) << file;
    EXPECT_EQ(read_file(LUDRIMEX_EXE).find(sha256sum(file)), std::string::npos) << file;
  }
  install();
  const fs::path launcher = delivery / "Sorvanta.exe", library = delivery / "STKIT432.so";
  const fs::path marker = root.path() / "libreria.eseguita";
  const auto deliver = [&](const char* ludrimex, const char* sorvanta, const char* stkit432) {
    for (const auto& [from, to] :
         {std::pair{ludrimex, delivery / "Ludrimex.exe"}, {sorvanta, launcher}, {stkit432, library}})
      fs::copy_file(from, to, fs::copy_options::overwrite_existing);
  };
  const std::string refused =
      " non è quello della patch. Estrarre di nuovo tutto il pacchetto della patch in una "
      "cartella nuova e vuota e rieseguire la patch!\n";
  deliver(PACKAGED_LUDRIMEX_EXE, PACKAGED_SORVANTA_EXE, STKIT432_FILE);
  write_file(launcher, kNewLauncher);
  expect_unchanged([&] { return run(); }, 1, "Dastrel: Il file " + launcher.string() + refused);

  deliver(PACKAGED_LUDRIMEX_EXE, PACKAGED_SORVANTA_EXE, PLANTED_LIBRARY_FILE);
  expect_unchanged([&] { return run(); }, 1, "Dastrel: Il file " + library.string() + refused);
  EXPECT_FALSE(fs::exists(marker));
  // The same delivery without a package: the library runs (and, lacking the entry, stops the run).
  deliver(LUDRIMEX_EXE, PACKAGED_SORVANTA_EXE, PLANTED_LIBRARY_FILE);
  EXPECT_EQ(run().exit_status, 2);
  EXPECT_TRUE(fs::exists(marker));

  deliver(PACKAGED_LUDRIMEX_EXE, PACKAGED_SORVANTA_EXE, STKIT432_FILE);
  const Outcome installed = run();
  EXPECT_EQ(installed.exit_status, 0);
  EXPECT_EQ(installed.standard_error, kSuccess);
  EXPECT_EQ(read_file(html / "Sorvanta.exe"), read_file(PACKAGED_SORVANTA_EXE));
  EXPECT_EQ(shell_link::load((group / "Veltrano Catalogo.lnk").string()).info.path(),
            (html / "Sorvanta.exe").string());
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
  EXPECT_TRUE(again.standard_error.starts_with(kAlreadyInstalled));
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
  expect_unchanged([&] { return run(); }, 1, kAnotherRun);
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);

  const std::string date = test_support::day_month_year_today();
  expect_installed(run(), date);
}

// Two runs started together, again and again: the patch is installed and recorded once, and the
// other run is refused with one of its two messages.
TEST_F(Ludrimex, TwoRunsAtOnceRecordThePatchOnce) {
  install();
  wait_for_foreign_launchers();
  for (int round = 0; round < 5; ++round) {
    fs::remove(html / "patch.txt");
    auto first = std::async(std::launch::async, [&] { return run_now(); });
    const Outcome second = run_now();
    const Outcome one = first.get();
    const Outcome& winner = one.exit_status == 0 ? one : second;
    const Outcome& loser = one.exit_status == 0 ? second : one;
    EXPECT_EQ(winner.exit_status, 0) << round;
    EXPECT_EQ(loser.exit_status, 1) << round;
    EXPECT_TRUE(loser.standard_error == kAnotherRun || loser.standard_error.starts_with(kAlreadyInstalled))
        << loser.standard_error;
    EXPECT_EQ(read_file(html / "patch.txt").size(), record(kPatchNumber, "dd/mm/yyyy").size()) << round;
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
    expect_unchanged([&] { return run(); }, 2, report("75: Errore di accesso al percorso/file", named));
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

// With the disk full, the run fails at its first write and leaves everything as it was: the patch not
// recorded, the log absent or with its old bytes, no temporary file. That write is the log's, written
// as it is to be sure it takes the record, or with no log yet the launcher's.
TEST_F(Ludrimex, AFullDiskLeavesTheInstallationAsItWas) {
  const SmallDisk disk(home / "VeltranoCatalogo");
  if (!disk.mounted()) GTEST_SKIP() << "a tmpfs can't be mounted here (needs CAP_SYS_ADMIN)";
  for (const auto& log :
       {std::optional<std::string>(), std::optional(record(kPatchNumber - 1, "01/01/2026"))}) {
    const fs::path failing = html / (log ? "patch.txt" : "Sorvanta.exe");
    fs::remove(html / "patch.txt");
    fs::remove(html.parent_path() / "filler");
    install();
    if (log) write_file(html / "patch.txt", *log);
    disk.fill();
    expect_unchanged([&] { return run(); }, 2, report("61: Disco pieno", failing.string()));
    EXPECT_EQ(fs::exists(html / "patch.txt"), log.has_value());
  }
}

}  // namespace
