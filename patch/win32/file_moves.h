#pragma once
// The two calls of the Windows file layer that put one file in another's place, behind one point so
// that a test can make them fail the way the system documents.
#include <windows.h>

#include <memory>
#include <string>

namespace ludrimex::windows {

class FileMoves {
 public:
  virtual ~FileMoves() = default;
  // ReplaceFileW(replaced, replacement, backup, REPLACEFILE_IGNORE_MERGE_ERRORS), no backup when
  // `backup` is empty: ERROR_SUCCESS, or the error it failed with.
  virtual DWORD replace(const std::wstring& replaced, const std::wstring& replacement,
                        const std::wstring& backup) = 0;
  // MoveFileExW(from, to, flags): ERROR_SUCCESS, or the error it failed with.
  virtual DWORD move(const std::wstring& from, const std::wstring& to, DWORD flags) = 0;
};

// The system's own calls.
std::unique_ptr<FileMoves> system_file_moves();

}  // namespace ludrimex::windows
