// Any bytes as patch.txt and any patch number: the patch log refuses, accepts or stops with an error
// as a plain reading of its rules says, never touches the log while judging it, and records an
// accepted patch by appending its one line, which a second check then finds.
//
// Input: two bytes of the patch number (little-endian), one byte telling whether the log exists,
// then the log's bytes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "patch/errors.h"
#include "patch/patch_log.h"
#include "patch/runtime_text.h"
#include "tests/fuzz/require.h"
#include "tests/patch_logic/fake_system.h"

namespace {

using ludrimex::RunError;

const std::string kLog = R"(C:\Cat\progetto_html\patch.txt)";
const std::string kAlready = "Hai già installato questa patch in data ";
const std::string kPredecessor = "Non puoi installare questa patch perché devi prima installare la patch n. ";

// The log's non-empty lines, read on their own from the rules: each ends at a CR, with the LF after
// it if there is one.
std::vector<std::string> lines_of(const std::string& log) {
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < log.size(); ++i) {
    if (log[i] == '\r') {
      if (i + 1 < log.size() && log[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back() += log[i];
    }
  }
  std::erase(lines, std::string());
  return lines;
}

std::int16_t number_of(const std::string& line) {
  return ludrimex::to_integer16(ludrimex::trim_spaces(line.substr(0, 10)), kLog);
}

// The refusal the rules give for `lines`, nothing when the patch is accepted; throws as they do.
std::optional<std::string> judged(const std::vector<std::string>& lines, std::int16_t versione) {
  constexpr std::size_t kMostRecords = 32768;
  if (lines.size() > kMostRecords) throw RunError(ludrimex::kOverflow, kLog);  // while reading
  if (lines.empty()) return std::nullopt;
  for (const auto& line : lines) {
    if (number_of(line) == versione)
      // The date is shown as the platform reads the log's code page: the fake's is Latin-1.
      return kAlready + ludrimex::testing::FakeSystem().from_log_text(
                            ludrimex::trim_spaces(line.size() > 10 ? line.substr(10, 10) : ""));
  }
  if (versione - 1 > number_of(lines.back())) return kPredecessor + std::to_string(versione - 1);
  if (lines.size() == kMostRecords) throw RunError(ludrimex::kOverflow, kLog);  // no room for one more
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const auto versione = static_cast<std::int16_t>(data[0] | (data[1] << 8));
  const bool exists = (data[2] & 1) != 0;
  const std::string log(reinterpret_cast<const char*>(data + 3), size - 3);
  const std::vector<std::string> lines = exists ? lines_of(log) : std::vector<std::string>{};

  ludrimex::testing::FakeSystem sys;
  sys.folders.insert(R"(C:\Cat\progetto_html)");
  if (exists) sys.files[kLog] = log;
  ludrimex::PatchLog patch_log(sys, kLog);

  std::optional<std::string> expected, refusal;
  ludrimex::ErrorNumber expected_error{}, error{};
  try {
    expected = judged(lines, versione);
  } catch (const RunError& e) {
    expected_error = e.number();
  }
  try {
    refusal = patch_log.controlla_file(versione);
  } catch (const RunError& e) {
    error = e.number();
  }
  // Judging shows nothing and leaves the log as it was, whatever it comes to.
  require(error == expected_error && refusal == expected && sys.boxes.empty());
  require(exists ? sys.files.at(kLog) == log : !sys.files.count(kLog));
  if (error != ludrimex::ErrorNumber{} || refusal) return 0;

  patch_log.record(versione);
  std::string field = std::to_string(versione);
  field.append(10 - field.size(), ' ');
  const std::string line = field + sys.date + "\r\n";
  const std::string& after = sys.files.at(kLog);
  if (lines.empty()) {
    require(after == line);  // created, or replaced by its one record
  } else {
    // Written after the old bytes, with a line break first unless the log ends in CR or CR LF.
    const std::string joint = log.ends_with('\r') || log.ends_with("\r\n") ? "" : "\r\n";
    require(after == log + joint + line);
  }
  require(ludrimex::PatchLog(sys, kLog).controlla_file(versione) == kAlready + sys.date.substr(0, 10));
  return 0;
}
