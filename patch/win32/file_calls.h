#pragma once
// The calls of the Windows file layer that meet other programs' files, behind one point so that a test
// can make them answer as Windows does where Wine is kinder: a replace stopped between its two
// renames, a file held by another program, a name still taken by a file pending delete.
#include <windows.h>

#include <memory>
#include <string>

#include "win32/scoped.h"

namespace ludrimex::windows {

// Each returns ERROR_SUCCESS or the system error it failed with.
class FileCalls {
 public:
  virtual ~FileCalls() = default;
  // ReplaceFileW(replaced, replacement, backup, REPLACEFILE_IGNORE_MERGE_ERRORS), no backup when
  // `backup` is empty.
  virtual DWORD replace(const std::wstring& replaced, const std::wstring& replacement,
                        const std::wstring& backup) = 0;
  // MoveFileExW(from, to, flags).
  virtual DWORD move(const std::wstring& from, const std::wstring& to, DWORD flags) = 0;
  // DeleteFileW(path).
  virtual DWORD remove(const std::wstring& path) = 0;
  // GetFileAttributesW(path) into `attributes`.
  virtual DWORD attributes(const std::wstring& path, DWORD& attributes) = 0;
  // CreateFileW(path, access, share, no security, disposition, flags, no template) into `file`.
  virtual DWORD create(const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags,
                       win32::KernelHandle& file) = 0;
};

// The system's own calls; a test derives from it to change a few.
class SystemFileCalls : public FileCalls {
 public:
  DWORD replace(const std::wstring& replaced, const std::wstring& replacement,
                const std::wstring& backup) override;
  DWORD move(const std::wstring& from, const std::wstring& to, DWORD flags) override;
  DWORD remove(const std::wstring& path) override;
  DWORD attributes(const std::wstring& path, DWORD& attributes) override;
  DWORD create(const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags,
               win32::KernelHandle& file) override;
};

}  // namespace ludrimex::windows
