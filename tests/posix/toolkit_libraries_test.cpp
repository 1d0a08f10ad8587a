// dlopen of the real toolkit libraries, each in a folder of its own: STKIT432.so beside this test
// program, VB6STKIT.so on the loader's search path (LD_LIBRARY_PATH, set for these tests), and
// VB5STKIT.so only in its own folder, which the loader never searches.
#include <dlfcn.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include <gtest/gtest.h>

#include "patch/errors.h"
#include "patch/posix/platform_system.h"
#include "patch/posix/toolkit_libraries.h"
#include "shell_link/link.h"
#include "tests/support/run_error.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/scratch_home.h"
#include "toolkit/entry.h"

namespace {

namespace fs = std::filesystem;
using ludrimex::RunError;
using ludrimex::stand_in::HeldDelivery;
using ludrimex::stand_in::PosixSystem;
using ludrimex::stand_in::ToolkitLibraries;
using test_support::run_error_of;
using test_support::ScopedEnv;
using test_support::ScratchDir;

TEST(Libraries, WindowsNamesBecomeSharedObjectNames) {
  using ludrimex::stand_in::shared_object_name;
  EXPECT_EQ(shared_object_name("STKIT432"), "STKIT432.so");
  EXPECT_EQ(shared_object_name("VB5STKIT.DLL"), "VB5STKIT.so");
  EXPECT_EQ(shared_object_name("vb6stkit.dll"), "vb6stkit.so");
  EXPECT_EQ(shared_object_name("C:\\Tools\\STKIT432.DLL"), "C:/Tools/STKIT432.so");
  EXPECT_EQ(shared_object_name("libm.so.6"), "libm.so.6");
  EXPECT_EQ(shared_object_name("/opt/x.d/tool"), "/opt/x.d/tool.so");
}

TEST(Libraries, TheProbeFindsEachLibraryWhereItLies) {
  PosixSystem system;
  EXPECT_TRUE(system.load_library("STKIT432"));   // beside the program
  EXPECT_TRUE(system.load_library("VB6STKIT"));   // by the loader's search
  EXPECT_FALSE(system.load_library("VB5STKIT"));  // in neither place
  EXPECT_FALSE(system.load_library("NOSTKIT"));
  EXPECT_FALSE(system.load_library(""));
  EXPECT_EQ(ToolkitLibraries(VB5STKIT_DIR).load("VB5STKIT"), 0u);  // never from the program's folder
}

// Only the shipped library is taken from the program's folder; one planted there is never loaded,
// and a broken shipped one is not swapped for another.
TEST(Libraries, OnlyTheShippedLibraryComesFromTheProgramsFolder) {
  ScratchDir program;
  fs::copy_file(STKIT432_FILE, program / "STKIT432.so");
  fs::copy_file(std::string(VB5STKIT_DIR) + "/VB5STKIT.so", program / "VB5STKIT.so");
  ToolkitLibraries loader(program.path().string());
  const std::uintptr_t handle = loader.load("STKIT432");
  EXPECT_NE(handle, 0u);
  loader.free(handle);
  EXPECT_EQ(loader.load("VB5STKIT"), 0u);
  EXPECT_EQ(run_error_of([&] { loader.entry("VB5STKIT.DLL"); }).first, ludrimex::kFileNotFound);

  fs::remove(program / "STKIT432.so");
  test_support::write_file(program / "STKIT432.so", "not a library");
  ToolkitLibraries broken(program.path().string());
  EXPECT_EQ(broken.load("STKIT432"), 0u);
  EXPECT_EQ(run_error_of([&] { broken.entry("STKIT432.DLL"); }).first, ludrimex::kDllLoadError);
}

// What the delivery holds is what the copy and the shipped library's loads take, whatever is done to
// the files after the check; one held missing is never loaded from there, even once it comes.
TEST(Libraries, TheLoadsAndTheCopyTakeWhatTheDeliveryHolds) {
  ScratchDir program;
  fs::copy_file(STKIT432_FILE, program / "STKIT432.so");
  test_support::write_file(program / "Sorvanta.exe", "checked");
  HeldDelivery delivery(program.path().string());
  const auto launcher = delivery.hold("Sorvanta.exe");
  const auto library = delivery.hold("STKIT432.so");
  ASSERT_TRUE(launcher && library);
  EXPECT_EQ(launcher->bytes, "checked");
  EXPECT_EQ(library->path, program / "STKIT432.so");
  EXPECT_EQ(library->bytes, test_support::read_file(STKIT432_FILE));
  // Written over in place, and replaced by a rename.
  std::ofstream(program / "Sorvanta.exe", std::ios::binary | std::ios::in) << "changed";
  test_support::write_file(program / "other", "not a library");
  fs::rename(program / "other", program / "STKIT432.so");

  EXPECT_EQ(test_support::read_file(delivery.copy_source(program / "Sorvanta.exe")), "checked");
  ToolkitLibraries loader(program.path().string(), &delivery);
  for (const char* name : {"STKIT432", "stkit432.dll"}) {
    const std::uintptr_t handle = loader.load(name);
    EXPECT_NE(handle, 0u) << name;
    loader.free(handle);
  }
  EXPECT_EQ(ToolkitLibraries(program.path().string()).load("STKIT432"), 0u);  // the file as it is now

  ScratchDir empty;
  HeldDelivery none(empty.path().string());
  EXPECT_FALSE(none.hold("STKIT432.so"));
  fs::copy_file(STKIT432_FILE, empty / "STKIT432.so");
  EXPECT_EQ(ToolkitLibraries(empty.path().string(), &none).load("STKIT432"), 0u);
  EXPECT_EQ(run_error_of([&] { ToolkitLibraries(empty.path().string(), &none).entry("STKIT432.DLL"); }).first,
            ludrimex::kFileNotFound);
}

class BoundToolkit : public ::testing::Test, protected test_support::ScratchHome {};

TEST_F(BoundToolkit, EachFormWritesItsShortcut) {
  PosixSystem system;
  EXPECT_EQ(
      system.create_shell_link("STKIT432.DLL", ".", "Quattro", "C:\\Cat\\progetto_html\\Sorvanta.exe", ""),
      1);
  EXPECT_EQ(
      system.create_shell_link("VB6STKIT.DLL", ".", "Sei", "/opt/cat/Sorvanta.exe", "-x", -1, "$(Programs)"),
      1);
  const std::unique_ptr<void, int (*)(void*)> vb5(
      ::dlopen((std::string(VB5STKIT_DIR) + "/VB5STKIT.so").c_str(), RTLD_NOW | RTLD_LOCAL), &::dlclose);
  ASSERT_TRUE(vb5);
  const auto create5 = reinterpret_cast<toolkit::CreateShellLink>(::dlsym(vb5.get(), "fCreateShellLink"));
  EXPECT_EQ(create5(".", "Cinque", "/opt/cat/VeltranoCatalogoUpdate.exe", ""), 1);

  const auto four = shell_link::load((programs / "Quattro.lnk").string());
  EXPECT_EQ(four.info.path(), "C:/Cat/progetto_html/Sorvanta.exe");
  EXPECT_EQ(four.working_directory, "C:/Cat/progetto_html");
  const auto six = shell_link::load((programs / "Sei.lnk").string());
  EXPECT_EQ(six.info.path(), "/opt/cat/Sorvanta.exe");
  EXPECT_EQ(six.arguments, "-x");
  EXPECT_EQ(shell_link::load((programs / "Cinque.lnk").string()).working_directory, "/opt/cat");
}

TEST_F(BoundToolkit, ABoundLibraryStaysAndAMissingOneIsAnError) {
  PosixSystem system;
  EXPECT_EQ(system.create_shell_link("STKIT432.DLL", ".", "a", "/x/a.exe", ""), 1);
  EXPECT_EQ(system.create_shell_link("STKIT432.DLL", "missing group", "b", "/x/b.exe", ""), 0);
  try {
    system.create_shell_link("VB5STKIT.DLL", ".", "c", "/x/c.exe", "");
    FAIL() << "VB5STKIT is not where this program looks";
  } catch (const RunError& error) {
    EXPECT_EQ(error.number(), ludrimex::kFileNotFound);
    EXPECT_EQ(error.subject(), "VB5STKIT.DLL");
  }
  EXPECT_EQ(run_error_of([&] { system.bind_toolkit("libm.so.6"); }).first, ludrimex::kDllEntryNotFound);
  system.bind_toolkit("VB6STKIT.DLL");
  EXPECT_FALSE(fs::exists(programs / "c.lnk"));
}

}  // namespace
