// File operations through the '\' to '/' mapping, and the runtime's error numbers for each refusal.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include "patch/errors.h"
#include "patch/posix/platform_system.h"
#include "posix/file_io.h"
#include "posix/unique_fd.h"
#include "tests/support/child_process.h"
#include "tests/support/run_error.h"
#include "tests/support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using ludrimex::RunError;
using test_support::read_file;
using test_support::run_error_of;
using test_support::ScratchDir;
using test_support::write_file;

class Files : public ::testing::Test {
 protected:
  ScratchDir dir;
  ludrimex::stand_in::PosixSystem system;
  // The way the installer names a file in `dir`: joined with a backslash.
  std::string windows(const std::string& name) const { return dir.path().string() + "\\" + name; }
  std::string posix(const std::string& name) const { return dir / name; }
};

TEST_F(Files, ReadAndWriteThroughBackslashPaths) {
  EXPECT_EQ(run_error_of([&] { system.read_file(windows("patch.txt")); }),
            std::make_pair(ludrimex::kFileNotFound, posix("patch.txt")));
  system.write_file(windows("patch.txt"), "1         06/12/2026\r\n");
  EXPECT_EQ(system.read_file(windows("patch.txt")), "1         06/12/2026\r\n");
  system.write_file(windows("patch.txt"), "x");
  EXPECT_EQ(read_file(posix("patch.txt")), "x");
  system.write_file(windows("empty.txt"), "");
  EXPECT_EQ(system.read_file(windows("empty.txt")), "");
  const std::string binary("\0\r\n\xFF", 4);
  system.write_file(windows("binary"), binary);
  EXPECT_EQ(system.read_file(windows("binary")), binary);
}

TEST_F(Files, ErrorNumbersNameTheFile) {
  fs::create_directory(posix("folder"));
  write_file(posix("locked.txt"), "keep");
  fs::permissions(posix("locked.txt"),
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const ludrimex::ErrorNumber not_found = ludrimex::kFileNotFound, path_not_found = ludrimex::kPathNotFound,
                              denied = ludrimex::kPermissionDenied, access = ludrimex::kPathFileAccessError,
                              bad_name = ludrimex::kBadFileName;

  EXPECT_EQ(run_error_of([&] { system.read_file(windows("missing\\patch.txt")); }),
            std::make_pair(path_not_found, posix("missing/patch.txt")));
  EXPECT_EQ(run_error_of([&] { system.read_file(windows("folder")); }).first, access);
  EXPECT_EQ(run_error_of([&] { system.write_file(windows("missing\\patch.txt"), "x"); }).first,
            path_not_found);
  EXPECT_EQ(run_error_of([&] { system.write_file(windows("locked.txt"), "x"); }),
            std::make_pair(denied, posix("locked.txt")));
  EXPECT_EQ(run_error_of([&] { system.write_file(windows("folder"), "x"); }).first, access);
  EXPECT_EQ(run_error_of([&] { system.read_file(windows(std::string(300, 'n'))); }).first, bad_name);
  EXPECT_EQ(read_file(posix("locked.txt")), "keep");
  EXPECT_EQ(system.read_file(windows("locked.txt")), "keep");  // read-only is still readable
  EXPECT_EQ(not_found, run_error_of([&] { system.delete_file(windows("none.lnk")); }).first);
}

TEST_F(Files, Delete) {
  write_file(posix("a.lnk"), "x");
  system.delete_file(windows("a.lnk"));
  EXPECT_FALSE(fs::exists(posix("a.lnk")));
  fs::create_directory(posix("folder"));
  write_file(posix("ro.lnk"), "x");
  fs::permissions(posix("ro.lnk"), fs::perms::owner_read);
  EXPECT_EQ(run_error_of([&] { system.delete_file(windows("a.lnk")); }).first, ludrimex::kFileNotFound);
  EXPECT_EQ(run_error_of([&] { system.delete_file(windows("missing\\a.lnk")); }).first,
            ludrimex::kPathNotFound);
  EXPECT_EQ(run_error_of([&] { system.delete_file(windows("folder")); }).first, ludrimex::kFileNotFound);
  EXPECT_EQ(run_error_of([&] { system.delete_file(windows("ro.lnk")); }).first, ludrimex::kPermissionDenied);
  EXPECT_TRUE(fs::exists(posix("folder")));
  EXPECT_TRUE(fs::exists(posix("ro.lnk")));
}

// A replaced file keeps its own permission bits (a launcher delivered without its execute bit still
// starts); a new copy gets the source's.
TEST_F(Files, CopyReplacesTheWholeFileAndKeepsItRunnable) {
  write_file(posix("new.exe"), "new launcher");
  fs::permissions(posix("new.exe"), fs::perms::owner_read | fs::perms::owner_write);
  write_file(posix("old.exe"), "old launcher, somewhat longer");
  fs::permissions(posix("old.exe"), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  system.copy_file(windows("new.exe"), windows("old.exe"));
  EXPECT_EQ(read_file(posix("old.exe")), "new launcher");
  EXPECT_EQ(fs::status(posix("old.exe")).permissions(),
            fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  system.copy_file(windows("new.exe"), windows("fresh.exe"));
  EXPECT_EQ(read_file(posix("fresh.exe")), "new launcher");
  EXPECT_EQ(fs::status(posix("fresh.exe")).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 3u);  // nothing but the three files
}

TEST_F(Files, CopyRefusalsLeaveTheDestinationAsItWas) {
  write_file(posix("new.exe"), "new launcher");
  write_file(posix("readonly.exe"), "old");
  fs::permissions(posix("readonly.exe"), fs::perms::owner_read | fs::perms::owner_exec);
  fs::create_directory(posix("folder"));

  EXPECT_EQ(run_error_of([&] { system.copy_file(windows("none.exe"), windows("x.exe")); }),
            std::make_pair(ludrimex::kFileNotFound, posix("none.exe")));
  EXPECT_EQ(run_error_of([&] { system.copy_file(windows("new.exe"), windows("missing\\x.exe")); }),
            std::make_pair(ludrimex::kPathNotFound, posix("missing/x.exe")));
  EXPECT_EQ(run_error_of([&] { system.copy_file(windows("new.exe"), windows("readonly.exe")); }),
            std::make_pair(ludrimex::kPermissionDenied, posix("readonly.exe")));
  EXPECT_EQ(run_error_of([&] { system.copy_file(windows("new.exe"), windows("folder")); }).first,
            ludrimex::kPathFileAccessError);
  EXPECT_EQ(run_error_of([&] { system.copy_file(windows("folder"), windows("x.exe")); }).first,
            ludrimex::kPathFileAccessError);
  EXPECT_EQ(read_file(posix("readonly.exe")), "old");

  {  // a launcher that is running is in use
    test_support::RunningProcess running(posix("Lanciatore.exe"));
    EXPECT_EQ(run_error_of([&] { system.copy_file(windows("new.exe"), windows("Lanciatore.exe")); }),
              std::make_pair(ludrimex::kPermissionDenied, posix("Lanciatore.exe")));
  }
  EXPECT_EQ(read_file(posix("Lanciatore.exe")), read_file("/bin/sleep"));
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 4u);  // no partial copy left behind
}

TEST_F(Files, DirFindsExactPathsWithTheAttributesAsked) {
  fs::create_directories(posix("Veltrano Catalogo"));
  write_file(posix("Veltrano Catalogo/Veltrano Catalogo.lnk"), "x");
  const int directory = ludrimex::kAttrDirectory, normal = ludrimex::kAttrNormal;

  EXPECT_EQ(system.dir(windows("Veltrano Catalogo"), directory), "Veltrano Catalogo");
  EXPECT_EQ(system.dir(windows("Veltrano Catalogo"), normal), "");
  EXPECT_EQ(system.dir(windows("Veltrano Catalogo\\Veltrano Catalogo.lnk"), normal), "Veltrano Catalogo.lnk");
  EXPECT_EQ(system.dir(windows("Veltrano Catalogo\\Veltrano Catalogo.lnk"), directory),
            "Veltrano Catalogo.lnk");
  EXPECT_EQ(system.dir(windows("Veltrano Catalogo\\"), directory), ".");
  EXPECT_EQ(system.dir(windows("Veltrano Catalogo\\Veltrano Catalogo.lnk\\"), directory), "");
  EXPECT_EQ(system.dir(windows("veltrano catalogo"), directory), "");  // Linux names keep their case
  EXPECT_EQ(system.dir(windows("Veltrano Catalogo\\Veltrano Catalogo.lnk\\x"), directory), "");
  EXPECT_EQ(system.dir(windows("Veltrano*"), directory), "");  // exact names only: no patterns
  EXPECT_EQ(system.dir("/", directory), ".");

  EXPECT_EQ(run_error_of([&] { system.dir("", directory); }).first, ludrimex::kInvalidArgument);
  EXPECT_EQ(run_error_of([&] { system.dir(windows(std::string(300, 'n')), directory); }).first,
            ludrimex::kBadFileName);
  EXPECT_EQ(run_error_of([&] { system.dir(std::string("a\0b", 3), directory); }).first,
            ludrimex::kBadFileName);
}

// Writing keeps the old file's bits, or refuses with the old bytes left, and leaves nothing beside it.
TEST_F(Files, WriteReplacesInOneStepOrNotAtAll) {
  write_file(posix("patch.txt"), "old");
  fs::permissions(posix("patch.txt"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  system.write_file(windows("patch.txt"), "new");
  EXPECT_EQ(read_file(posix("patch.txt")), "new");
  EXPECT_EQ(fs::status(posix("patch.txt")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  fs::permissions(posix("patch.txt"), fs::perms::owner_read);  // read-only: even root may not
  EXPECT_EQ(run_error_of([&] { system.write_file(windows("patch.txt"), "newer"); }).first,
            ludrimex::kPermissionDenied);
  fs::permissions(posix("patch.txt"), fs::perms::owner_read | fs::perms::owner_write);
  {
    const posix::UniqueFd fd(::open(posix("patch.txt").c_str(), O_RDONLY));
    int flags = FS_IMMUTABLE_FL;
    if (::ioctl(fd.get(), FS_IOC_SETFLAGS, &flags) == 0) {
      EXPECT_EQ(run_error_of([&] { system.write_file(windows("patch.txt"), "newer"); }).first,
                ludrimex::kPermissionDenied);
      flags = 0;
      ::ioctl(fd.get(), FS_IOC_SETFLAGS, &flags);
    }
  }
  EXPECT_EQ(read_file(posix("patch.txt")), "new");
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1u);
}

// A FIFO, a device or a folder is refused at once, never waited on.
TEST_F(Files, WhatIsNoRegularFileIsRefusedAtOnce) {
  ASSERT_EQ(::mkfifo(posix("fifo").c_str(), 0600), 0);
  fs::create_directory(posix("folder"));
  write_file(posix("file"), "x");
  const ludrimex::ErrorNumber access = ludrimex::kPathFileAccessError;
  for (const std::string& path : {windows("fifo"), std::string("/dev/null"), windows("folder")}) {
    EXPECT_EQ(run_error_of([&] { system.read_file(path); }).first, access) << path;
    EXPECT_EQ(run_error_of([&] { system.copy_file(path, windows("copy")); }).first, access) << path;
    EXPECT_EQ(run_error_of([&] { system.copy_file(windows("file"), path); }).first, access) << path;
    EXPECT_EQ(run_error_of([&] { system.write_file(path, "x"); }).first, access) << path;
  }
  fs::create_symlink(posix("file"), posix("link"));
  fs::create_symlink(posix("none"), posix("dangling"));
  using ludrimex::FileKind;
  const std::vector<std::pair<std::string, FileKind>> kinds = {
      {windows("file"), FileKind::kRegular},     {windows("link"), FileKind::kRegular},
      {windows("folder"), FileKind::kFolder},    {windows("fifo"), FileKind::kOther},
      {"/dev/null", FileKind::kOther},           {windows("none"), FileKind::kMissing},
      {windows("dangling"), FileKind::kMissing}, {windows("none\\x"), FileKind::kMissing},
      {windows("file\\x"), FileKind::kMissing},
  };
  for (const auto& [path, kind] : kinds) EXPECT_EQ(system.file_kind(path), kind) << path;
  EXPECT_TRUE(system.is_absolute_path("\\home\\x"));
  EXPECT_FALSE(system.is_absolute_path("C:\\x"));
}

// A replace whose process dies before its rename leaves its temporary file; the clean-up deletes that
// and every other of our names for the file, and nothing that merely looks like one.
TEST_F(Files, CleanUpDeletesOurLeftoversOnly) {
  write_file(posix("patch.txt"), "0\r\n");
  const pid_t child = ::fork();
  if (child == 0) {
    ::posix::replace_atomically(posix("patch.txt"), std::nullopt, [](int fd) {
      ::posix::write_all(fd, "0\r\n1", "");
      ::_exit(0);  // stopped half way, as a kill would stop it
    });
  }
  ASSERT_GT(child, 0);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  const std::string leftover = "patch.txt.new-" + std::to_string(child) + "-0";
  ASSERT_TRUE(fs::exists(posix(leftover)));

  const std::vector<std::string> ours = {leftover, "patch.txt.new-1-12", "patch.txt.new-007-0"};
  const std::vector<std::string> theirs = {
      "patch.txt",          "patch.txt.new-1",   "patch.txt.new-1-",      "patch.txt.new--1",
      "patch.txt.new-1-2x", "patch.txt.new-a-1", "patch.txt.new-1-2.bak", "patch.txt.NEW-1-2",
      "xpatch.txt.new-1-2", "Patch.txt.new-1-2", "patch.txt.new-1-2-3",   "Sorvanta.exe.new-1-2",
      "patch.txt.new-+1-2"};
  for (const auto& name : ours) write_file(posix(name), "ours");
  for (const auto& name : theirs) {
    if (name != "patch.txt") write_file(posix(name), "theirs");
  }
  fs::create_directory(posix("patch.txt.new-5-5"));  // a folder is nobody's leftover of a file

  system.clean_up_replace(windows("patch.txt"));
  for (const auto& name : ours) EXPECT_FALSE(fs::exists(posix(name))) << name;
  for (const auto& name : theirs) EXPECT_TRUE(fs::exists(posix(name))) << name;
  EXPECT_TRUE(fs::is_directory(posix("patch.txt.new-5-5")));
  EXPECT_EQ(read_file(posix("patch.txt")), "0\r\n");

  system.clean_up_replace(windows("patch.txt"));  // nothing left to do
  system.clean_up_replace(windows("missing\\patch.txt"));
  EXPECT_FALSE(fs::exists(posix("missing")));

  write_file(posix("patch.txt.new-1-1"), "ours");
  const posix::UniqueFd folder(::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY));
  int flags = FS_IMMUTABLE_FL;
  if (::ioctl(folder.get(), FS_IOC_SETFLAGS, &flags) == 0) {  // a folder nobody may change
    EXPECT_EQ(run_error_of([&] { system.clean_up_replace(windows("patch.txt")); }),
              std::make_pair(ludrimex::kPermissionDenied, posix("patch.txt.new-1-1")));
    flags = 0;
    ::ioctl(folder.get(), FS_IOC_SETFLAGS, &flags);
  }
}

}  // namespace
