// The program's own folder, and libraries released by their owner.
#include <filesystem>

#include <gtest/gtest.h>

#include "patch/posix/platform_system.h"

namespace {

TEST(PosixSystem, AppPathIsTheRunningProgramsFolder) {
  const auto system = ludrimex::make_platform_system();
  const std::string folder = system->app_path();
  EXPECT_EQ(folder, std::filesystem::canonical("/proc/self/exe").parent_path().string());
  EXPECT_FALSE(folder.ends_with('/'));
  EXPECT_TRUE(std::filesystem::exists(folder + "/STKIT432.so"));  // shipped beside the programs
}

TEST(PosixSystem, ALoadedLibraryIsFreedByItsOwner) {
  const auto system = ludrimex::make_platform_system();
  ludrimex::Library library = system->load_library("STKIT432");
  ASSERT_TRUE(library);
  ludrimex::Library moved = std::move(library);
  EXPECT_FALSE(library);  // NOLINT(bugprone-use-after-move): what a move leaves behind is the point
  EXPECT_TRUE(moved);
  moved.reset();
  EXPECT_FALSE(moved);
}

// The toolkit libraries take UTF-8: any valid text without a NUL that a path can hold.
TEST(PosixSystem, TheToolkitAcceptsValidUtf8PathsOnly) {
  const auto system = ludrimex::make_platform_system();
  EXPECT_TRUE(system->toolkit_accepts("/home/anna/Caff\xC3\xA8 \xE2\x82\xAC\xF0\x9F\x98\x80/progetto_html"));
  EXPECT_TRUE(system->toolkit_accepts(""));
  for (const std::string& text :
       {std::string("/x\xC3"), std::string("/x\xC0\xAF"), std::string("a\0b", 3), std::string(5000, 'x')})
    EXPECT_FALSE(system->toolkit_accepts(text)) << text.size();
}

}  // namespace
