#pragma once
// How the Windows file layer replaces a file in one step: the new content goes to a file of its own
// beside the old one, which then takes the old one's place, the old one going to a backup name
// until the new one has its place.
#include <windows.h>

#include <string>

#include "patch/win32/file_access.h"
#include "win32/scoped.h"

namespace ludrimex::windows {

// A new file beside the one it is to replace, holding the next content until it takes that one's
// place in a single step; deleted again unless it did, or unless it holds the only copy left.
class Replacement {
 public:
  // Refuses at once (RunError) a `path` that may not be written; `access` puts the file in place.
  Replacement(const std::string& path, FileAccess& access);
  Replacement(const Replacement&) = delete;
  Replacement& operator=(const Replacement&) = delete;
  ~Replacement();

  void write(const std::string& bytes);
  // A copy of a file whose data are `bytes` and whose times and attributes are `source`: its data and
  // the time of its last write, nothing else of it (no alternate stream such as its Zone.Identifier),
  // and the replaced file's own mark of the Internet zone goes too.
  void copy_from(const std::string& bytes, const FILE_BASIC_INFO& source);
  // Puts the new content in place. Whatever fails, the old bytes or the new ones stay whole: under
  // the real name, or under the backup's name (the new ones too, when the old are lost), which
  // clean_up puts back.
  void commit();

  // System::clean_up_replace: what the replaces of `path` left behind when they were stopped.
  static void clean_up(const std::string& path, FileAccess& access);

 private:
  void create_temporary();
  void finish_writing();
  void drop_zone_mark();
  DWORD replace_in_place();
  void fill_free_name();
  void discard_backup();

  std::string path_;
  std::wstring target_;
  DWORD attributes_ = INVALID_FILE_ATTRIBUTES;
  FileAccess& access_;
  std::wstring name_;
  std::string backup_path_;
  std::wstring backup_;
  win32::KernelHandle file_;
  bool copy_ = false;
  bool done_ = false;  // the new file has the real name
  bool keep_ = false;  // the new file holds the only copy left
};

}  // namespace ludrimex::windows
