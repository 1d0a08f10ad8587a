#pragma once
// Ludrimex's System on Windows, as system.h describes it. Each group of overrides below is defined in
// the file its comment names.
#include <chrono>
#include <memory>
#include <string>

#include "patch/system.h"
#include "patch/win32/delivery.h"
#include "patch/win32/file_access.h"
#include "patch/win32/toolkit_libraries.h"
#include "win32/dll_search.h"
#include "win32/scoped.h"

namespace ludrimex::windows {

class WindowsSystem final : public System {
 public:
  // Restricts the DLL search to the system folder before anything is loaded, then initialises COM
  // for this thread. Every file the run meets goes through `calls`, and the run waits at most
  // `wait_budget` in all for files other programs hold.
  explicit WindowsSystem(std::unique_ptr<FileCalls> calls = std::make_unique<SystemFileCalls>(),
                         std::chrono::milliseconds wait_budget = FileAccess::kWaitBudget);

  // platform_system.cpp
  std::string special_folder(const std::string& name) override;
  std::string app_path() override;
  int message_box(const std::string& text, const std::string& title, int style) override;
  void do_events() override;
  // short_date.cpp
  std::string short_date() override;
  std::string to_log_text(const std::string& text) override;
  std::string from_log_text(const std::string& bytes) override;
  // run_lock.cpp
  std::unique_ptr<RunLock> lock_single_run(const std::string& name) override;
  FolderLock lock_folder(const std::string& folder) override;
  // elevation.cpp
  Elevation elevation() override;
  std::optional<int> run_elevated() override;
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
  // Declared in the order they must come up: the search order is fixed before COM loads anything,
  // and the bound toolkit libraries go before COM is shut down and before the files they were loaded
  // from are let go.
  win32::RestrictedDllSearch dll_search_;
  win32::ComInit com_;
  FileAccess access_;
  HeldDelivery delivery_{access_};
  ToolkitLibraries toolkit_{delivery_};
};

}  // namespace ludrimex::windows
