// The link object over our .lnk reader: loading, and how each query fills the caller's buffer.
#include <sys/stat.h>

#include <algorithm>
#include <array>

#include <gtest/gtest.h>

#include "patch/posix/platform_system.h"
#include "patch/posix/shell_link.h"
#include "shell_link/link.h"
#include "tests/support/scratch_dir.h"

namespace {

using ludrimex::failed;
using test_support::ScratchDir;

using Buffer = std::array<char, 255>;

Buffer spaces() {
  Buffer buffer;
  buffer.fill(' ');
  return buffer;
}

// What a query left in a 255-byte buffer of spaces, up to the NUL; and whether the rest is untouched.
std::string text_in(const Buffer& buffer) {
  const auto nul = std::find(buffer.begin(), buffer.end(), '\0');
  EXPECT_NE(nul, buffer.end());
  EXPECT_TRUE(
      std::all_of(nul == buffer.end() ? nul : nul + 1, buffer.end(), [](char c) { return c == ' '; }));
  return std::string(buffer.begin(), nul);
}

class LinkObject : public ::testing::Test {
 protected:
  ScratchDir dir;
  ludrimex::stand_in::PosixSystem system;
  std::unique_ptr<ludrimex::ShellLink> link = system.create_link_object();

  std::string save(const shell_link::NewLink& value) {
    shell_link::save(dir / "x.lnk", value);
    return dir.path().string() + "\\x.lnk";  // as the installer names it
  }
};

TEST_F(LinkObject, EveryQueryOfALoadedShortcut) {
  ASSERT_FALSE(failed(link->load(save({"/home/anna/Cat/progetto_html/Sorvanta.exe",
                                       "/home/anna/Cat/progetto_html", "--x", "/home/anna/Cat/v.ico", 2}),
                                 0)));
  Buffer buffer = spaces();
  EXPECT_FALSE(failed(link->get_path(buffer, 2)));
  EXPECT_EQ(text_in(buffer), "/home/anna/Cat/progetto_html/Sorvanta.exe");
  buffer = spaces();
  EXPECT_FALSE(failed(link->get_working_directory(buffer)));
  EXPECT_EQ(text_in(buffer), "/home/anna/Cat/progetto_html");
  buffer = spaces();
  EXPECT_FALSE(failed(link->get_arguments(buffer)));
  EXPECT_EQ(text_in(buffer), "--x");
  buffer = spaces();
  EXPECT_FALSE(failed(link->get_description(buffer)));
  EXPECT_EQ(text_in(buffer), "");
  std::uint16_t hotkey = 99;
  EXPECT_FALSE(failed(link->get_hotkey(hotkey)));
  EXPECT_EQ(hotkey, 0);
  std::int32_t index = 0;
  buffer = spaces();
  EXPECT_FALSE(failed(link->get_icon_location(buffer, index)));
  EXPECT_EQ(text_in(buffer), "/home/anna/Cat/v.ico");
  EXPECT_EQ(index, 2);
  EXPECT_FALSE(failed(link->get_id_list()));
  std::int32_t show = 0;
  EXPECT_FALSE(failed(link->get_show_cmd(show)));
  EXPECT_EQ(show, 1);
}

TEST_F(LinkObject, LoadFailsOnAMissingFileOrOneThatIsNoShortcut) {
  EXPECT_TRUE(failed(link->load(dir / "none.lnk", 0)));
  EXPECT_TRUE(failed(link->load(dir.path().string() + "\\missing\\x.lnk", 0)));
  EXPECT_TRUE(failed(link->load(dir.path().string(), 0)));
  ASSERT_EQ(::mkfifo((dir / "fifo.lnk").c_str(), 0600), 0);  // refused at once, never waited on
  EXPECT_TRUE(failed(link->load(dir / "fifo.lnk", 0)));
  test_support::write_file(dir / "text.lnk", "[InternetShortcut]\r\nURL=https://example.com/\r\n");
  EXPECT_TRUE(failed(link->load(dir / "text.lnk", 0)));
  test_support::write_file(dir / "short.lnk", std::string("\x4C\0\0\0", 4));
  EXPECT_TRUE(failed(link->load(dir / "short.lnk", 0)));
}

TEST_F(LinkObject, ALongValueIsCutToTheBufferOnACharacterBoundary) {
  const std::string folder = "/" + std::string(300, 'a');
  ASSERT_FALSE(failed(link->load(save({"/x.exe", folder, std::string(253, 'b') + "è", "", 0}), 0)));
  Buffer buffer = spaces();
  EXPECT_FALSE(failed(link->get_working_directory(buffer)));
  EXPECT_EQ(std::string(buffer.data()), folder.substr(0, 254));
  EXPECT_EQ(buffer[254], '\0');
  // The two bytes of "è" would need 255 bytes with the NUL: it is left out whole, not cut in half.
  buffer = spaces();
  EXPECT_FALSE(failed(link->get_arguments(buffer)));
  EXPECT_EQ(std::string(buffer.data()), std::string(253, 'b'));
  EXPECT_EQ(buffer[254], ' ');

  std::array<char, 4> small;
  small.fill('#');
  EXPECT_FALSE(failed(link->get_path(small, 0)));
  EXPECT_EQ(std::string(small.data(), 4), std::string("/x.\0", 4));
  EXPECT_TRUE(failed(link->get_arguments(std::span<char>())));
}

TEST_F(LinkObject, TargetFallsBackToTheRelativePathThenToNothing) {
  // No LinkInfo, only a relative path: a hand-made file (our writer always has a target).
  const std::vector<std::uint8_t> relative_only = [] {
    auto bytes = shell_link::encode({});
    bytes[0x14] |= shell_link::kHasRelativePath;
    // Replace the terminal block with the count-prefixed UTF-16 string ".\a.exe", then put it back.
    bytes.resize(bytes.size() - 4);
    const std::string relative("\x07\0.\0\\\0a\0.\0e\0x\0e\0\0\0\0\0", 20);
    bytes.insert(bytes.end(), relative.begin(), relative.end());
    return bytes;
  }();
  test_support::write_file(dir / "rel.lnk", std::string(relative_only.begin(), relative_only.end()));
  ASSERT_FALSE(failed(link->load(dir / "rel.lnk", 0)));
  Buffer buffer = spaces();
  EXPECT_FALSE(failed(link->get_path(buffer, 2)));
  EXPECT_EQ(text_in(buffer), ".\\a.exe");

  shell_link::save(dir / "none.lnk", {"", "/wd", "", "", 0});
  ASSERT_FALSE(failed(link->load(dir / "none.lnk", 0)));
  buffer = spaces();
  EXPECT_FALSE(failed(link->get_path(buffer, 2)));  // no file-system target is no failure
  EXPECT_EQ(text_in(buffer), "");
}

}  // namespace
