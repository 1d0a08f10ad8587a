#pragma once
// How the Windows file layer replaces a file in one step: the new content goes to a file of its own
// beside the old one, which then takes the old one's place.
#include <windows.h>

#include <string>

#include "patch/win32/file_moves.h"
#include "win32/scoped.h"

namespace ludrimex::windows {

// A new file beside the one it is to replace, holding the next content until it takes that one's
// place in a single step; deleted again unless it did.
class Replacement {
 public:
  // Refuses at once (RunError) a `path` that may not be written; `moves` puts the file in place.
  Replacement(const std::string& path, FileMoves& moves);
  Replacement(const Replacement&) = delete;
  Replacement& operator=(const Replacement&) = delete;
  ~Replacement();

  void write(const std::string& bytes);
  void copy_from(const std::string& from);
  // Puts the new content in place: the file holds either its old bytes or the new ones, never a part.
  void commit();

 private:
  std::string path_;
  std::wstring target_;
  DWORD attributes_ = INVALID_FILE_ATTRIBUTES;
  FileMoves& moves_;
  std::wstring name_;
  win32::KernelHandle file_;
  bool done_ = false;
};

}  // namespace ludrimex::windows
