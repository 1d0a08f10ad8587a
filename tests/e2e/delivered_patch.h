#pragma once
// Ludrimex.exe run as a user runs it: from a delivery folder holding it, STKIT432.so and the new
// Sorvanta.exe, against a catalogue installed in a throw-away HOME, with no display (so every message
// box is one line on standard error).
#include <strings.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "patch/patch_number.h"
#include "posix/process_list.h"
#include "shell_link/link.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/today.h"

namespace ludrimex_e2e {

namespace fs = std::filesystem;
using ludrimex::kPatchNumber;
using test_support::Outcome;
using test_support::read_file;
using test_support::ScratchDir;
using test_support::write_file;

inline const std::string kNewLauncher = "nuovo Sorvanta.exe, versione 1.01";
inline const std::string kOldLauncher = "vecchio Sorvanta.exe, versione 1.00";
inline const std::string kSuccess = "Dastrel: Patch installata con successo!\n";
inline const std::string kAlreadyInstalled = "Dastrel: Hai già installato questa patch in data ";

struct Row {
  const char* title;
  const char* target;
};
inline const Row kShortcuts[] = {
    {"Veltrano Catalogo", "Sorvanta.exe"},
    {"Veltrano Aggiornamento", "VeltranoCatalogoUpdate.exe"},
    {"Veltrano Disinstallazione", "VeltranoCatalogoUnistall.exe"},
};

// The log's line for patch `number` installed on `date`: the number in 10 characters, the date, CR LF.
inline std::string record(int number, const std::string& date) {
  std::string field = std::to_string(number);
  field.append(10 - field.size(), ' ');
  return field + date + "\r\n";
}

// Every file under `folder` with its bytes: what "nothing changed" compares.
inline std::map<std::string, std::string> contents(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files[fs::relative(entry.path(), folder).string()] = read_file(entry.path());
  }
  return files;
}

// A launcher started by someone else on this machine would make the installer refuse: wait it out.
inline void wait_for_foreign_launchers() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (std::chrono::steady_clock::now() < deadline) {
    const std::vector<posix::ProcessInfo> processes = posix::read_process_list().value();
    bool running = false;
    for (const auto& process : processes)
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
  Outcome run_now() { return run_with((delivery / "Ludrimex.exe").string()); }
  // Runs `program` with `arguments` (Ludrimex.exe itself, or a tracer of it) in the user's setting.
  Outcome run_with(const std::string& program, const std::vector<std::string>& arguments = {}) {
    return test_support::run_program(program, root.path().string(),
                                     {{"HOME", home.string()},
                                      {"XDG_DATA_HOME", std::nullopt},
                                      {"XDG_RUNTIME_DIR", runtime.path().string()},
                                      {"DISPLAY", std::nullopt},
                                      {"WAYLAND_DISPLAY", std::nullopt},
                                      {"LC_ALL", "C"}},
                                     arguments);
  }

  // The report of an error that ended the run, as it reaches standard error without a display.
  static std::string report(const std::string& error, const std::string& file) {
    return "Ludrimex: Errore " + error + "\n" + file + "\n";
  }

  // What keeps the installation from being patched, "" when nothing does: the new launcher, the log's
  // bytes `log_before` and one record of this patch dated `date_before` or today, the group's three
  // shortcuts remade, nothing but the group in the Programs folder, no temporary file of ours anywhere.
  std::string unpatched(const std::string& log_before, const std::string& date_before) const {
    std::string problems;
    const auto problem = [&](const std::string& text) { problems += (problems.empty() ? "" : "; ") + text; };
    const std::string log = fs::exists(html / "patch.txt") ? read_file(html / "patch.txt") : "(none)";
    if (log != log_before + record(kPatchNumber, date_before) &&
        log != log_before + record(kPatchNumber, test_support::day_month_year_today()))
      problem("log " + log);
    if (read_file(html / "Sorvanta.exe") != kNewLauncher) problem("old launcher");
    for (const Row& row : kShortcuts) {
      const fs::path file = group / (std::string(row.title) + ".lnk");
      if (!fs::exists(file) || shell_link::load(file.string()).info.path() != (html / row.target).string() ||
          shell_link::load(file.string()).working_directory != html.string())
        problem(std::string("group shortcut ") + row.title);
    }
    for (const auto& entry : fs::directory_iterator(programs)) {
      if (entry.path() != group) problem("left in the Programs folder: " + entry.path().filename().string());
    }
    static const std::regex temporary(R"(.*\.new-[0-9]+-[0-9]+)");
    for (const auto& entry : fs::recursive_directory_iterator(root.path())) {
      if (std::regex_match(entry.path().filename().string(), temporary))
        problem("left behind: " + fs::relative(entry.path(), root.path()).string());
    }
    return problems;
  }

  // Runs `run` and expects it to end with `status`, having said `said`, with nothing changed.
  void expect_unchanged(const std::function<Outcome()>& run, int status, const std::string& said) {
    const auto before = contents(root.path());
    const Outcome outcome = run();
    EXPECT_EQ(outcome.exit_status, status);
    EXPECT_EQ(outcome.standard_error, said);
    EXPECT_EQ(contents(root.path()), before);
  }

  void expect_installed(const Outcome& outcome, const std::string& date_before,
                        const std::string& log_before = "") {
    EXPECT_EQ(outcome.exit_status, 0);
    EXPECT_EQ(outcome.standard_error, kSuccess);
    EXPECT_EQ(unpatched(log_before, date_before), "");
    EXPECT_TRUE((fs::status(html / "Sorvanta.exe").permissions() & fs::perms::owner_exec) != fs::perms::none);
  }
};

}  // namespace ludrimex_e2e
