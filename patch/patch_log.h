#pragma once
// The patch log "patch.txt": one line for each patch installed, read and judged before the update and
// added to only after it.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "patch/system.h"

namespace ludrimex {

// One non-empty line of the patch log, cut at its fixed columns.
struct voce_patch {
  std::int16_t indice = 0;
  std::string numero;  // characters 1 to 10
  std::string data;    // characters 11 to 20
};

class PatchLog {
 public:
  PatchLog(System& system, std::string file1) : system_(system), file1_(std::move(file1)) {}

  const std::string& path() const { return file1_; }

  // Reads the log and judges patch `versione` by it: the text that refuses it when the log already
  // records it or lacks its predecessor, nothing when it may be installed. Throws RunError when the
  // log can't be read, holds a number that isn't one, or is too full to take one more record.
  std::optional<std::string> controlla_file(std::int16_t versione);

  // Makes sure, before anything else is written, that the record will not be refused once the update
  // is in place: a log found (read-only, say) is written as it is. Throws RunError as write_file does.
  void check_writable();

  // Adds the record of `versione`, dated today, to the log as controlla_file found it, in one step.
  void record(std::int16_t versione);

 private:
  void read(const std::string& bytes);

  System& system_;
  std::string file1_;
  bool found_ = false;  // the log was there
  std::string before_;  // its bytes as this run found them
  std::vector<voce_patch> elenco_patch;
};

}  // namespace ludrimex
