#include "tests/patch_logic/fake_system.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "patch/errors.h"

namespace ludrimex::testing {
namespace {

std::string folder_of(const std::string& path) {
  const auto slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string name_of(const std::string& path) {
  return path.substr(path.rfind('\\') + 1);
}

class FakeSnapshot : public ProcessSnapshot {
 public:
  explicit FakeSnapshot(FakeSystem& system) : system_(system) {}
  ~FakeSnapshot() override { system_.calls.push_back("close_snapshot()"); }
  bool first(ProcessEntry& entry) override { return fill("process_first", entry, 0); }
  bool next(ProcessEntry& entry) override { return fill("process_next", entry, next_); }

 private:
  bool fill(const std::string& operation, ProcessEntry& entry, std::size_t index) {
    system_.enter(operation, std::to_string(entry.size));
    if (system_.process_walk_fails) throw RunError(kPathFileAccessError, kProcessListName);
    if (index >= system_.processes.size()) return false;
    entry.exe_file = system_.processes[index];
    next_ = index + 1;
    return true;
  }
  FakeSystem& system_;
  std::size_t next_ = 0;
};

class FakeLink : public ShellLink {
 public:
  explicit FakeLink(FakeSystem& system) : system_(system) {}
  ~FakeLink() override { system_.calls.push_back("release_link()"); }

  Status load(const std::string& path, std::uint32_t mode) override {
    system_.enter("load", path + ", " + std::to_string(mode), path);
    const auto found = system_.shortcuts.find(path);
    if (found == system_.shortcuts.end() || !system_.files.count(path)) return kFail;
    shortcut_ = found->second;
    return kOk;
  }
  Status get_path(std::span<char> buffer, std::uint32_t flags) override {
    return text("get_path", buffer, shortcut_.path, std::to_string(flags));
  }
  Status get_working_directory(std::span<char> buffer) override {
    return text("get_working_directory", buffer, shortcut_.working_directory);
  }
  Status get_arguments(std::span<char> buffer) override {
    return text("get_arguments", buffer, shortcut_.arguments);
  }
  Status get_description(std::span<char> buffer) override {
    return text("get_description", buffer, shortcut_.description);
  }
  Status get_hotkey(std::uint16_t& hotkey) override {
    hotkey = 0;
    return query("get_hotkey");
  }
  Status get_icon_location(std::span<char> buffer, std::int32_t& index) override {
    const Status status = text("get_icon_location", buffer, shortcut_.icon);
    if (!failed(status)) index = shortcut_.icon_index;
    return status;
  }
  Status get_id_list() override { return query("get_id_list"); }
  Status get_show_cmd(std::int32_t& show_cmd) override {
    const Status status = query("get_show_cmd");
    if (!failed(status)) show_cmd = shortcut_.show_cmd;
    return status;
  }

 private:
  Status query(const std::string& name, const std::string& arguments = {}) {
    system_.enter(name, arguments);
    return name == shortcut_.failing_query ? kFail : kOk;
  }
  Status text(const std::string& name, std::span<char> buffer, const std::string& value,
              const std::string& arguments = {}) {
    const std::string size = std::to_string(buffer.size());
    const Status status = query(name, arguments.empty() ? size : size + ", " + arguments);
    if (!failed(status)) write_link_text(buffer, value);
    return status;
  }
  FakeSystem& system_;
  FakeShortcut shortcut_;
};

}  // namespace

void FakeSystem::add_process(std::string_view name) {
  std::array<char, 260> field{};
  std::copy_n(name.begin(), std::min(name.size(), field.size()), field.begin());
  processes.push_back(field);
}

void FakeSystem::fail(const std::string& operation, int nth, ErrorNumber number) {
  failures_.push_back({operation, nth, number});
}

std::vector<std::string> FakeSystem::calls_of(const std::set<std::string>& operations) const {
  std::vector<std::string> chosen;
  for (const auto& call : calls) {
    if (operations.count(call.substr(0, call.find('(')))) chosen.push_back(call);
  }
  return chosen;
}

void FakeSystem::enter(const std::string& operation, const std::string& arguments,
                       const std::string& subject) {
  calls.push_back(operation + "(" + arguments + ")");
  const int count = ++counts_[operation];
  for (const auto& failure : failures_) {
    if (failure.operation == operation && failure.nth == count) throw RunError(failure.number, subject);
  }
}

void FakeSystem::require_folder_of(const std::string& path) const {
  if (!folders.count(folder_of(path))) throw RunError(kPathNotFound, path);
}

void FakeSystem::restart() {
  killed_ = false;
  kill_at = 0;
  ++process;
  calls.clear();
  boxes.clear();
  counts_.clear();
}

void FakeSystem::change_disk() {
  if (killed_ || (kill_at != 0 && disk_changes + 1 == kill_at)) {
    killed_ = true;
    throw Killed{};
  }
  ++disk_changes;
}

void FakeSystem::replace(const std::string& path, const std::string& given) {
  require_folder_of(path);
  const std::string temporary = path + kTemporary + std::to_string(process);
  const std::string backup = path + kBackup + std::to_string(process);
  change_disk();
  files[temporary] = given;  // before the backup step, which takes `given` when it is the file's own
  const bool existed = files.count(path) != 0;
  if (existed) {
    change_disk();
    files[backup] = files[path];
    files.erase(path);
  }
  change_disk();
  files[path] = std::move(files[temporary]);
  files.erase(temporary);
  if (existed) {
    change_disk();
    files.erase(backup);
  }
}

std::string FakeSystem::special_folder(const std::string& name) {
  enter("special_folder", name);
  return name == "Programs" ? programs : std::string();
}

std::string FakeSystem::dir(const std::string& path, int attributes) {
  enter("dir", path + ", " + std::to_string(attributes), path);
  constexpr int kAttrHidden = 2;
  const bool file = files.count(path) && (!hidden.count(path) || (attributes & kAttrHidden));
  const bool match = file || ((attributes & kAttrDirectory) && folders.count(path));
  return match ? name_of(path) : std::string();
}

std::unique_ptr<RunLock> FakeSystem::lock_single_run(const std::string& name) {
  enter("lock_single_run", name);
  struct Held : RunLock {
    explicit Held(FakeSystem& system) : system_(system) {}
    ~Held() override { system_.calls.push_back("unlock()"); }
    FakeSystem& system_;
  };
  return another_run ? nullptr : std::make_unique<Held>(*this);
}

FolderLock FakeSystem::lock_folder(const std::string& folder) {
  enter("lock_folder", folder, folder);
  if (!folders.count(folder)) throw RunError(kPathNotFound, folder);
  if (held_folders.count(folder)) return {FolderLockState::kHeld, nullptr};
  if (unwritable_folders.count(folder)) return {FolderLockState::kNotWritable, nullptr};
  struct Held : RunLock {
    explicit Held(FakeSystem& system) : system_(system) {}
    ~Held() override { system_.calls.push_back("unlock_folder()"); }
    FakeSystem& system_;
  };
  return {FolderLockState::kLocked, std::make_unique<Held>(*this)};
}

Elevation FakeSystem::elevation() {
  enter("elevation", "");
  return elevation_state;
}

std::optional<int> FakeSystem::run_elevated() {
  enter("run_elevated", "");
  return elevated_status;
}

// The installer's folder holds what the package shipped, as files named as on Windows.
std::optional<DeliveredFile> FakeSystem::hold_delivered_file(const std::string& name) {
  const std::string path = app_folder + "\\" + name;
  enter("hold_delivered_file", name, path);
  const auto found = files.find(path);
  if (found == files.end()) return std::nullopt;
  return DeliveredFile{path, found->second};
}

void FakeSystem::bind_toolkit(const std::string& library) {
  enter("bind_toolkit", library, library);
  const auto toolkit = toolkits.find(library.substr(0, library.rfind('.')));
  if (toolkit == toolkits.end() || !toolkit->second.loads) throw RunError(kFileNotFound, library);
  if (toolkit->second.bind_error != ErrorNumber{}) throw RunError(toolkit->second.bind_error, library);
}

// Stands in for the ANSI code page 1252 and MAX_PATH: characters beyond U+00FF (UTF-8 lead bytes from
// 0xC4 on) don't convert.
bool FakeSystem::toolkit_accepts(const std::string& text) {
  enter("toolkit_accepts", text);
  return text.size() < 260 && std::none_of(text.begin(), text.end(), [](char c) {
           return c == '\0' || static_cast<unsigned char>(c) >= 0xC4;
         });
}

FileKind FakeSystem::file_kind(const std::string& path) {
  enter("file_kind", path, path);
  if (folders.count(path)) return FileKind::kFolder;
  if (others.count(path)) return FileKind::kOther;
  return files.count(path) ? FileKind::kRegular : FileKind::kMissing;
}

bool FakeSystem::is_absolute_path(const std::string& path) {
  enter("is_absolute_path", path);
  const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
                     path[1] == ':' && path[2] == '\\';
  return drive || path.starts_with("\\\\");
}

std::unique_ptr<ProcessSnapshot> FakeSystem::create_process_snapshot(std::uint32_t flags,
                                                                     std::uint32_t process_id) {
  enter("create_process_snapshot", std::to_string(flags) + ", " + std::to_string(process_id));
  if (failing_snapshots.count(flags)) return nullptr;
  return std::make_unique<FakeSnapshot>(*this);
}

std::unique_ptr<ShellLink> FakeSystem::create_link_object() {
  enter("create_link_object", "");
  if (link_object_fails) throw RunError(kCantCreateObject);
  return std::make_unique<FakeLink>(*this);
}

std::int32_t FakeSystem::call_toolkit(const std::string& library, const std::string& gruppo,
                                      const std::string& titolo, const std::string& percorso) {
  const auto toolkit = toolkits.find(library.substr(0, library.rfind('.')));
  if (toolkit == toolkits.end() || !toolkit->second.loads) throw RunError(kFileNotFound, library);
  if (toolkit->second.bind_error != ErrorNumber{}) throw RunError(toolkit->second.bind_error, library);
  if (toolkit->second.result != 0 && toolkit->second.writes_shortcut) {
    const std::string folder = gruppo == "." ? programs : programs + "\\" + gruppo;
    const std::string path = folder + "\\" + titolo + ".lnk";
    replace(path, "shortcut to " + percorso);
    // As the toolkits do, the shortcut starts its program in the program's own folder.
    shortcuts[path] = FakeShortcut{.path = percorso, .working_directory = folder_of(percorso)};
  }
  return toolkit->second.result;
}

std::int32_t FakeSystem::create_shell_link(const std::string& library, const std::string& gruppo,
                                           const std::string& titolo, const std::string& percorso,
                                           const std::string& argomenti) {
  enter("create_shell_link",
        library + ", " + gruppo + ", " + titolo + ", " + percorso + ", \"" + argomenti + "\"", library);
  return call_toolkit(library, gruppo, titolo, percorso);
}

std::int32_t FakeSystem::create_shell_link(const std::string& library, const std::string& gruppo,
                                           const std::string& titolo, const std::string& percorso,
                                           const std::string& argomenti, std::int32_t privato,
                                           const std::string& genitore) {
  enter("create_shell_link",
        library + ", " + gruppo + ", " + titolo + ", " + percorso + ", \"" + argomenti + "\", " +
            std::to_string(privato) + ", " + genitore,
        library);
  return call_toolkit(library, gruppo, titolo, percorso);
}

std::string FakeSystem::read_file(const std::string& path) {
  enter("read_file", path, path);
  const auto found = files.find(path);
  if (found == files.end()) throw RunError(kFileNotFound, path);
  return found->second;
}

void FakeSystem::write_file(const std::string& path, const std::string& bytes) {
  enter("write_file", path, path);
  replace(path, bytes);
}

void FakeSystem::delete_file(const std::string& path) {
  enter("delete_file", path, path);
  if (!files.count(path)) throw RunError(kFileNotFound, path);
  change_disk();
  files.erase(path);
  shortcuts.erase(path);
}

void FakeSystem::copy_file(const std::string& from, const std::string& to) {
  enter("copy_file", from + " -> " + to, to);
  const auto found = files.find(from);
  if (found == files.end()) throw RunError(kFileNotFound, from);
  replace(to, found->second);
  if (shortcuts.count(from)) shortcuts[to] = shortcuts[from];
}

void FakeSystem::clean_up_replace(const std::string& path) {
  enter("clean_up_replace", path, path);
  const std::string backups = path + kBackup;
  const auto backup = files.lower_bound(backups);
  if (!files.count(path) && backup != files.end() && backup->first.starts_with(backups)) {
    change_disk();
    files[path] = backup->second;
    files.erase(backup);
  }
  for (const std::string& mark : {path + kTemporary, backups}) {
    for (auto file = files.lower_bound(mark); file != files.end() && file->first.starts_with(mark);) {
      change_disk();
      file = files.erase(file);
    }
  }
}

std::string FakeSystem::short_date() {
  enter("short_date", "");
  return date;
}

// Stands in for the ANSI code page 1252 as Latin-1: a character beyond U+00FF becomes '?'.
std::string FakeSystem::to_log_text(const std::string& text) {
  enter("to_log_text", text);
  std::string bytes;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    const bool latin1 = length == 2 && lead <= 0xC3;
    bytes += length == 1 ? text[i]
             : latin1
                 ? static_cast<char>(((lead & 0x03) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F))
                 : '?';
    i += length;
  }
  return bytes;
}

std::string FakeSystem::from_log_text(const std::string& bytes) {
  enter("from_log_text", bytes);
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      text += c;
    } else {
      text += static_cast<char>(0xC0 | (byte >> 6));
      text += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return text;
}

std::string FakeSystem::app_path() {
  enter("app_path", "");
  return app_folder;
}

int FakeSystem::message_box(const std::string& text, const std::string& title, int style) {
  enter("message_box", text + ", " + title + ", " + std::to_string(style));
  boxes.push_back({text, title, style});
  return 1;
}

void FakeSystem::do_events() {
  enter("do_events", "");
}

std::uintptr_t FakeSystem::do_load_library(const std::string& name) {
  enter("load_library", name);
  const auto toolkit = toolkits.find(name);
  if (toolkit == toolkits.end() || !toolkit->second.loads) return 0;
  loaded_.push_back(name);
  return loaded_.size();
}

void FakeSystem::do_free_library(std::uintptr_t handle) {
  enter("free_library", loaded_.at(handle - 1));
}

}  // namespace ludrimex::testing
