#include "patch/win32/win32_errors.h"

#include "patch/errors.h"

namespace ludrimex::windows {

ErrorNumber run_error_number(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
      return kFileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_DIRECTORY:
      return kPathNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_USER_MAPPED_FILE:
    case ERROR_UNABLE_TO_REMOVE_REPLACED:
      return kPermissionDenied;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return kBadFileName;
    case ERROR_INVALID_DRIVE:
    case ERROR_DEV_NOT_EXIST:
      return kDeviceUnavailable;
    case ERROR_NOT_READY:
      return kDiskNotReady;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return kDiskFull;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
      return kDeviceIoError;
    default:
      return kPathFileAccessError;
  }
}

void throw_last_error(const std::string& subject) {
  throw RunError(run_error_number(::GetLastError()), subject);
}

}  // namespace ludrimex::windows
