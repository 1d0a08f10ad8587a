#pragma once
// Ludrimex's System on Linux: the stand-ins for the Windows interfaces it uses, as system.h describes
// them. Each group of overrides below is defined in the file its comment names.
#include <chrono>

#include "patch/posix/delivery.h"
#include "patch/posix/toolkit_libraries.h"
#include "patch/system.h"
#include "posix/message_box.h"

namespace ludrimex::stand_in {

class PosixSystem : public System {
 public:
  PosixSystem();

  // platform_system.cpp
  std::string special_folder(const std::string& name) override;
  std::string app_path() override;
  int message_box(const std::string& text, const std::string& title, int style) override;
  void do_events() override;
  // No user here can be given more rights by this program: a folder it may not write is refused.
  Elevation elevation() override { return Elevation::kNone; }
  std::optional<int> run_elevated() override { return std::nullopt; }
  // short_date.cpp
  std::string short_date() override;
  std::string to_log_text(const std::string& text) override;
  std::string from_log_text(const std::string& bytes) override;
  // run_lock.cpp
  std::unique_ptr<RunLock> lock_single_run(const std::string& name) override;
  FolderLock lock_folder(const std::string& folder) override;
  // process_snapshot.cpp
  std::unique_ptr<ProcessSnapshot> create_process_snapshot(std::uint32_t flags,
                                                           std::uint32_t process_id) override;
  // shell_link.cpp
  std::unique_ptr<ShellLink> create_link_object() override;
  // delivery.cpp
  std::optional<DeliveredFile> hold_delivered_file(const std::string& name) override;
  // toolkit_libraries.cpp
  void bind_toolkit(const std::string& library) override;
  bool toolkit_accepts(const std::string& text) override;
  std::int32_t create_shell_link(const std::string& library, const std::string& gruppo,
                                 const std::string& titolo, const std::string& percorso,
                                 const std::string& argomenti) override;
  std::int32_t create_shell_link(const std::string& library, const std::string& gruppo,
                                 const std::string& titolo, const std::string& percorso,
                                 const std::string& argomenti, std::int32_t privato,
                                 const std::string& genitore) override;
  // files.cpp
  std::string dir(const std::string& path, int attributes) override;
  FileKind file_kind(const std::string& path) override;
  bool is_absolute_path(const std::string& path) override;
  std::string read_file(const std::string& path) override;
  void write_file(const std::string& path, const std::string& bytes) override;
  void delete_file(const std::string& path) override;
  void copy_file(const std::string& from, const std::string& to) override;
  void clean_up_replace(const std::string& path) override;

 protected:
  // toolkit_libraries.cpp
  std::uintptr_t do_load_library(const std::string& name) override;
  void do_free_library(std::uintptr_t handle) override;

 private:
  std::string app_path_;
  HeldDelivery delivery_;
  ToolkitLibraries libraries_;
  ::posix::GtkMessageBox message_box_;
  std::chrono::steady_clock::time_point events_due_{};  // do_events lets calls before this go
};

}  // namespace ludrimex::stand_in
