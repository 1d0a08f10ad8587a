// The worked example of the published shell link format: a shortcut to C:\test\a.txt made by
// Windows, with an item-ID list, LinkInfo, two strings and a tracker block.
#include <gtest/gtest.h>

#include "shell_link/link.h"
#include "tests/shell_link/lnk_bytes.h"

namespace {

using lnk_test::Bytes;

const Bytes kExample = lnk_test::hex(R"(
  4C 00 00 00 01 14 02 00 00 00 00 00 C0 00 00 00  00 00 00 46 9B 00 08 00 20 00 00 00 D0 E9 EE F2
  15 15 C9 01 D0 E9 EE F2 15 15 C9 01 D0 E9 EE F2  15 15 C9 01 00 00 00 00 00 00 00 00 01 00 00 00
  00 00 00 00 00 00 00 00 00 00 00 00 BD 00 14 00  1F 50 E0 4F D0 20 EA 3A 69 10 A2 D8 08 00 2B 30
  30 9D 19 00 2F 43 3A 5C 00 00 00 00 00 00 00 00  00 00 00 00 00 00 00 00 00 00 00 46 00 31 00 00
  00 00 00 2C 39 69 A3 10 00 74 65 73 74 00 00 32  00 07 00 04 00 EF BE 2C 39 65 A3 2C 39 69 A3 26
  00 00 00 03 1E 00 00 00 00 F5 1E 00 00 00 00 00  00 00 00 00 00 74 00 65 00 73 00 74 00 00 00 14
  00 48 00 32 00 00 00 00 00 2C 39 69 A3 20 00 61  2E 74 78 74 00 34 00 07 00 04 00 EF BE 2C 39 69
  A3 2C 39 69 A3 26 00 00 00 2D 6E 00 00 00 00 96  01 00 00 00 00 00 00 00 00 00 00 61 00 2E 00 74
  00 78 00 74 00 00 00 14 00 00 00 3C 00 00 00 1C  00 00 00 01 00 00 00 1C 00 00 00 2D 00 00 00 00
  00 00 00 3B 00 00 00 11 00 00 00 03 00 00 00 81  8A 7A 30 10 00 00 00 00 43 3A 5C 74 65 73 74 5C
  61 2E 74 78 74 00 00 07 00 2E 00 5C 00 61 00 2E  00 74 00 78 00 74 00 07 00 43 00 3A 00 5C 00 74
  00 65 00 73 00 74 00 60 00 00 00 03 00 00 A0 58  00 00 00 00 00 00 00 63 68 72 69 73 2D 78 70 73
  00 00 00 00 00 00 00 40 78 C7 94 47 FA C7 46 B3  56 5C 2D C6 B6 D1 15 EC 46 CD 7B 22 7F DD 11 94
  99 00 13 72 16 87 4A 40 78 C7 94 47 FA C7 46 B3  56 5C 2D C6 B6 D1 15 EC 46 CD 7B 22 7F DD 11 94
  99 00 13 72 16 87 4A 00 00 00 00
)");

// Where the string data ends and the extra data (which nothing here reads) begins.
constexpr std::size_t kEndOfStrings = 0x167;

void expect_example_fields(const shell_link::Link& link) {
  EXPECT_EQ(link.link_flags, 0x0008009Bu);
  EXPECT_TRUE(link.has(shell_link::kHasLinkTargetIdList));
  EXPECT_TRUE(link.has(shell_link::kIsUnicode));
  EXPECT_EQ(link.file_attributes, 0x20u);
  EXPECT_EQ(link.creation_time, 0x01C91515F2EEE9D0u);
  EXPECT_EQ(link.access_time, 0x01C91515F2EEE9D0u);
  EXPECT_EQ(link.write_time, 0x01C91515F2EEE9D0u);
  EXPECT_EQ(link.file_size, 0u);
  EXPECT_EQ(link.icon_index, 0);
  EXPECT_EQ(link.show_command, 1u);
  EXPECT_EQ(link.hot_key, 0u);

  EXPECT_TRUE(link.info.has_local_path);
  EXPECT_EQ(link.info.drive_type, 3u);
  EXPECT_EQ(link.info.drive_serial_number, 0x307A8A81u);
  EXPECT_EQ(link.info.volume_label, "");
  EXPECT_EQ(link.info.local_base_path, "C:\\test\\a.txt");
  EXPECT_EQ(link.info.common_path_suffix, "");
  EXPECT_FALSE(link.info.has_network_path);
  EXPECT_EQ(link.info.path(), "C:\\test\\a.txt");
  EXPECT_EQ(link.info.path(true), "C:\\test\\a.txt");

  EXPECT_EQ(link.name, "");
  EXPECT_EQ(link.relative_path, ".\\a.txt");
  EXPECT_EQ(link.working_directory, "C:\\test");
  EXPECT_EQ(link.arguments, "");
  EXPECT_EQ(link.icon_location, "");
}

TEST(DocumentedExample, EveryFieldReadsAsDocumented) {
  ASSERT_EQ(kExample.size(), 0x1CBu);
  expect_example_fields(shell_link::decode(kExample));
}

TEST(DocumentedExample, EveryCutBeforeTheStringsEndFailsCleanly) {
  for (std::size_t size = 0; size < kEndOfStrings; ++size) {
    const Bytes cut(kExample.begin(), kExample.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_THROW(shell_link::decode(cut), shell_link::FormatError) << "cut at " << size;
  }
  // The extra data is not needed: a file cut inside it still yields every field.
  for (std::size_t size = kEndOfStrings; size <= kExample.size(); ++size) {
    const Bytes cut(kExample.begin(), kExample.begin() + static_cast<std::ptrdiff_t>(size));
    expect_example_fields(shell_link::decode(cut));
  }
}

// Any single damaged byte gives either a decoded link or a FormatError, never a read out of bounds
// (which the sanitizer build would catch).
TEST(DocumentedExample, DamagedBytesNeverReadOutOfBounds) {
  int rejected = 0;
  for (std::size_t at = 0; at < kExample.size(); ++at) {
    for (std::uint8_t value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
      Bytes damaged = kExample;
      damaged[at] = value;
      try {
        (void)shell_link::decode(damaged);
      } catch (const shell_link::FormatError&) {
        ++rejected;
      }
    }
  }
  EXPECT_GT(rejected, 0);
}

TEST(DocumentedExample, WrongHeaderSizeOrClassIsNotAShortcut) {
  Bytes bad_size = kExample;
  bad_size[0] = 0x4D;
  EXPECT_THROW(shell_link::decode(bad_size), shell_link::FormatError);
  Bytes bad_class = kExample;
  bad_class[4] = 0x02;
  EXPECT_THROW(shell_link::decode(bad_class), shell_link::FormatError);
  EXPECT_THROW(shell_link::decode(lnk_test::raw("[InternetShortcut]\r\nURL=http://example.com/\r\n")),
               shell_link::FormatError);
}

}  // namespace
