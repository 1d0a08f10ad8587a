// The stand-in toolkit libraries as the installer calls them: loaded with dlopen, each writing a real
// shortcut into the user's menu folder.
#include <dlfcn.h>

#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "shell_link/link.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/scratch_home.h"
#include "toolkit/entry.h"

namespace {

namespace fs = std::filesystem;
using test_support::ScopedEnv;
using test_support::ScratchDir;

struct Closer {
  void operator()(void* handle) const { ::dlclose(handle); }
};

class Toolkit : public ::testing::Test, protected test_support::ScratchHome {
 protected:
  void SetUp() override { fs::create_directories(programs / "Veltrano Catalogo"); }

  template <typename Function>
  Function entry(const char* file) {
    auto& handle = handles_.emplace_back(::dlopen(file, RTLD_NOW | RTLD_LOCAL));
    EXPECT_TRUE(handle) << ::dlerror();
    return reinterpret_cast<Function>(::dlsym(handle.get(), "fCreateShellLink"));
  }

  shell_link::Link read(const fs::path& link) { return shell_link::load(link.string()); }

 private:
  std::vector<std::unique_ptr<void, Closer>> handles_;
};

TEST_F(Toolkit, TheThreeLibrariesWriteTheSameShortcut) {
  const char* target = "C:\\Cat\\progetto_html\\Sorvanta.exe";
  EXPECT_EQ(entry<toolkit::CreateShellLink>(STKIT432_FILE)(".", "Quattro", target, ""), 1);
  EXPECT_EQ(entry<toolkit::CreateShellLink>(VB5STKIT_FILE)(".", "Cinque", target, ""), 1);
  EXPECT_EQ(entry<toolkit::CreateShellLinkUnder>(VB6STKIT_FILE)(".", "Sei", target, "", -1, "$(Programs)"),
            1);
  for (const char* title : {"Quattro", "Cinque", "Sei"}) {
    const shell_link::Link link = read(programs / (std::string(title) + ".lnk"));
    EXPECT_EQ(link.info.path(), "C:/Cat/progetto_html/Sorvanta.exe") << title;
    EXPECT_EQ(link.working_directory, "C:/Cat/progetto_html") << title;
    EXPECT_EQ(link.arguments, "") << title;
    EXPECT_EQ(link.show_command, 1u) << title;
  }
}

TEST_F(Toolkit, GroupsTargetsAndArguments) {
  const auto create = entry<toolkit::CreateShellLink>(STKIT432_FILE);
  EXPECT_EQ(create("Veltrano Catalogo", "Veltrano Catalogo", "/home/anna/Città/progetto_html/Sorvanta.exe",
                   "-a \\b"),
            1);
  const shell_link::Link in_group = read(programs / "Veltrano Catalogo/Veltrano Catalogo.lnk");
  EXPECT_EQ(in_group.info.path(), "/home/anna/Città/progetto_html/Sorvanta.exe");
  EXPECT_EQ(in_group.working_directory, "/home/anna/Città/progetto_html");
  EXPECT_EQ(in_group.arguments, "-a \\b");  // arguments are no path: kept as given

  EXPECT_EQ(create(".", "Bare", "Sorvanta.exe", ""), 1);
  EXPECT_EQ(read(programs / "Bare.lnk").working_directory, "");
  EXPECT_EQ(create(".", "Root", "\\Sorvanta.exe", ""), 1);
  EXPECT_EQ(read(programs / "Root.lnk").working_directory, "/");

  // A shortcut of the same name is replaced.
  EXPECT_EQ(create(".", "Bare", "/opt/new/Sorvanta.exe", ""), 1);
  EXPECT_EQ(read(programs / "Bare.lnk").info.path(), "/opt/new/Sorvanta.exe");
}

TEST_F(Toolkit, FollowsXdgDataHome) {
  ScratchDir data;
  ScopedEnv xdg("XDG_DATA_HOME", data.path().string());
  fs::create_directories(data.path() / "applications");
  EXPECT_EQ(entry<toolkit::CreateShellLink>(STKIT432_FILE)(".", "X", "/a/b.exe", ""), 1);
  EXPECT_TRUE(fs::exists(data.path() / "applications/X.lnk"));
  EXPECT_FALSE(fs::exists(programs / "X.lnk"));
}

TEST_F(Toolkit, FailuresReturnZeroAndWriteNothing) {
  const auto create = entry<toolkit::CreateShellLink>(STKIT432_FILE);
  EXPECT_EQ(create("Missing Group", "X", "/a/b.exe", ""), 0);
  EXPECT_EQ(create(".", "", "/a/b.exe", ""), 0);
  EXPECT_EQ(create(".", "a/b", "/a/b.exe", ""), 0);
  EXPECT_EQ(create(".", "a\\b", "/a/b.exe", ""), 0);
  EXPECT_EQ(create(nullptr, "X", "/a/b.exe", ""), 0);
  fs::create_directory(programs / "Taken.lnk");  // a folder where the file should go
  EXPECT_EQ(create(".", "Taken", "/a/b.exe", ""), 0);

  const auto create_under = entry<toolkit::CreateShellLinkUnder>(VB6STKIT_FILE);
  EXPECT_EQ(create_under(".", "AllUsers", "/a/b.exe", "", 0, "$(Programs)"), 0);
  EXPECT_EQ(create_under(".", "Elsewhere", "/a/b.exe", "", -1, "$(AppPath)"), 0);
  EXPECT_EQ(create_under(".", "NoParent", "/a/b.exe", "", -1, nullptr), 0);

  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& item : fs::directory_iterator(programs)) ++entries;
  EXPECT_EQ(entries, 2u);  // the group and the folder made above, nothing else
}

TEST_F(Toolkit, TheFolderFormTakesASubfolderOfPrograms) {
  EXPECT_EQ(entry<toolkit::CreateShellLinkUnder>(VB6STKIT_FILE)(".", "Sub", "/a/b.exe", "", -1,
                                                                "$(programs)\\Veltrano Catalogo"),
            1);
  EXPECT_TRUE(fs::exists(programs / "Veltrano Catalogo/Sub.lnk"));
}

}  // namespace
