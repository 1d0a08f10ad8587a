// Times two programs against each other as whole processes, side by side: one warm-up run each, then
// RUNS pairs run interleaved (candidate, reference, candidate, ...), so that a busy moment of the
// machine falls on both. Each run is observed by the load probe (load_probe.cpp); its peak memory is
// the sum of the peak resident sets of its whole process tree (UI, web and network processes). That
// counts the libraries the three processes share three times, so the proportional set sizes after
// the load (shared pages split among their users) are reported beside it.
//
//   process_bench start|popup RUNS PROBE.so -- LABEL CMD [ARG...] -- LABEL CMD [ARG...]
//
// start: process start to the first page's load finished. popup: the probe's click in the first page
// to the load finished of the window it opens. Prints Markdown table rows: each program's
// min / median / max, and the ratio candidate / reference of each pair, min / median / max.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/process_tree.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

enum class Scenario { kStart, kPopup };

struct Program {
  std::string label;
  std::vector<std::string> argv;
};

struct Sample {
  double ms = 0;
  double mib = 0;      // the sum of the processes' peak resident sets
  double pss_mib = 0;  // the sum of their proportional set sizes after the load
};

constexpr auto kTimeout = 30s;
// Time left after the load for the first frames to be painted before memory is read.
constexpr auto kSettle = 300ms;

long long now_ns() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

// A pipe whose ends close themselves.
class Pipe {
 public:
  Pipe() {
    if (pipe2(fds_, O_CLOEXEC) != 0) throw std::runtime_error("pipe: " + std::string(std::strerror(errno)));
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  ~Pipe() {
    close_read();
    close_write();
  }
  int read_end() const { return fds_[0]; }
  int write_end() const { return fds_[1]; }
  void close_read() { close_fd(fds_[0]); }
  void close_write() { close_fd(fds_[1]); }

 private:
  static void close_fd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
  int fds_[2] = {-1, -1};
};

// Reads the probe's report lines as they come.
class ProbeReader {
 public:
  explicit ProbeReader(int fd) : fd_(fd) {}

  // The next line, or nothing once `deadline` has passed or the program has gone.
  std::optional<std::string> next(std::chrono::steady_clock::time_point deadline) {
    for (;;) {
      if (const auto end = buffer_.find('\n'); end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return line;
      }
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return std::nullopt;
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      char chunk[512];
      const ssize_t n = read(fd_, chunk, sizeof chunk);
      if (n <= 0) return std::nullopt;
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }

 private:
  int fd_;
  std::string buffer_;
};

std::vector<std::string> environment(const std::string& probe, Scenario scenario) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (entry.rfind("GTK_MODULES=", 0) != 0 && entry.rfind("VELTRANO_PROBE", 0) != 0) env.push_back(entry);
  }
  env.push_back("GTK_MODULES=" + probe);
  env.push_back("VELTRANO_PROBE_FD=3");
  if (scenario == Scenario::kPopup) env.push_back("VELTRANO_PROBE_CLICK=1");
  return env;
}

std::vector<char*> c_strings(std::vector<std::string>& strings) {
  std::vector<char*> result;
  for (auto& s : strings) result.push_back(s.data());
  result.push_back(nullptr);
  return result;
}

// Ends `root` and everything it started, and reaps them all (we are their subreaper).
void end_tree(pid_t root) {
  for (int round = 0; round < 100; ++round) {
    const auto tree = bench::process_tree(root);
    bool alive = false;
    for (pid_t pid : tree) {
      if (kill(pid, SIGKILL) == 0) alive = true;
    }
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    if (!alive) return;
    std::this_thread::sleep_for(20ms);
  }
  throw std::runtime_error("processes left running after the run");
}

long long field_ns(const std::string& line, int field) {
  std::istringstream in(line);
  std::string word;
  for (int i = 0; i <= field; ++i) in >> word;
  return std::stoll(word);
}

Sample run_once(const Program& program, const std::string& probe, Scenario scenario) {
  Pipe report;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, report.write_end(), 3);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);

  auto env_strings = environment(probe, scenario);
  auto env = c_strings(env_strings);
  auto argv_strings = program.argv;
  auto argv = c_strings(argv_strings);

  pid_t pid = 0;
  const long long started = now_ns();
  const int error = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) throw std::runtime_error(program.argv[0] + ": " + std::strerror(error));
  report.close_write();

  ProbeReader reader(report.read_end());
  const auto deadline = std::chrono::steady_clock::now() + kTimeout;
  long long from = started;
  std::optional<long long> loaded;
  while (!loaded) {
    const auto line = reader.next(deadline);
    if (!line) {
      end_tree(pid);
      throw std::runtime_error(program.label + ": no load finished within the time limit");
    }
    if (line->rfind("click ", 0) == 0) from = field_ns(*line, 1);
    if (line->rfind("load ", 0) != 0) continue;
    const bool first_view = field_ns(*line, 1) == 0;
    if (first_view == (scenario == Scenario::kStart)) loaded = field_ns(*line, 2);
  }
  std::this_thread::sleep_for(kSettle);
  long kib = 0;
  long pss = 0;
  for (pid_t p : bench::process_tree(pid)) {
    kib += bench::peak_rss_kib(p);
    pss += bench::pss_kib(p);
  }
  end_tree(pid);
  return {static_cast<double>(*loaded - from) / 1e6, static_cast<double>(kib) / 1024.0,
          static_cast<double>(pss) / 1024.0};
}

struct Spread {
  double min, median, max;
};

Spread spread(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  const double median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  return {values.front(), median, values.back()};
}

std::string format(const Spread& s, int decimals) {
  char text[96];
  std::snprintf(text, sizeof text, "%.*f / %.*f / %.*f", decimals, s.min, decimals, s.median, decimals,
                s.max);
  return text;
}

void print_row(const std::string& what, const std::vector<double>& candidate,
               const std::vector<double>& reference, int decimals, double goal) {
  std::vector<double> ratios;
  for (std::size_t i = 0; i < candidate.size(); ++i) ratios.push_back(candidate[i] / reference[i]);
  const Spread ratio = spread(ratios);
  char goal_text[32];
  std::snprintf(goal_text, sizeof goal_text, "≤ %.2f %s", goal, ratio.median <= goal ? "✓" : "✗");
  std::cout << "| " << what << " | " << format(spread(candidate), decimals) << " | "
            << format(spread(reference), decimals) << " | " << format(ratio, 3) << " | " << goal_text
            << " |\n";
}

std::vector<Program> parse_programs(int argc, char** argv, int first) {
  std::vector<Program> programs;
  for (int i = first; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) {
      programs.emplace_back();
    } else if (programs.empty()) {
      throw std::runtime_error("expected -- before a program");
    } else if (programs.back().label.empty()) {
      programs.back().label = argv[i];
    } else {
      programs.back().argv.emplace_back(argv[i]);
    }
  }
  if (programs.size() != 2 || programs[0].argv.empty() || programs[1].argv.empty())
    throw std::runtime_error("expected two programs, each as -- LABEL COMMAND [ARG...]");
  return programs;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc < 4)
      throw std::runtime_error(
          "usage: process_bench start|popup RUNS PROBE.so -- LABEL CMD... -- LABEL CMD...");
    const std::string name = argv[1];
    if (name != "start" && name != "popup") throw std::runtime_error("unknown scenario " + name);
    const Scenario scenario = name == "start" ? Scenario::kStart : Scenario::kPopup;
    const int runs = std::stoi(argv[2]);
    const std::string probe = argv[3];
    const auto programs = parse_programs(argc, argv, 4);
    // Orphaned web processes come back to us, so none outlives its run.
    prctl(PR_SET_CHILD_SUBREAPER, 1);

    for (const auto& program : programs) run_once(program, probe, scenario);
    std::vector<double> ms[2];
    std::vector<double> mib[2];
    std::vector<double> pss[2];
    for (int run = 0; run < runs; ++run) {
      for (int p = 0; p < 2; ++p) {
        const Sample sample = run_once(programs[p], probe, scenario);
        ms[p].push_back(sample.ms);
        mib[p].push_back(sample.mib);
        pss[p].push_back(sample.pss_mib);
        std::cerr << name << " " << programs[p].label << " run " << run + 1 << ": " << sample.ms << " ms, "
                  << sample.mib << " MiB peak, " << sample.pss_mib << " MiB PSS\n";
      }
    }
    const std::string what = scenario == Scenario::kStart ? "Start" : "Pop-up";
    print_row(what + ": time (ms)", ms[0], ms[1], 1, 1.05);
    print_row(what + ": peak memory, summed peak RSS (MiB)", mib[0], mib[1], 1, 0.80);
    print_row(what + ": memory after the load, summed PSS (MiB)", pss[0], pss[1], 1, 0.80);
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "process_bench: " << e.what() << "\n";
    return 1;
  }
}
