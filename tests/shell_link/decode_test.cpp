// Shortcut files in the shapes Windows and other tools write them, read by our decoder and, for
// comparison, by lnkinfo.
#include <gtest/gtest.h>

#include "shell_link/link.h"
#include "tests/shell_link/lnk_bytes.h"
#include "tests/support/scratch_dir.h"

namespace {

using namespace lnk_test;
using shell_link::FormatError;
using shell_link::Link;

constexpr std::uint32_t kLinkInfo = 0x2, kName = 0x4, kRelative = 0x8, kWorkDir = 0x10, kArgs = 0x20,
                        kIcon = 0x40, kUnicode = 0x80, kIdList = 0x1;

std::map<std::string, std::string> lnkinfo_of(const Bytes& bytes) {
  test_support::ScratchDir dir;
  test_support::write_file(dir / "x.lnk", std::string(bytes.begin(), bytes.end()));
  return lnkinfo(dir / "x.lnk");
}

TEST(Decode, AnsiStringsAreWindows1252) {
  // "Città" with 0xE0, the euro sign at 0x80 and a curly quote at 0x92.
  const Bytes file = header(kLinkInfo | kName | kWorkDir | kArgs | kIcon, 2) +
                     local_link_info("C:\\Citt\xE0\\Sorvanta.exe") + counted_ansi("Prezzi in \x80") +
                     counted_ansi("C:\\Citt\xE0") +
                     counted_ansi(
                         "--l\x92"
                         "altro") +
                     counted_ansi("C:\\Citt\xE0\\icona.ico") + kTerminalBlock;
  const Link link = shell_link::decode(file);
  EXPECT_FALSE(link.has(shell_link::kIsUnicode));
  EXPECT_EQ(link.info.path(), "C:\\Città\\Sorvanta.exe");
  EXPECT_EQ(link.name, "Prezzi in €");
  EXPECT_EQ(link.working_directory, "C:\\Città");
  EXPECT_EQ(link.arguments, "--l’altro");
  EXPECT_EQ(link.icon_location, "C:\\Città\\icona.ico");
  EXPECT_EQ(link.icon_index, 2);

  const auto fields = lnkinfo_of(file);
  EXPECT_EQ(fields.at("Local path"), link.info.path());
  EXPECT_EQ(fields.at("Description"), link.name);
  EXPECT_EQ(fields.at("Working directory"), link.working_directory);
  EXPECT_EQ(fields.at("Command line arguments"), link.arguments);
  EXPECT_EQ(fields.at("Icon location"), link.icon_location);
}

TEST(Decode, UnicodeStringsAndUnicodeLocalPath) {
  const std::u16string path = u"C:\\\u017Dofia\\\u76EE\u5F55\\a.exe";  // Žofia\目录 is not in the code page
  const Bytes file = header(kLinkInfo | kWorkDir | kArgs | kUnicode) +
                     local_link_info("C:\\?ofia\\??\\a.exe", &path) + counted_wide(u"C:\\\u017Dofia") +
                     counted_wide(u"\U0001F600 x") + kTerminalBlock;
  const Link link = shell_link::decode(file);
  EXPECT_EQ(link.info.local_base_path, "C:\\Žofia\\目录\\a.exe");
  EXPECT_EQ(link.working_directory, "C:\\Žofia");
  EXPECT_EQ(link.arguments, "😀 x");
  const auto fields = lnkinfo_of(file);
  EXPECT_EQ(fields.at("Local path"), link.info.path());
  EXPECT_EQ(fields.at("Working directory"), link.working_directory);
}

TEST(Decode, WithAndWithoutItemIdListAndLinkInfo) {
  const Bytes strings = counted_wide(u".\\a.txt") + counted_wide(u"C:\\test");
  const Bytes items = id_list({hex("1F 50 E0 4F D0 20 EA 3A 69 10 A2 D8 08 00 2B 30 30 9D"), raw("/C:\\")});

  // Item-ID list only: no file-system path in LinkInfo, so only the relative path tells the target.
  const Link ids_only =
      shell_link::decode(header(kIdList | kRelative | kWorkDir | kUnicode) + items + strings);
  EXPECT_FALSE(ids_only.info.has_local_path);
  EXPECT_EQ(ids_only.info.path(), "");
  EXPECT_EQ(ids_only.relative_path, ".\\a.txt");
  EXPECT_EQ(ids_only.working_directory, "C:\\test");

  const Link both = shell_link::decode(header(kIdList | kLinkInfo | kRelative | kWorkDir | kUnicode) + items +
                                       local_link_info("C:\\test\\a.txt") + strings + kTerminalBlock);
  EXPECT_EQ(both.info.path(), "C:\\test\\a.txt");
  EXPECT_EQ(both.working_directory, "C:\\test");

  const Link neither = shell_link::decode(header(kRelative | kWorkDir | kUnicode) + strings);
  EXPECT_EQ(neither.info.path(), "");
  EXPECT_EQ(neither.relative_path, ".\\a.txt");

  // A link told to ignore its LinkInfo has no path from it.
  const Link ignored =
      shell_link::decode(header(kLinkInfo | shell_link::kForceNoLinkInfo | kWorkDir | kUnicode) +
                         local_link_info("C:\\test\\a.txt") + counted_wide(u"C:\\test"));
  EXPECT_EQ(ignored.info.path(), "");
  EXPECT_EQ(ignored.working_directory, "C:\\test");
}

TEST(Decode, NetworkPath) {
  const Bytes file = header(kLinkInfo | kWorkDir | kUnicode) +
                     network_link_info("\\\\server\\share", "Z:", "catalogo\\Sorvanta.exe") +
                     counted_wide(u"\\\\server\\share\\catalogo") + kTerminalBlock;
  const Link link = shell_link::decode(file);
  EXPECT_TRUE(link.info.has_network_path);
  EXPECT_FALSE(link.info.has_local_path);
  EXPECT_EQ(link.info.net_name, "\\\\server\\share");
  EXPECT_EQ(link.info.device_name, "Z:");
  EXPECT_EQ(link.info.path(), "\\\\server\\share\\catalogo\\Sorvanta.exe");
  EXPECT_EQ(lnkinfo_of(file).at("Network path"), link.info.path());
}

TEST(Decode, DriveRoot) {
  const Bytes file = header(kLinkInfo | kWorkDir | kUnicode) + local_link_info("D:\\") +
                     counted_wide(u"D:\\") + kTerminalBlock;
  const Link link = shell_link::decode(file);
  EXPECT_EQ(link.info.path(), "D:\\");
  EXPECT_EQ(link.working_directory, "D:\\");
  EXPECT_EQ(link.info.drive_serial_number, 0x1234ABCDu);
  const auto fields = lnkinfo_of(file);
  EXPECT_EQ(fields.at("Local path"), "D:\\");
  EXPECT_EQ(fields.at("Drive serial number"), "0x1234abcd");
}

TEST(Decode, EmptyStringsAndNoExtraData) {
  const Link link =
      shell_link::decode(header(kWorkDir | kArgs | kUnicode) + counted_wide(u"") + counted_wide(u""));
  EXPECT_EQ(link.working_directory, "");
  EXPECT_EQ(link.arguments, "");
}

// Structures whose declared sizes or offsets point outside the file or outside their parent.
TEST(Decode, HostileSizesAndOffsetsFailCleanly) {
  const Bytes head = header(kLinkInfo | kWorkDir | kUnicode);
  const Bytes info = local_link_info("C:\\a");
  const Bytes tail = counted_wide(u"C:\\") + kTerminalBlock;
  auto with_u32_at = [](Bytes bytes, std::size_t at, std::uint32_t value) {
    const Bytes v = u32(value);
    std::copy(v.begin(), v.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    return bytes;
  };
  ASSERT_NO_THROW(shell_link::decode(head + info + tail));

  const std::vector<std::pair<const char*, Bytes>> hostile = {
      {"LinkInfo larger than the file", head + with_u32_at(info, 0, 0xFFFFFFF0) + tail},
      {"LinkInfo smaller than its header", head + with_u32_at(info, 0, 8) + tail},
      {"LinkInfo header larger than LinkInfo", head + with_u32_at(info, 4, 0x400) + tail},
      {"VolumeID offset past LinkInfo", head + with_u32_at(info, 12, 0x1000) + tail},
      {"local path offset past LinkInfo", head + with_u32_at(info, 16, 0x7FFFFFFF) + tail},
      {"suffix offset past LinkInfo", head + with_u32_at(info, 24, 0xFFFFFFFF) + tail},
      {"VolumeID larger than LinkInfo", head + with_u32_at(info, 0x1C, 0x1000) + tail},
      {"VolumeID label offset past VolumeID", head + with_u32_at(info, 0x1C + 12, 0x500) + tail},
      {"string count past the end", head + info + u16(0xFFFF) + wide(u"C:")},
      {"item-ID list past the end", header(kIdList) + u16(0x100) + Bytes(10, 1)},
      {"item larger than its list", header(kIdList) + u16(6) + u16(0x40) + u16(0) + u16(0)},
      {"item of one byte", header(kIdList) + u16(4) + u16(1) + u16(0)},
      {"item-ID list without terminator", header(kIdList) + u16(4) + u16(4) + u16(7)},
      {"network link offset past LinkInfo",
       head + with_u32_at(network_link_info("\\\\s\\x", "Z:", ""), 20, 0x9999) + tail},
      {"net name offset past its structure",
       head + with_u32_at(network_link_info("\\\\s\\x", "Z:", ""), 0x1C + 8, 0x80) + tail},
  };
  for (const auto& [what, bytes] : hostile) EXPECT_THROW(shell_link::decode(bytes), FormatError) << what;

  // A path without its terminator: the last byte of the path becomes the last byte of LinkInfo.
  Bytes unterminated = info;
  unterminated.resize(unterminated.size() - 1);  // drop the suffix
  unterminated.back() = 'x';                     // and the path's NUL
  unterminated = with_u32_at(unterminated, 0, static_cast<std::uint32_t>(unterminated.size()));
  unterminated = with_u32_at(unterminated, 24, 0x1C + 0x11);  // suffix offset onto the path
  EXPECT_THROW(shell_link::decode(head + unterminated + tail), FormatError);
}

TEST(Decode, MissingOrUnreadableFile) {
  test_support::ScratchDir dir;
  EXPECT_THROW(shell_link::load(dir / "none.lnk"), std::system_error);
  EXPECT_THROW(shell_link::load(dir.path().string()), std::system_error);
  test_support::write_file(dir / "empty.lnk", "");
  EXPECT_THROW(shell_link::load(dir / "empty.lnk"), FormatError);
  test_support::write_file(dir / "huge.lnk", std::string(3 << 20, '\x4C'));
  EXPECT_THROW(shell_link::load(dir / "huge.lnk"), FormatError);
}

}  // namespace
