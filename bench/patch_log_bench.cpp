// The patch log's check (controlla_file) and record on logs of 1, 1,000, 8,192 and 32,768 lines (the most
// the log holds), through the Linux System on a real file. Each log passes the whole check (no line
// carries the patch number, the last is its predecessor), the worst case; the full one then stops with
// error 6 instead of taking the record. Measured twice: with the System's
// own pending-message processing after every line, and with that step left out, so its share shows.
// GTK is started first when a display is there, so that the processing has a real event queue.
//
// Prints a Markdown table on standard output; Google Benchmark's own report goes to standard error.
#include <benchmark/benchmark.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "patch/errors.h"
#include "patch/patch_log.h"
#include "patch/patch_number.h"
#include "patch/system.h"

namespace {

constexpr std::int64_t kLineCounts[] = {1, 1000, 8192, 32768};
constexpr int kRepetitions = 5;  // the table shows each case's median

// The Linux System, with the pending-message step optionally left out; the patch log needs no more.
class MeasuredSystem : public ludrimex::System {
 public:
  explicit MeasuredSystem(bool events) : real_(ludrimex::make_platform_system()), events_(events) {}

  ludrimex::FileKind file_kind(const std::string& path) override { return real_->file_kind(path); }
  std::string read_file(const std::string& path) override { return real_->read_file(path); }
  void write_file(const std::string& path, const std::string& bytes) override {
    real_->write_file(path, bytes);
  }
  void delete_file(const std::string& path) override { real_->delete_file(path); }
  std::string short_date() override { return real_->short_date(); }
  std::string to_log_text(const std::string& text) override { return real_->to_log_text(text); }
  std::string from_log_text(const std::string& bytes) override { return real_->from_log_text(bytes); }
  void do_events() override {
    if (events_) real_->do_events();
  }

  std::string special_folder(const std::string&) override { not_used(); }
  std::string dir(const std::string&, int) override { not_used(); }
  std::unique_ptr<ludrimex::RunLock> lock_single_run(const std::string&) override { not_used(); }
  ludrimex::FolderLock lock_folder(const std::string&) override { not_used(); }
  ludrimex::Elevation elevation() override { not_used(); }
  std::optional<int> run_elevated() override { not_used(); }
  void bind_toolkit(const std::string&) override { not_used(); }
  bool toolkit_accepts(const std::string&) override { not_used(); }
  bool is_absolute_path(const std::string&) override { not_used(); }
  std::unique_ptr<ludrimex::ProcessSnapshot> create_process_snapshot(std::uint32_t, std::uint32_t) override {
    not_used();
  }
  std::unique_ptr<ludrimex::ShellLink> create_link_object() override { not_used(); }
  std::int32_t create_shell_link(const std::string&, const std::string&, const std::string&,
                                 const std::string&, const std::string&) override {
    not_used();
  }
  std::int32_t create_shell_link(const std::string&, const std::string&, const std::string&,
                                 const std::string&, const std::string&, std::int32_t,
                                 const std::string&) override {
    not_used();
  }
  std::optional<ludrimex::DeliveredFile> hold_delivered_file(const std::string&) override { not_used(); }
  void copy_file(const std::string&, const std::string&) override { not_used(); }
  void clean_up_replace(const std::string&) override { not_used(); }
  int message_box(const std::string&, const std::string&, int) override { not_used(); }
  std::string app_path() override { not_used(); }

 protected:
  std::uintptr_t do_load_library(const std::string&) override { not_used(); }
  void do_free_library(std::uintptr_t) override { not_used(); }

 private:
  [[noreturn]] static void not_used() { throw std::logic_error("not used by the patch log"); }

  std::unique_ptr<ludrimex::System> real_;
  bool events_;
};

std::string log_of(std::int64_t lines) {
  std::string log;
  std::string line = std::to_string(ludrimex::kPatchNumber - 1);  // the predecessor, on every line
  line += std::string(10 - line.size(), ' ') + "06/12/2026\r\n";
  for (std::int64_t i = 0; i < lines; ++i) log += line;
  return log;
}

void BM_controlla_file(benchmark::State& state, bool events) {
  const std::int64_t lines = state.range(0);
  const std::string log = log_of(lines);
  const auto folder =
      std::filesystem::temp_directory_path() / ("patch_log_bench." + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::string path = (folder / "patch.txt").string();
  MeasuredSystem system(events);
  for (auto _ : state) {
    state.PauseTiming();
    std::ofstream(path, std::ios::binary | std::ios::trunc) << log;
    ludrimex::PatchLog patch_log(system, path);
    state.ResumeTiming();
    try {
      if (const auto refusal = patch_log.controlla_file(ludrimex::kPatchNumber))
        throw std::logic_error("the benchmark's log was refused: " + *refusal);
      patch_log.record(ludrimex::kPatchNumber);
    } catch (const ludrimex::RunError& error) {
      if (error.number() != ludrimex::kOverflow || lines != kLineCounts[3]) throw;
    }
  }
  std::filesystem::remove_all(folder);
  state.counters["per_line"] =
      benchmark::Counter(static_cast<double>(lines),
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Keeps every run's per-line time for the Markdown table.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& run : runs) {
      if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median" || run.error_occurred) continue;
      per_line_us[run.run_name.function_name][std::stoll(run.run_name.args)] =
          run.counters.at("per_line").value * 1e6;
    }
  }
  std::map<std::string, std::map<std::int64_t, double>> per_line_us;
};

std::string grouped(std::int64_t n) {
  std::string text = std::to_string(n);
  for (auto at = static_cast<std::ptrdiff_t>(text.size()) - 3; at > 0; at -= 3) text.insert(at, ",");
  return text;
}

void print_table(const TableReporter& reporter, bool display) {
  const auto& with = reporter.per_line_us.at("controlla_file/events");
  const auto& without = reporter.per_line_us.at("controlla_file/no_events");
  std::printf(
      "| Log lines | Time per line (µs) | Without pending messages (µs) | Pending messages' share |\n");
  std::printf("|---|---|---|---|\n");
  for (const auto lines : kLineCounts) {
    const double a = with.at(lines);
    const double b = without.at(lines);
    std::printf("| %s | %.3f | %.3f | %.0f %% |\n", grouped(lines).c_str(), a, b, 100.0 * (a - b) / a);
  }
  std::printf(
      "\nGrowth: the time per line at 32,768 lines is %.2f times that at 1,000 lines (linear cost: 1).\n",
      with.at(32768) / with.at(1000));
  std::printf("Pending messages processed %s.\n",
              display ? "by GTK, started on the display" : "without a display (GTK not started)");
}

}  // namespace

int main(int argc, char** argv) {
  const bool display = gtk_init_check(&argc, &argv) != FALSE;
  for (const bool events : {true, false}) {
    auto* bench = benchmark::RegisterBenchmark(events ? "controlla_file/events" : "controlla_file/no_events",
                                               BM_controlla_file, events);
    for (const auto lines : kLineCounts) bench->Arg(lines);
    bench->Unit(benchmark::kMicrosecond)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
  }
  benchmark::Initialize(&argc, argv);
  TableReporter reporter;
  reporter.SetOutputStream(&std::cerr);
  reporter.SetErrorStream(&std::cerr);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  print_table(reporter, display);
  return 0;
}
