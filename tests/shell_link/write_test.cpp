// Shortcuts made by our writer: read back by our decoder and by lnkinfo, and saved as a whole.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "shell_link/link.h"
#include "tests/shell_link/lnk_bytes.h"
#include "tests/support/scratch_dir.h"

namespace {

using shell_link::NewLink;

struct RoundTrip {
  shell_link::Link link;
  std::map<std::string, std::string> lnkinfo;
  std::vector<std::uint8_t> bytes;
};

RoundTrip round_trip(const NewLink& written) {
  test_support::ScratchDir dir;
  const std::string path = dir / "x.lnk";
  shell_link::save(path, written);
  const std::string text = test_support::read_file(path);
  return {shell_link::load(path), lnk_test::lnkinfo(path),
          std::vector<std::uint8_t>(text.begin(), text.end())};
}

TEST(Write, EveryFieldReadsBackThroughBothReaders) {
  const std::vector<NewLink> links = {
      {"/home/anna/VeltranoCatalogo/progetto_html/Sorvanta.exe", "/home/anna/VeltranoCatalogo/progetto_html",
       "", "", 0},
      {"C:\\Programmi\\Veltrano Catalogo\\progetto_html\\Sorvanta.exe",
       "C:\\Programmi\\Veltrano Catalogo\\progetto_html", "--pagina \"listino prezzi\"",
       "C:\\Programmi\\Veltrano Catalogo\\veltrano.ico", 3},
      {"/home/Žofia/Città/目录/Sorvanta.exe", "/home/Žofia/Città/目录", "€ 10", "/home/Žofia/i.png", -2},
      {"D:\\", "D:\\", "", "", 0},
  };
  for (const NewLink& written : links) {
    SCOPED_TRACE(written.target);
    const RoundTrip read = round_trip(written);
    EXPECT_TRUE(read.link.has(shell_link::kIsUnicode));
    EXPECT_EQ(read.link.info.path(), written.target);
    EXPECT_EQ(read.link.working_directory, written.working_directory);
    EXPECT_EQ(read.link.arguments, written.arguments);
    EXPECT_EQ(read.link.icon_location, written.icon_location);
    EXPECT_EQ(read.link.icon_index, written.icon_location.empty() ? 0 : written.icon_index);
    EXPECT_EQ(read.link.show_command, shell_link::kShowNormal);
    EXPECT_EQ(read.bytes.at(0x3C), 1);  // lnkinfo does not print the show command faithfully

    EXPECT_EQ(read.lnkinfo.at("Local path"), written.target);
    EXPECT_EQ(read.lnkinfo.at("Working directory"), written.working_directory);
    EXPECT_EQ(read.lnkinfo.count("Command line arguments"), written.arguments.empty() ? 0u : 1u);
    if (!written.arguments.empty()) {
      EXPECT_EQ(read.lnkinfo.at("Command line arguments"), written.arguments);
    }
    EXPECT_EQ(read.lnkinfo.count("Icon location"), written.icon_location.empty() ? 0u : 1u);
    if (!written.icon_location.empty()) {
      EXPECT_EQ(read.lnkinfo.at("Icon location"), written.icon_location);
      EXPECT_EQ(read.lnkinfo.at("Icon index"), std::to_string(written.icon_index));
    }
  }
}

TEST(Write, TargetOutsideTheCodePageKeepsAnApproximateAnsiCopy) {
  // Readers that only know the code-page copy still find a path of the right shape.
  const auto bytes = shell_link::encode({"C:\\目录\\a.exe", "", "", "", 0});
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_NE(text.find("C:\\??\\a.exe"), std::string::npos);
  EXPECT_EQ(shell_link::decode(bytes).info.path(), "C:\\目录\\a.exe");
}

TEST(Write, MalformedUtf8IsReplacedNotPassedOn) {
  const auto link = shell_link::decode(shell_link::encode({"C:\\a\xFF.exe", "C:\\\xC3", "", "", 0}));
  EXPECT_EQ(link.info.path(), "C:\\a\uFFFD.exe");
  EXPECT_EQ(link.working_directory, "C:\\\uFFFD");
}

TEST(Write, NothingButWhatIsGiven) {
  const auto link = shell_link::decode(shell_link::encode({}));
  EXPECT_EQ(link.link_flags, static_cast<std::uint32_t>(shell_link::kIsUnicode));
  EXPECT_FALSE(link.info.has_local_path);
  EXPECT_THROW(shell_link::encode({std::string("C:\\a\0b", 6), "", "", "", 0}), std::invalid_argument);
  EXPECT_THROW(shell_link::encode({"C:\\a", std::string(70000, 'x'), "", "", 0}), std::length_error);
}

TEST(Write, SaveReplacesAWholeFileOrLeavesTheOldOne) {
  test_support::ScratchDir dir;
  const std::string path = dir / "a.lnk";
  shell_link::save(path, {"C:\\old.exe", "", "", "", 0});
  shell_link::save(path, {"C:\\new.exe", "C:\\", "", "", 0});
  EXPECT_EQ(shell_link::load(path).info.path(), "C:\\new.exe");

  EXPECT_THROW(shell_link::save(dir / "missing/a.lnk", {"C:\\x.exe", "", "", "", 0}), std::system_error);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
  if (::geteuid() != 0) {  // root writes anyway
    EXPECT_THROW(shell_link::save(path, {"C:\\other.exe", "", "", "", 0}), std::system_error);
  }
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  EXPECT_EQ(shell_link::load(path).info.path(), "C:\\new.exe");
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 1u);  // no partial file left behind
}

}  // namespace
