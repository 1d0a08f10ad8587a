#pragma once
// What the Windows tests need around the code under test: build paths, scratch folders, child
// processes and an independent look at shortcut files.
#include <windows.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <utility>

#include "win32/scoped.h"

namespace wine_test {

namespace fs = std::filesystem;

// A build artefact given by its Linux path (Wine maps the Linux root to Z:).
fs::path built(const char* linux_path);

// A folder of its own under the temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::wstring& name_hint = L"veltrano");
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder();
  const fs::path& path() const { return path_; }
  fs::path operator/(const std::wstring& name) const { return path_ / name; }

 private:
  fs::path path_;
};

// The current user's Start-menu Programs folder, straight from the shell.
fs::path programs_folder();

// A child process; killed when it goes if it still runs. `show`, when given, is the start-up info's
// show command (a shortcut's "Run: Maximized", SW_SHOWMAXIMIZED).
class Child {
 public:
  Child(const fs::path& program, const fs::path& current_directory, const std::wstring& arguments = {},
        int show = -1);
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child();
  DWORD id() const { return id_; }
  // The exit status, or STILL_ACTIVE when it did not end within `timeout_ms`.
  DWORD wait(DWORD timeout_ms = 60000);
  void kill();

 private:
  win32::ObjectHandle process_;
  DWORD id_ = 0;
};

// Runs `program` in `current_directory` to its end; its exit status.
DWORD run(const fs::path& program, const fs::path& current_directory, const std::wstring& arguments = {});

// What the shell reads back from a shortcut file.
struct LinkFields {
  std::wstring target;
  std::wstring working_directory;
  std::wstring arguments;
};
LinkFields read_link(const fs::path& file);

// Writes a shortcut with the shell's link object.
struct LinkSpec {
  std::wstring target = {};
  std::wstring working_directory = {};
  std::wstring arguments = {};
  std::wstring description = {};
  std::wstring icon = {};
  int icon_index = 0;
  WORD hotkey = 0;
  int show_cmd = SW_SHOWNORMAL;
};
void write_link(const fs::path& file, const LinkSpec& spec);

std::string utf8(const std::wstring& text);
// Every byte of `file`; and `bytes` as the whole of `file`.
std::string read_bytes(const fs::path& file);
void write_bytes(const fs::path& file, const std::string& bytes);
// The names in `folder`.
std::set<std::wstring> names_in(const fs::path& folder);
// Today in the user's short date form, as Ludrimex records a patch.
std::string today();

// The catalogue's Start-menu shortcuts as its installer makes them: each title and its program in
// the HTML folder; and the three made in `group` for the HTML folder `html`.
extern const std::array<std::pair<const wchar_t*, const wchar_t*>, 3> kCatalogueShortcuts;
void write_catalogue_shortcuts(const fs::path& group, const fs::path& html);

}  // namespace wine_test
