#pragma once
// How a run of the patch installer stops: a normal end (ProgramEnd) or an untrapped error (RunError).
#include <stdexcept>
#include <string>

namespace ludrimex {

// Exit statuses of Ludrimex.
enum ExitStatus : int { kInstalled = 0, kRefused = 1, kFailed = 2 };

// Thrown where the program ends on purpose; main() catches it and exits with `status`.
struct ProgramEnd {
  int status;
};

// Error numbers the installer can raise, with the runtime's own meaning.
enum ErrorNumber : int {
  kInvalidArgument = 5,
  kOverflow = 6,
  kOutOfMemory = 7,
  kTypeMismatch = 13,
  kDllLoadError = 48,
  kInternalError = 51,
  kBadFileName = 52,
  kFileNotFound = 53,
  kDeviceIoError = 57,
  kDiskFull = 61,
  kDeviceUnavailable = 68,
  kPermissionDenied = 70,
  kDiskNotReady = 71,
  kPathFileAccessError = 75,
  kPathNotFound = 76,
  kCantCreateObject = 429,
  kDllEntryNotFound = 453,
};

// The Italian description of an error number, as the report shows it.
std::string error_description(int number);

// An error nobody traps: it ends the run with one report naming it and the file it concerns.
class RunError : public std::runtime_error {
 public:
  RunError(int number, std::string subject = {});
  int number() const { return number_; }
  const std::string& description() const { return description_; }
  // The file or folder concerned, empty when there is none.
  const std::string& subject() const { return subject_; }

 private:
  int number_;
  std::string description_;
  std::string subject_;
};

}  // namespace ludrimex
