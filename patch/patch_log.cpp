#include "patch/patch_log.h"

#include "patch/errors.h"
#include "patch/runtime_text.h"

namespace ludrimex {
namespace {

constexpr std::size_t kMaxRecords = 32768;  // indice is a 16-bit integer

}  // namespace

std::optional<std::string> PatchLog::controlla_file(std::int16_t versione) {
  elenco_patch.clear();
  before_.clear();
  found_ = false;
  switch (system_.file_kind(file1_)) {
    case FileKind::kMissing:
      return std::nullopt;
    case FileKind::kRegular:
      break;
    default:  // a folder, FIFO or device: reading it would fail or wait for ever
      throw RunError(kPathFileAccessError, file1_);
  }
  found_ = true;
  before_ = system_.read_file(file1_);
  read(before_);
  if (elenco_patch.empty()) return std::nullopt;  // replaced by the new record, without any check
  for (const auto& voce : elenco_patch) {
    if (to_integer16(trim_spaces(voce.numero), file1_) == versione)
      return "Hai già installato questa patch in data " + system_.from_log_text(trim_spaces(voce.data));
  }
  const int ultima = to_integer16(trim_spaces(elenco_patch.back().numero), file1_);
  if (versione - 1 > ultima)
    return "Non puoi installare questa patch perché devi prima installare la patch n. " +
           std::to_string(versione - 1);
  // One more record could not be read back: the next run would stop on it.
  if (elenco_patch.size() == kMaxRecords) throw RunError(kOverflow, file1_);
  return std::nullopt;
}

void PatchLog::check_writable() {
  // A missing log is made in the folder the launcher goes to first.
  if (found_) system_.write_file(file1_, before_);
}

void PatchLog::record(std::int16_t versione) {
  std::string campo = std::to_string(versione);
  campo.append(10 - campo.size(), ' ');
  std::string bytes = elenco_patch.empty() ? std::string() : before_;
  // The new record starts a line of its own: a lone LF does not end a line for the reader.
  if (!bytes.empty() && !bytes.ends_with('\r') && !bytes.ends_with("\r\n")) bytes += "\r\n";
  // In the log's code page: its columns count that code page's characters.
  bytes += campo + system_.to_log_text(system_.short_date()) + "\r\n";
  system_.write_file(file1_, bytes);
}

void PatchLog::read(const std::string& bytes) {
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    // A line ends at CR or CR LF; a lone LF belongs to the line.
    const auto end = bytes.find('\r', pos);
    const auto line = bytes.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    pos = end == std::string::npos ? bytes.size() : end + 1;
    if (pos < bytes.size() && end != std::string::npos && bytes[pos] == '\n') ++pos;
    system_.do_events();
    if (line.empty()) continue;
    if (elenco_patch.size() == kMaxRecords) throw RunError(kOverflow, file1_);
    elenco_patch.push_back({static_cast<std::int16_t>(elenco_patch.size()), line.substr(0, 10),
                            line.size() > 10 ? line.substr(10, 10) : std::string()});
  }
}

}  // namespace ludrimex
