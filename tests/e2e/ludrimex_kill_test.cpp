// Ludrimex.exe killed (SIGKILL: stopped at once, as a crash or the Task Manager stops it) on entry to
// each system call of a run that changes the disk, then run again as a user would: the second run
// must leave the installation patched, with one record and nothing of ours left behind.
#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <sstream>

#include "tests/e2e/delivered_patch.h"
#include "tests/support/scoped_env.h"

namespace {

using namespace ludrimex_e2e;

// The system calls that may change a file or a folder; each invocation of one is a kill point.
const std::vector<std::string> kDiskCalls = {
    "open",      "openat", "creat",    "write",  "pwrite64", "writev", "rename",    "renameat",
    "renameat2", "unlink", "unlinkat", "fchmod", "fchmodat", "fsync",  "fdatasync", "ftruncate",
    "truncate",  "mkdir",  "mkdirat",  "rmdir",  "link",     "linkat", "symlink"};

// One invocation: the call's name, its number among that call's invocations (from 1), as strace
// counts them, and the line strace wrote for it.
struct KillPoint {
  std::string call;
  int nth;
  std::string line;
};

std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const auto& name : names) text += (text.empty() ? "" : ",") + name;
  return text;
}

// Whether a traced call changes the disk: an open that may create or truncate, a write to anything but
// the standard streams (the message box without a display), every other call of the list.
bool changes_disk(const std::string& call, const std::string& arguments) {
  if (std::find(kDiskCalls.begin(), kDiskCalls.end(), call) == kDiskCalls.end()) return false;
  if (call == "open" || call == "openat")
    return arguments.find("O_CREAT") != std::string::npos || arguments.find("O_TRUNC") != std::string::npos;
  if (call == "write" || call == "pwrite64" || call == "writev")
    return !arguments.starts_with("1,") && !arguments.starts_with("2,");
  return true;
}

// The kill points of a run traced by `strace -o trace`: lines "PID call(arguments) = result".
std::vector<KillPoint> kill_points(const std::string& trace) {
  std::vector<KillPoint> points;
  std::map<std::string, int> seen;
  std::istringstream lines(trace);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string pid, traced;
    fields >> pid >> std::ws;
    std::getline(fields, traced);
    const auto paren = traced.find('(');
    if (paren == std::string::npos) continue;
    const std::string call = traced.substr(0, paren);
    const int nth = ++seen[call];
    if (changes_disk(call, traced.substr(paren + 1))) points.push_back({call, nth, traced});
  }
  return points;
}

class KilledRun : public Ludrimex {
 protected:
  // A fresh catalogue with the log of the patch before this one.
  void reinstall() {
    fs::remove_all(home);
    install();
    write_file(html / "patch.txt", log_before);
  }
  // Ludrimex.exe under strace with `options`, in a process namespace of its own: the process list it
  // reads is then the same in every run (and holds no launcher of anyone else's), and so is the number
  // of each system call it makes. A sanitizer's leak check can't run under a tracer.
  Outcome traced(const std::vector<std::string>& options) {
    std::vector<std::string> arguments = {"--user",       "--map-root-user", "--pid", "--fork",
                                          "--mount-proc", STRACE_EXE,        "-f",    "-qq"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.push_back((delivery / "Ludrimex.exe").string());
    const char* asan = std::getenv("ASAN_OPTIONS");
    const test_support::ScopedEnv no_leak_check("ASAN_OPTIONS",
                                                std::string(asan ? asan : "") + ":detect_leaks=0");
    return run_with(UNSHARE_EXE, arguments);
  }
  // Ludrimex.exe run again as a user would, again while it was refused for a launcher someone else
  // started on this machine meanwhile: that refusal comes before anything is changed.
  Outcome rerun() {
    const std::string refused =
        "Dastrel: Chiudere il catalogo prima dell'aggiornamento! Rieseguire la patch!\n";
    Outcome outcome;
    for (int attempt = 0; attempt < 10 && (attempt == 0 || outcome.standard_error == refused); ++attempt)
      outcome = run();
    return outcome;
  }

  const std::string log_before = record(kPatchNumber - 1, "01/01/2026");
};

TEST_F(KilledRun, AtEveryCallThatChangesTheDiskARerunFinishesTheInstall) {
  reinstall();
  const std::string trace_file = root / "trace";
  const Outcome whole = traced({"-o", trace_file, "-e", "trace=" + joined(kDiskCalls)});
  ASSERT_EQ(whole.exit_status, 0) << whole.standard_error;
  const std::vector<KillPoint> points = kill_points(read_file(trace_file));
  ASSERT_GE(points.size(), 20u) << read_file(trace_file);  // eight replaces and three deletes at least
  std::cout << "[ kill points ] " << points.size() << '\n';

  const std::string date = test_support::day_month_year_today();
  for (const KillPoint& point : points) {
    const std::string where =
        "killed on entry to " + point.call + " #" + std::to_string(point.nth) + ": " + point.line;
    reinstall();
    const Outcome killed = traced(
        {"-o", "/dev/null", "--inject=" + point.call + ":signal=SIGKILL:when=" + std::to_string(point.nth)});
    // unshare ends as its child did: 128 and the signal.
    ASSERT_EQ(killed.exit_status, 128 + SIGKILL)
        << "not killed, so the run no longer makes that call: " << where << "\n"
        << killed.standard_error;

    const Outcome again = rerun();
    // A patch refused as installed must really be: the state below says whether it is.
    const bool finished = again.exit_status == 0 ? again.standard_error == kSuccess
                                                 : again.standard_error.starts_with(kAlreadyInstalled);
    EXPECT_TRUE(finished) << where << "\nthe rerun said: " << again.standard_error;
    EXPECT_EQ(unpatched(log_before, date), "") << where;
  }
}

}  // namespace
