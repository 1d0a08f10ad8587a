// The process list from /proc, as the installer's scan reads it.
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include "patch/posix/platform_system.h"
#include "patch/posix/process_snapshot.h"
#include "posix/process_list.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_dir.h"

namespace {

using ludrimex::ProcessEntry;
using test_support::RunningProcess;
using test_support::ScratchDir;

// The entries of a fresh snapshot, walked as the installer walks them.
std::vector<ProcessEntry> snapshot(std::uint32_t flags = ludrimex::kSnapAll) {
  ludrimex::stand_in::PosixSystem system;
  const auto snap = system.create_process_snapshot(flags, 0);
  std::vector<ProcessEntry> entries;
  ProcessEntry entry;
  entry.size = sizeof entry;
  for (bool more = snap->first(entry); more; more = snap->next(entry)) entries.push_back(entry);
  return entries;
}

const ProcessEntry* find(const std::vector<ProcessEntry>& entries, pid_t pid) {
  for (const ProcessEntry& entry : entries) {
    if (entry.process_id == static_cast<std::uint32_t>(pid)) return &entry;
  }
  return nullptr;
}

std::string name_of(const ProcessEntry& entry) {
  EXPECT_NE(std::memchr(entry.exe_file.data(), 0, entry.exe_file.size()), nullptr) << "no NUL in the name";
  return entry.exe_file.data();
}

TEST(ProcSnapshot, FindsAProcessByItsExecutableName) {
  ScratchDir dir;
  // Longer than the kernel's 15-character comm: the name must come from the executable itself.
  RunningProcess probe(dir.path() / "VeltranoCatalogoProbe.exe");
  const auto entries = snapshot();
  const ProcessEntry* entry = find(entries, probe.pid());
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(name_of(*entry), "VeltranoCatalogoProbe.exe");
  EXPECT_EQ(entry->parent_process_id, static_cast<std::uint32_t>(::getpid()));
  EXPECT_GE(entry->threads, 1u);
  EXPECT_EQ(entry->size, sizeof(ProcessEntry));

  const ProcessEntry* self = find(entries, ::getpid());
  ASSERT_NE(self, nullptr);
  EXPECT_EQ(name_of(*self), "posix_tests");

  probe.stop();
  EXPECT_EQ(find(snapshot(), probe.pid()), nullptr);
}

TEST(ProcSnapshot, AReplacedExecutableKeepsItsName) {
  ScratchDir dir;
  RunningProcess probe(dir.path() / "Sorvanta-old.exe");
  std::filesystem::remove(dir.path() / "Sorvanta-old.exe");
  const auto entries = snapshot();
  const ProcessEntry* entry = find(entries, probe.pid());
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(name_of(*entry), "Sorvanta-old.exe");
}

TEST(ProcSnapshot, TheSnapshotIsTakenOnceAndWalkedAgainFromFirst) {
  ScratchDir dir;
  ludrimex::stand_in::PosixSystem system;
  const auto snap = system.create_process_snapshot(ludrimex::kSnapAll, 0);
  RunningProcess later(dir.path() / "Later.exe");
  ProcessEntry entry;
  entry.size = sizeof entry;
  std::size_t first_walk = 0, second_walk = 0;
  bool saw_later = false;
  for (bool more = snap->first(entry); more; more = snap->next(entry)) {
    ++first_walk;
    saw_later = saw_later || entry.process_id == static_cast<std::uint32_t>(later.pid());
  }
  for (bool more = snap->first(entry); more; more = snap->next(entry)) ++second_walk;
  EXPECT_FALSE(saw_later);
  EXPECT_GT(first_walk, 0u);
  EXPECT_EQ(first_walk, second_walk);
  EXPECT_FALSE(snap->next(entry));  // stays at the end
}

TEST(ProcSnapshot, RefusesAShortRecordAndListsNothingWithoutTheProcessFlag) {
  ludrimex::stand_in::PosixSystem system;
  const auto snap = system.create_process_snapshot(ludrimex::kSnapAll, 0);
  ProcessEntry entry;
  entry.size = 200;
  EXPECT_FALSE(snap->first(entry));
  EXPECT_EQ(entry.process_id, 0u);
  EXPECT_TRUE(snapshot(0x8 /* modules only */).empty());
}

// A /proc tree of our own: names from the exe link when it can be read, else from comm.
TEST(ProcSnapshot, ExeLinkElseCommName) {
  ScratchDir proc;
  namespace fs = std::filesystem;
  fs::create_directories(proc.path() / "7");
  test_support::write_file(proc.path() / "7/comm", "kworker/0:1\n");
  test_support::write_file(proc.path() / "7/status", "Name:\tkworker/0:1\nPPid:\t2\nThreads:\t1\n");
  fs::create_directories(proc.path() / "42");
  fs::create_symlink("/opt/veltrano/Sorvanta.exe", proc.path() / "42/exe");
  test_support::write_file(proc.path() / "42/comm", "Sorvanta.exe\n");
  test_support::write_file(proc.path() / "42/status", "Name:\tSorvanta.exe\nPPid:\t7\nThreads:\t12\n");
  fs::create_directories(proc.path() / "99");  // ended while being read: nothing left to name it
  fs::create_directories(proc.path() / "self");
  test_support::write_file(proc.path() / "uptime", "1.0 2.0\n");

  const auto listed = posix::read_process_list(proc.path().string());
  ASSERT_TRUE(listed);
  const auto& processes = *listed;
  ASSERT_EQ(processes.size(), 2u);
  EXPECT_EQ(processes[0].process_id, 7u);
  EXPECT_EQ(processes[0].exe_name, "kworker/0:1");
  EXPECT_EQ(processes[0].parent_process_id, 2u);
  EXPECT_EQ(processes[1].process_id, 42u);
  EXPECT_EQ(processes[1].exe_name, "Sorvanta.exe");
  EXPECT_EQ(processes[1].parent_process_id, 7u);
  EXPECT_EQ(processes[1].threads, 12u);
  EXPECT_FALSE(posix::read_process_list((proc.path() / "none").string()));  // no list is no proof
}

TEST(ProcSnapshot, TheNameFieldIsAlwaysTerminated) {
  ludrimex::stand_in::ProcSnapshot snap({{1, 0, 1, std::string(300, 'x')}, {2, 1, 1, "b"}});
  ProcessEntry entry;
  entry.size = sizeof entry;
  entry.exe_file.fill('z');
  ASSERT_TRUE(snap.first(entry));
  EXPECT_EQ(std::string(entry.exe_file.data()), std::string(259, 'x'));
  ASSERT_TRUE(snap.next(entry));
  EXPECT_EQ(std::string(entry.exe_file.data()), "b");
  EXPECT_EQ(entry.exe_file[2], '\0');  // nothing of the longer name before it is left behind
  EXPECT_FALSE(snap.next(entry));
}

}  // namespace
