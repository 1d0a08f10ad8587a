#include "patch/errors.h"
#include "patch/form1.h"
#include "patch/runtime_text.h"

namespace ludrimex {
namespace {

constexpr std::size_t kMaxRecords = 32768;  // indice is a 16-bit integer

}  // namespace

void Form1::controlla_file(const std::string& file1, std::int16_t versione) {
  check_log(file1, versione);
  record_patch(file1, versione);
}

void Form1::check_log(const std::string& file1, std::int16_t versione) {
  elenco_patch.clear();
  log_before_ = LogBefore{file1, false, {}, false};
  switch (system_.file_kind(file1)) {
    case FileKind::kMissing:
      return;
    case FileKind::kRegular:
      break;
    default:  // a folder, FIFO or device: reading it would fail or wait for ever
      throw RunError(kPathFileAccessError, file1);
  }
  log_before_->existed = true;
  log_before_->bytes = system_.read_file(file1);
  read_log(file1, log_before_->bytes);
  if (elenco_patch.empty()) return;  // replaced by the new record, without any check
  for (const auto& voce : elenco_patch) {
    if (to_integer16(trim_spaces(voce.numero), file1) == versione)
      end_with("Hai già installato questa patch in data " + trim_spaces(voce.data),
               kMbOk | kMbIconInformation, kRefused);
  }
  const int ultima = to_integer16(trim_spaces(elenco_patch.back().numero), file1);
  if (versione - 1 > ultima) {
    end_with("Non puoi installare questa patch perché devi prima installare la patch n. " +
                 std::to_string(versione - 1),
             kMbOk | kMbIconInformation, kRefused);
  }
  // One more record could not be read back: the next run would stop on it.
  if (elenco_patch.size() == kMaxRecords) throw RunError(kOverflow, file1);
}

void Form1::record_patch(const std::string& file1, std::int16_t versione) {
  std::string campo = std::to_string(versione);
  campo.append(10 - campo.size(), ' ');
  std::string bytes = elenco_patch.empty() ? std::string() : log_before_->bytes;
  // The new record starts a line of its own: a lone LF does not end a line for the reader.
  if (!bytes.empty() && !bytes.ends_with('\r') && !bytes.ends_with("\r\n")) bytes += "\r\n";
  bytes += campo + system_.short_date() + "\r\n";
  system_.write_file(file1, bytes);
  log_before_->written = true;
}

void Form1::read_log(const std::string& file1, const std::string& bytes) {
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    // A line ends at CR or CR LF; a lone LF belongs to the line.
    const auto end = bytes.find('\r', pos);
    const auto line = bytes.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    pos = end == std::string::npos ? bytes.size() : end + 1;
    if (pos < bytes.size() && end != std::string::npos && bytes[pos] == '\n') ++pos;
    system_.do_events();
    if (line.empty()) continue;
    if (elenco_patch.size() == kMaxRecords) throw RunError(kOverflow, file1);
    elenco_patch.push_back({static_cast<std::int16_t>(elenco_patch.size()), line.substr(0, 10),
                            line.size() > 10 ? line.substr(10, 10) : std::string()});
  }
}

}  // namespace ludrimex
