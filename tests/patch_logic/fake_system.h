#pragma once
// An in-memory System for the installer's logic: files and folders keyed by the paths the logic
// builds, a scripted process list, scripted shortcut files and toolkit libraries, a log of every
// call in order, and any one call made to throw the RunError a real system would.
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "patch/errors.h"
#include "patch/system.h"

namespace ludrimex::testing {

// What a shortcut file holds, as the link object reports it.
struct FakeShortcut {
  std::string path{}, working_directory{}, arguments{}, description{}, icon{};
  std::int32_t icon_index = 0;
  std::int32_t show_cmd = 1;
  std::string failing_query{};  // e.g. "get_description": that query answers kFail
};

// A setup-toolkit library: whether it loads, and what its fCreateShellLink returns.
struct FakeToolkit {
  bool loads = true;
  ErrorNumber bind_error{};  // 48 or 453: loads for the probe, but binding its entry fails so
  std::int32_t result = 1;
  bool writes_shortcut = true;  // a toolkit that reports success without making the file: false
};

struct Box {
  std::string text, title;
  int style;
  bool operator==(const Box&) const = default;
};
inline std::ostream& operator<<(std::ostream& out, const Box& box) {
  return out << "[" << box.title << ", " << box.style << "] " << box.text;
}

// What stops a run the fake was told to kill: no handler of the logic catches it, as none runs after
// a kill.
struct Killed {};

class FakeSystem : public System {
 public:
  // A replace writes its new content beside the file, under the file's name, this mark and the number
  // of the process, until it takes the file's place; a file it replaces goes to its backup name
  // first, as Windows replaces a file: two renames, the backup deleted last.
  static constexpr const char* kTemporary = ".new-";
  static constexpr const char* kBackup = ".old-";

  std::string programs = R"(C:\Users\Anna\Menu Start\Programmi)";
  std::string app_folder = R"(D:\Patch)";
  std::string date = "06/12/2026";
  std::set<std::string> folders;
  std::map<std::string, std::string> files;
  std::set<std::string> hidden;              // files Dir misses without the hidden attribute
  std::set<std::string> others;              // FIFOs and devices
  bool another_run = false;                  // another process holds the single-run lock
  std::set<std::string> held_folders;        // locked by another run
  std::set<std::string> unwritable_folders;  // this user may not create files there
  Elevation elevation_state = Elevation::kNone;
  std::optional<int> elevated_status = 0;         // what the elevated run ends with; nothing: declined
  std::set<std::uint32_t> failing_snapshots;      // snapshot flags that can't be taken
  bool process_walk_fails = false;                // the walk of a snapshot taken fails
  std::map<std::string, FakeShortcut> shortcuts;  // by .lnk path
  std::map<std::string, FakeToolkit> toolkits;    // by probe name ("VB6STKIT")
  std::vector<std::array<char, 260>> processes;
  bool link_object_fails = false;

  std::vector<std::string> calls;  // "operation(arguments)"
  std::vector<Box> boxes;
  // The run is killed on entry to its `kill_at`-th change of the disk (from 1; 0 never): that change
  // and every one after it throw Killed without happening. A replace of a file that exists is four
  // changes (its temporary file, the old one to the backup, the new one to the name, the backup
  // deleted), of one that doesn't two; a delete one.
  int kill_at = 0;
  int disk_changes = 0;  // made so far
  int process = 1;       // of the run, in the names of its temporary files
  // Starts afresh after a kill, as a new process on the same disk: no kill to come, no calls logged.
  void restart();

  // The name in the 260-byte field as the system fills it: NUL-terminated when it is shorter.
  void add_process(std::string_view name);
  // The `nth` call (from 1) of `operation` throws RunError(number) naming the path it was given.
  void fail(const std::string& operation, int nth, ErrorNumber number);
  // The logged calls of the given operations only, in order.
  std::vector<std::string> calls_of(const std::set<std::string>& operations) const;

  std::string special_folder(const std::string& name) override;
  std::string dir(const std::string& path, int attributes) override;
  std::unique_ptr<RunLock> lock_single_run(const std::string& name) override;
  FolderLock lock_folder(const std::string& folder) override;
  Elevation elevation() override;
  std::optional<int> run_elevated() override;
  std::unique_ptr<ProcessSnapshot> create_process_snapshot(std::uint32_t flags,
                                                           std::uint32_t process_id) override;
  std::unique_ptr<ShellLink> create_link_object() override;
  std::int32_t create_shell_link(const std::string& library, const std::string& gruppo,
                                 const std::string& titolo, const std::string& percorso,
                                 const std::string& argomenti) override;
  std::int32_t create_shell_link(const std::string& library, const std::string& gruppo,
                                 const std::string& titolo, const std::string& percorso,
                                 const std::string& argomenti, std::int32_t privato,
                                 const std::string& genitore) override;
  std::optional<DeliveredFile> hold_delivered_file(const std::string& name) override;
  void bind_toolkit(const std::string& library) override;
  bool toolkit_accepts(const std::string& text) override;
  FileKind file_kind(const std::string& path) override;
  bool is_absolute_path(const std::string& path) override;
  std::string read_file(const std::string& path) override;
  void write_file(const std::string& path, const std::string& bytes) override;
  void delete_file(const std::string& path) override;
  void copy_file(const std::string& from, const std::string& to) override;
  void clean_up_replace(const std::string& path) override;
  std::string short_date() override;
  std::string to_log_text(const std::string& text) override;
  std::string from_log_text(const std::string& bytes) override;
  std::string app_path() override;
  int message_box(const std::string& text, const std::string& title, int style) override;
  void do_events() override;

  // Logs a call and throws when it is the one told to fail.
  void enter(const std::string& operation, const std::string& arguments, const std::string& subject = {});

 protected:
  std::uintptr_t do_load_library(const std::string& name) override;
  void do_free_library(std::uintptr_t handle) override;

 private:
  struct Failure {
    std::string operation;
    int nth;
    ErrorNumber number;
  };
  void require_folder_of(const std::string& path) const;
  // Counts one change of the disk, or throws Killed when the run is to die on entry to it.
  void change_disk();
  // Puts `bytes` in place of `path` as a replace does: through the temporary file, then the rename.
  void replace(const std::string& path, const std::string& given);
  std::int32_t call_toolkit(const std::string& library, const std::string& gruppo, const std::string& titolo,
                            const std::string& percorso);

  std::map<std::string, int> counts_;
  std::vector<Failure> failures_;
  std::vector<std::string> loaded_;  // handle - 1 -> library name
  bool killed_ = false;
};

}  // namespace ludrimex::testing
