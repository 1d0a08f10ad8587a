// Any bytes as patch.txt and any patch number: controlla_file refuses, records or stops with an error
// as the log says, and never touches the log except by appending the one new line.
//
// Input: two bytes of the patch number (little-endian), one byte telling whether the log exists,
// then the log's bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "patch/errors.h"
#include "patch/form1.h"
#include "patch/runtime_text.h"
#include "tests/fuzz/require.h"
#include "tests/patch_logic/fake_system.h"

namespace {

using ludrimex::Form1;
using ludrimex::ProgramEnd;
using ludrimex::RunError;
using ludrimex::testing::FakeSystem;

const std::string kFolder = R"(C:\Cat\progetto_html)";
const std::string kLog = kFolder + R"(\patch.txt)";
const std::string kAlready = "Hai già installato questa patch in data ";
const std::string kPredecessor = "Non puoi installare questa patch perché devi prima installare la patch n. ";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const auto versione = static_cast<std::int16_t>(data[0] | (data[1] << 8));
  const bool exists = (data[2] & 1) != 0;
  const std::string log(reinterpret_cast<const char*>(data + 3), size - 3);

  FakeSystem sys;
  sys.folders.insert(kFolder);
  if (exists) sys.files[kLog] = log;
  Form1 form(sys);

  std::string field = std::to_string(versione);
  field.append(10 - field.size(), ' ');
  const std::string line = field + sys.date + "\r\n";
  try {
    form.controlla_file(kLog, versione);
  } catch (const ProgramEnd& end) {
    // Refused: one information box, the log as it was.
    require(end.status == ludrimex::kRefused);
    require(sys.boxes.size() == 1 && sys.boxes[0].title == "Dastrel" && sys.boxes[0].style == 64);
    require(sys.boxes[0].text.starts_with(kAlready) || sys.boxes[0].text.starts_with(kPredecessor));
    require(exists && sys.files.at(kLog) == log);
    return 0;
  } catch (const RunError& error) {
    // A number that is no number or does not fit, or too many lines: no box, the log as it was.
    require(error.number() == ludrimex::kTypeMismatch || error.number() == ludrimex::kOverflow);
    require(sys.boxes.empty() && exists && sys.files.at(kLog) == log);
    return 0;
  }
  require(sys.boxes.empty());
  const std::string& after = sys.files.at(kLog);
  if (!exists || form.elenco_patch.empty()) {
    require(after == line);  // created, or replaced by its one record
    return 0;
  }
  // Written after the old bytes, with a line break first unless the log ends in CR or CR LF.
  const std::string joint = log.ends_with('\r') || log.ends_with("\r\n") ? "" : "\r\n";
  require(after == log + joint + line);
  // Accepted: no line carries this number, and the last one is at least its predecessor.
  for (const auto& voce : form.elenco_patch)
    require(ludrimex::to_integer16(ludrimex::trim_spaces(voce.numero), kLog) != versione);
  require(versione - 1 <=
          ludrimex::to_integer16(ludrimex::trim_spaces(form.elenco_patch.back().numero), kLog));
  return 0;
}
