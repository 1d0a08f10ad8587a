// Replacing a file on Windows, for real under Wine: whatever ReplaceFileW fails with, one whole copy
// stays (the failures are made through the file layer's FileCalls, each with the effect on the disk
// that the system documents for it), and clean_up_replace puts right what a stopped replace left.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <fstream>
#include <memory>
#include <set>
#include <string>

#include "patch/errors.h"
#include "patch/win32/platform_system.h"
#include "tests/support/run_error.h"
#include "tests/wine/wine_support.h"
#include "win32/scoped.h"

namespace {

using namespace wine_test;
using ludrimex::ErrorNumber;
using ludrimex::windows::SystemFileCalls;
using test_support::run_error_of;

// Not documented, and not to be ruled out: a replace that fails with the replaced file gone and no
// backup made.
constexpr DWORD kGone = ERROR_GEN_FAILURE;

// ReplaceFileW failing `failures` times with `code`, leaving the disk as the system documents for
// that code; then the system's own. MoveFileExW refused `refused_moves` times, then the system's own.
class FailingMoves final : public SystemFileCalls {
 public:
  FailingMoves(DWORD code, int failures, int refused_moves)
      : code_(code), failures_(failures), refused_moves_(refused_moves) {}

  DWORD replace(const std::wstring& replaced, const std::wstring& replacement,
                const std::wstring& backup) override {
    if (failures_ == 0) return SystemFileCalls::replace(replaced, replacement, backup);
    --failures_;
    if ((code_ == ERROR_UNABLE_TO_MOVE_REPLACEMENT && backup.empty()) || code_ == kGone) {
      ::DeleteFileW(replaced.c_str());  // the replaced file no longer exists
    } else if (code_ == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
      // The replaced file has another name: the backup's when there is one.
      ::MoveFileW(replaced.c_str(), (backup.empty() ? replaced + L".spostato" : backup).c_str());
    }  // else both keep their names
    return code_;
  }
  DWORD move(const std::wstring& from, const std::wstring& to, DWORD flags) override {
    if (refused_moves_ == 0) return SystemFileCalls::move(from, to, flags);
    --refused_moves_;
    return ERROR_ACCESS_DENIED;
  }

 private:
  DWORD code_;
  int failures_;
  int refused_moves_;
};

constexpr int kAlways = 1000;
constexpr ErrorNumber kNone{};

struct FailureCase {
  DWORD code;
  int failures;       // of ReplaceFileW
  int refused_moves;  // of MoveFileExW
  const char* after;  // the bytes under the real name, once clean_up_replace has run
  ErrorNumber error;
  bool backup_left = false;  // the old bytes only under the backup's name until then
};

TEST(Replacement, WhateverReplaceFileFailsWithOneWholeCopyStaysAndTheErrorNamesTheFile) {
  constexpr DWORD kSharing = ERROR_SHARING_VIOLATION, k1175 = ERROR_UNABLE_TO_REMOVE_REPLACED,
                  k1176 = ERROR_UNABLE_TO_MOVE_REPLACEMENT, k1177 = ERROR_UNABLE_TO_MOVE_REPLACEMENT_2;
  const std::array<FailureCase, 11> cases{{
      {kSharing, 3, 0, "nuovo", kNone},  // held for a moment: tried again
      {kSharing, kAlways, 0, "vecchio", ludrimex::kPermissionDenied},
      {k1175, 1, 0, "nuovo", kNone},
      {k1175, kAlways, 0, "vecchio", ludrimex::kPermissionDenied},
      {k1176, 1, 0, "nuovo", kNone},
      {k1176, kAlways, 0, "vecchio", ludrimex::kPermissionDenied},
      {k1177, 1, 0, "nuovo", kNone},                                // the new file is moved in
      {k1177, 1, 1, "vecchio", ludrimex::kPermissionDenied},        // else the old one moves back
      {k1177, 1, 2, "vecchio", ludrimex::kPermissionDenied, true},  // else clean_up_replace does it
      {ERROR_INVALID_PARAMETER, kAlways, 0, "vecchio", ludrimex::kPathFileAccessError},
      {kGone, 1, 1, "nuovo", ludrimex::kDeviceIoError, true},  // the only copy kept as the backup
  }};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "code " << c.code << ", " << c.failures << " failures, "
                                    << c.refused_moves << " refused moves");
    const ScratchFolder folder;
    const fs::path installed = folder / L"Sorvanta.exe", delivered = folder / L"nuovo.exe";
    write_bytes(installed, "vecchio");
    write_bytes(delivered, "nuovo");
    ludrimex::windows::WindowsSystem system(
        std::make_unique<FailingMoves>(c.code, c.failures, c.refused_moves));
    const std::string target = utf8(installed.wstring());

    EXPECT_EQ(run_error_of([&] { system.copy_file(utf8(delivered.wstring()), target); }),
              std::pair(c.error, c.error == kNone ? std::string() : target));
    if (c.backup_left) {
      auto names = names_in(folder.path());
      EXPECT_EQ(names.erase(L"nuovo.exe"), 1u);
      ASSERT_EQ(names.size(), 1u);
      EXPECT_TRUE(names.begin()->starts_with(L"Sorvanta.exe.~old-")) << utf8(*names.begin());
      ludrimex::windows::WindowsSystem().clean_up_replace(target);  // as the next run does
    }
    EXPECT_EQ(names_in(folder.path()), (std::set<std::wstring>{L"Sorvanta.exe", L"nuovo.exe"}));
    EXPECT_EQ(read_bytes(installed), c.after);
  }
}

TEST(Replacement, CleanUpTakesOnlyOurOwnLeftoversAndPutsALoneBackupBack) {
  const ScratchFolder folder;
  ludrimex::windows::WindowsSystem system(std::make_unique<SystemFileCalls>(),
                                          std::chrono::milliseconds(200));
  const auto path = [&](const wchar_t* name) { return utf8((folder / name).wstring()); };

  // Beside a file in place: our temporary files and backups go, look-alikes stay.
  const std::set<std::wstring> foreign{
      L"Sorvanta.exe",        L"Sorvanta.exe.~123",       L"Sorvanta.exe.~123-",
      L"Sorvanta.exe.~-1",    L"Sorvanta.exe.~12a-3",     L"Sorvanta.exe.~1-2.txt",
      L"Sorvanta.exe.~old-1", L"Sorvanta.exe.~old-1-2-3", L"Sorvanta.exe.~vecchio-1-2",
      L"Sorvanta.exe~1-2",    L"Sorvanta.exe.bak",        L"XSorvanta.exe.~1-2",
      L"Sorvanta.ex.~1-2"};
  for (const auto& name : foreign) write_bytes(folder / name, "altro");
  write_bytes(folder / L"Sorvanta.exe", "nuovo");
  for (const wchar_t* ours : {L"Sorvanta.exe.~123-0", L"Sorvanta.exe.~old-123-1", L"SORVANTA.EXE.~9-99"}) {
    write_bytes(folder / ours, "nostro");
  }
  system.clean_up_replace(path(L"Sorvanta.exe"));
  EXPECT_EQ(names_in(folder.path()), foreign);
  EXPECT_EQ(read_bytes(folder / L"Sorvanta.exe"), "nuovo");

  // A missing file whose backups are there: the newest takes its name again.
  write_bytes(folder / L"patch.txt.~old-4-0", "1\r\n");
  write_bytes(folder / L"patch.txt.~old-5-0", "1\r\n2\r\n");
  write_bytes(folder / L"patch.txt.~5-1", "1\r\n2\r\n3");
  fs::last_write_time(folder / L"patch.txt.~old-4-0",
                      fs::last_write_time(folder / L"patch.txt.~old-5-0") - std::chrono::hours(24));
  system.clean_up_replace(path(L"patch.txt"));
  EXPECT_EQ(read_bytes(folder / L"patch.txt"), "1\r\n2\r\n");
  EXPECT_EQ(names_in(folder.path()).size(), foreign.size() + 1);

  // Nothing to do: a file without leftovers, a missing file, a missing folder.
  system.clean_up_replace(path(L"patch.txt"));
  EXPECT_EQ(read_bytes(folder / L"patch.txt"), "1\r\n2\r\n");
  system.clean_up_replace(path(L"manca.lnk"));
  system.clean_up_replace(path(L"manca\\Voce.lnk"));
  EXPECT_EQ(names_in(folder.path()).size(), foreign.size() + 1);

  // A folder named as a backup is never taken for the missing file, nor deleted.
  fs::create_directory(folder / L"Voce.lnk.~old-3-2");
  system.clean_up_replace(path(L"Voce.lnk"));
  EXPECT_FALSE(fs::exists(folder / L"Voce.lnk"));
  EXPECT_TRUE(fs::is_directory(folder / L"Voce.lnk.~old-3-2"));
  fs::remove(folder / L"Voce.lnk.~old-3-2");

  // A leftover another program holds is left for a later run; a backup that can't be put back is named.
  write_bytes(folder / L"Voce.lnk", "x");
  write_bytes(folder / L"Voce.lnk.~3-0", "x");
  win32::KernelHandle held(::CreateFileW((folder / L"Voce.lnk.~3-0").c_str(), GENERIC_READ, 0, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
  EXPECT_EQ(run_error_of([&] { system.clean_up_replace(path(L"Voce.lnk")); }).first, kNone);
  EXPECT_TRUE(fs::exists(folder / L"Voce.lnk.~3-0"));
  held.reset();
  system.clean_up_replace(path(L"Voce.lnk"));
  EXPECT_FALSE(fs::exists(folder / L"Voce.lnk.~3-0"));
  fs::remove(folder / L"Voce.lnk");
  write_bytes(folder / L"Voce.lnk.~old-3-1", "x");
  held.reset(::CreateFileW((folder / L"Voce.lnk.~old-3-1").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           0, nullptr));
  EXPECT_EQ(run_error_of([&] { system.clean_up_replace(path(L"Voce.lnk")); }),
            std::pair(ludrimex::kPermissionDenied, path(L"Voce.lnk.~old-3-1")));
  EXPECT_FALSE(fs::exists(folder / L"Voce.lnk"));
}

// Windows before POSIX delete semantics (7, 8.1, early 10), which Wine does not imitate: a deleted
// file that another program still holds keeps its name, which answers "access denied" to every look
// and every create, until that program lets go. `holding` says which deleted files are held so.
class PendingDeletes final : public SystemFileCalls {
 public:
  explicit PendingDeletes(std::wstring holding) : holding_(std::move(holding)) {}
  DWORD remove(const std::wstring& path) override {
    if (pending(path)) return ERROR_ACCESS_DENIED;
    const DWORD code = SystemFileCalls::remove(path);
    if (code == ERROR_SUCCESS && path.find(holding_) != std::wstring::npos) pending_.insert(path);
    return code;
  }
  DWORD attributes(const std::wstring& path, DWORD& attributes) override {
    return pending(path) ? ERROR_ACCESS_DENIED : SystemFileCalls::attributes(path, attributes);
  }
  DWORD create(const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags,
               win32::KernelHandle& file) override {
    return pending(path) ? ERROR_ACCESS_DENIED
                         : SystemFileCalls::create(path, access, share, disposition, flags, file);
  }
  DWORD replace(const std::wstring& replaced, const std::wstring& replacement,
                const std::wstring& backup) override {
    return pending(backup) ? ERROR_UNABLE_TO_REMOVE_REPLACED
                           : SystemFileCalls::replace(replaced, replacement, backup);
  }
  DWORD move(const std::wstring& from, const std::wstring& to, DWORD flags) override {
    return pending(to) ? ERROR_ACCESS_DENIED : SystemFileCalls::move(from, to, flags);
  }

 private:
  bool pending(const std::wstring& path) const { return pending_.count(path) != 0; }
  std::wstring holding_;
  std::set<std::wstring> pending_;
};

// A name pending delete is taken: the run's replaces never reuse one, and a replace whose backup can't
// be deleted has worked all the same.
TEST(Replacement, NamesPendingDeleteAreTakenAndABackupThatCantGoIsLeftForLater) {
  const ScratchFolder folder;
  const std::string log = utf8((folder / L"patch.txt").wstring());
  const std::wstring process = std::to_wstring(::GetCurrentProcessId());
  const std::array<const wchar_t*, 2> held{L".~old-", L".~"};  // every backup, every leftover
  for (const wchar_t* holding : held) {
    SCOPED_TRACE(utf8(holding));
    ludrimex::windows::WindowsSystem system(std::make_unique<PendingDeletes>(holding));
    write_bytes(folder / L"patch.txt", "1\r\n");
    write_bytes(folder / (L"patch.txt.~" + process + L"-0"), "a part");  // left by a run of the same number
    system.clean_up_replace(log);
    system.write_file(log, "1\r\n");
    system.write_file(log, "1\r\n2\r\n");  // the same run's second replace of the log
    EXPECT_EQ(read_bytes(folder / L"patch.txt"), "1\r\n2\r\n");
    // Under Wine the held names are really gone; what the replaces left is only what was held.
    EXPECT_EQ(names_in(folder.path()), std::set<std::wstring>{L"patch.txt"});
  }

  // The launcher's backup still mapped by a process started after the check, say.
  class BackupHeld final : public SystemFileCalls {
   public:
    DWORD remove(const std::wstring& path) override {
      return held && path.find(L".~old-") != std::wstring::npos ? ERROR_ACCESS_DENIED
                                                                : SystemFileCalls::remove(path);
    }
    bool held = true;
  };
  auto calls = std::make_unique<BackupHeld>();
  BackupHeld& backup = *calls;
  ludrimex::windows::WindowsSystem system(std::move(calls), std::chrono::milliseconds(200));
  const fs::path installed = folder / L"Sorvanta.exe";
  write_bytes(installed, "vecchio");
  write_bytes(folder / L"nuovo.exe", "nuovo");
  EXPECT_EQ(run_error_of([&] {
              system.copy_file(utf8((folder / L"nuovo.exe").wstring()), utf8(installed.wstring()));
            }).first,
            kNone);
  EXPECT_EQ(read_bytes(installed), "nuovo");
  EXPECT_EQ(names_in(folder.path()).size(), 4u);       // the backup is still there
  system.clean_up_replace(utf8(installed.wstring()));  // the next run's, while it is held
  EXPECT_EQ(names_in(folder.path()).size(), 4u);
  backup.held = false;
  system.clean_up_replace(utf8(installed.wstring()));
  EXPECT_EQ(names_in(folder.path()), (std::set<std::wstring>{L"Sorvanta.exe", L"nuovo.exe", L"patch.txt"}));
}

// Under Wine a file's alternate stream NAME:STREAM is a file of that name beside it; Windows keeps it
// in the file itself. Either way the name reaches it.
bool has_zone_mark(const fs::path& file) {
  return ::GetFileAttributesW((file.wstring() + L":Zone.Identifier").c_str()) != INVALID_FILE_ATTRIBUTES;
}
void mark_as_downloaded(const fs::path& file) {
  write_bytes(file.wstring() + L":Zone.Identifier", "[ZoneTransfer]\r\nZoneId=3\r\n");
}

TEST(Replacement, AnInstalledCopyCarriesNoMarkOfTheInternetZone) {
  const ScratchFolder folder;
  ludrimex::windows::WindowsSystem system;
  const fs::path delivered = folder / L"nuovo.exe", installed = folder / L"Sorvanta.exe";
  write_bytes(delivered, "nuovo");
  mark_as_downloaded(delivered);
  write_bytes(installed, "vecchio");
  mark_as_downloaded(installed);

  system.copy_file(utf8(delivered.wstring()), utf8(installed.wstring()));
  EXPECT_EQ(read_bytes(installed), "nuovo");
  EXPECT_FALSE(has_zone_mark(installed));
  EXPECT_TRUE(has_zone_mark(delivered));  // the delivered file is left as it is

  system.copy_file(utf8(delivered.wstring()), utf8((folder / L"altro.exe").wstring()));
  EXPECT_FALSE(has_zone_mark(folder / L"altro.exe"));
}

}  // namespace
