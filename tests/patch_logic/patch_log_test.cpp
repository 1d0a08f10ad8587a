// The patch log: what is refused, what is written, byte for byte.
#include <string>
#include <vector>

#include "patch/patch_log.h"
#include "patch/runtime_text.h"
#include "tests/patch_logic/installation.h"

namespace ludrimex::testing {
namespace {

class Log : public Installation {
 protected:
  // The log's part of a run for patch `versione`: judged, then recorded when accepted. The text that
  // refused it, "" when it was recorded.
  std::string install(std::int16_t versione) {
    PatchLog patch_log(sys, log);
    const auto refusal = patch_log.controlla_file(versione);
    if (!refusal) patch_log.record(versione);
    return refusal.value_or("");
  }
};

TEST_F(Log, RecordsAPatchAsOneFixedWidthLineAfterTheLastByte) {
  EXPECT_EQ(install(1), "");
  EXPECT_EQ(sys.files[log], "1         06/12/2026\r\n");  // 22 bytes
  sys.date = "6 dicembre 2026";                           // written whole, read back cut
  EXPECT_EQ(install(2), "");
  EXPECT_EQ(sys.files[log], "1         06/12/2026\r\n2         6 dicembre 2026\r\n");
  // In the code page of the log, whose columns count its characters: shown back whole.
  sys.date =
      "mar. 08 d\xC3\xA9"
      "c. 2026";
  EXPECT_EQ(install(3), "");
  EXPECT_TRUE(
      sys.files[log].ends_with("3         mar. 08 d\xE9"
                               "c. 2026\r\n"));
  EXPECT_EQ(install(3), "Hai già installato questa patch in data mar. 08 d\xC3\xA9");

  EXPECT_TRUE(sys.boxes.empty());
}

// A new record starts a line of its own: CR LF goes before it unless the log ends in CR or CR LF.
TEST_F(Log, ANewRecordAlwaysStartsALineOfItsOwn) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"0         01/01/2026\r\n", ""},     {"0         01/01/2026\r", ""}, {"0         01/01/2026", "\r\n"},
      {"0         01/01/2026\n", "\r\n"},  // a lone LF, as other editors end lines
      {"0         01/01/2026\n\n", "\r\n"},
  };
  for (const auto& [before, separator] : cases) {
    sys.files[log] = before;
    EXPECT_EQ(install(1), "") << before;
    EXPECT_EQ(sys.files[log], before + separator + "1         06/12/2026\r\n") << before;
    // and the next run sees the record
    EXPECT_NE(install(1), "") << before;
  }
}

TEST_F(Log, AnEmptyLogIsReplacedByTheNewRecordWithoutAnyCheck) {
  for (const std::string empty : {"", "\r\n\r\n", "\r\r"}) {
    sys.files[log] = empty;
    sys.calls.clear();
    EXPECT_EQ(install(9), "");
    EXPECT_EQ(sys.files[log], "9         06/12/2026\r\n");
    EXPECT_EQ(sys.calls_of({"delete_file", "write_file"}),
              std::vector<std::string>{"write_file(" + log + ")"});
  }
  EXPECT_TRUE(sys.boxes.empty());
}

TEST_F(Log, RefusesARecordedPatchNamingTheDateOfItsFirstLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"0         01/01/2026\r\n 1        06/12/2026 ore 12\r\n1         07/12/2026\r\n", "06/12/2026"},
      {"  1\r\n", ""},                             // a line without a date
      {"0\r1         06/12/2026", "06/12/2026"},   // a CR alone ends a line too
      {"2.5       05/05/2026\r\n", "05/05/2026"},  // patch 2: 2.5 rounds to the even 2
  };
  for (const auto& [before, date] : cases) {
    sys.files[log] = before;
    const std::int16_t versione = before.starts_with("2.5") ? 2 : 1;
    EXPECT_EQ(install(versione), "Hai già installato questa patch in data " + date) << before;
    EXPECT_EQ(sys.files[log], before);
  }
  EXPECT_TRUE(sys.boxes.empty());  // the run shows it
}

TEST_F(Log, JudgesAMissingPredecessorByTheLastLineOnly) {
  struct Case {
    std::string before;
    std::int16_t versione;
    std::string missing;  // empty: accepted
  };
  const std::vector<Case> cases = {
      {"1\r\n2\r\n", 4, "3"}, {"3\r\n1\r\n", 4, "3"},
      {"-1\r\n", 1, "0"},     {"1\r\n3\r\n", 4, ""},  // 2 is missing, but only the last line counts
      {"5\r\n", 3, ""},                               // an older patch
  };
  for (const auto& c : cases) {
    sys.files[log] = c.before;
    const std::string refusal = install(c.versione);
    if (c.missing.empty()) {
      EXPECT_EQ(refusal, "") << c.before;
      EXPECT_EQ(sys.files[log], c.before + std::to_string(c.versione) + "         06/12/2026\r\n");
    } else {
      EXPECT_EQ(refusal,
                "Non puoi installare questa patch perché devi prima installare la patch n. " + c.missing)
          << c.before;
      EXPECT_EQ(sys.files[log], c.before);
    }
  }
}

TEST_F(Log, AnUnreadableNumberStopsTheRunWithTheLogUnchanged) {
  const std::vector<std::pair<std::string, ErrorNumber>> cases = {
      {"abc       01/01/2026\r\n1\r\n", kTypeMismatch},  // before the match
      {"0\r\n          01/01/2026\r\n", kTypeMismatch},  // no number, no match
      {"    \r\n1\r\n", kTypeMismatch},                  // a line of spaces counts
      {"0\n1\r\n", kTypeMismatch},                       // a lone LF belongs to the line
      {"40000\r\n1\r\n", kOverflow},
  };
  for (const auto& [before, number] : cases) {
    sys.files[log] = before;
    EXPECT_EQ(error_of([&] { install(1); }), std::to_string(runtime::value(number)) + " " + log) << before;
    EXPECT_EQ(sys.files[log], before);
  }
  EXPECT_TRUE(sys.boxes.empty());
}

// 32,768 records is all the reader can hold: a full log is refused with error 6 before anything is
// written, while a patch it already records is still refused as installed.
TEST_F(Log, ReadsAtMost32768LinesLettingMessagesRunAfterEach) {
  std::string full;
  for (int k = 0; k < 32767; ++k) full += k % 2 ? "0\r\n" : "\r\n0\r\n";
  sys.files[log] = full;
  EXPECT_EQ(install(1), "");
  EXPECT_EQ(sys.calls_of({"do_events"}).size(), 32767u + 16384u);

  full = sys.files[log];  // now 32,768 records
  for (const auto& more : {std::string(), std::string("0\r\n")}) {
    sys.files[log] = full + more;
    sys.calls.clear();
    EXPECT_EQ(error_of([&] { install(2); }), "6 " + log);
    EXPECT_TRUE(sys.calls_of({"write_file", "short_date"}).empty());
    EXPECT_EQ(sys.files[log], full + more);
  }
  sys.files[log] = full;
  EXPECT_EQ(install(1), "Hai già installato questa patch in data 06/12/2026");
}

TEST(Integer16, ConvertsLikeTheRuntime) {
  const std::vector<std::pair<std::string, int>> values = {
      {"7", 7},         {"+7", 7},          {"-7", -7},           {"007", 7},    {"2.5", 2},
      {"3.5", 4},       {"-2.5", -2},       {"2.5001", 3},        {".5", 0},     {"1.", 1},
      {"32767", 32767}, {"-32768", -32768}, {"-32768.5", -32768}, {"1e3", 1000}, {"15E-1", 2},
      {"0.000", 0},     {"1e-999999999", 0}};
  for (const auto& [text, value] : values) EXPECT_EQ(to_integer16(text, ""), value) << text;

  for (const std::string text : {"", "abc", "1 2", "1e", "-", ".", "12a", "1,5", "&H10"})
    EXPECT_EQ(error_of([&] { to_integer16(text, ""); }), "13") << text;
  for (const std::string text : {"32768", "32767.5", "-32769", "99999999999999999999", "1e10", "1e30"})
    EXPECT_EQ(error_of([&] { to_integer16(text, ""); }), "6") << text;
}

}  // namespace
}  // namespace ludrimex::testing
