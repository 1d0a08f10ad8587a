#pragma once
// How both programs stop: on purpose (ProgramEnd) or through an error nobody traps (RunError), with the
// runtime's one table of error numbers and their Italian descriptions.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace runtime {

// Thrown where a program ends on purpose; main() catches it and exits with `status`.
struct ProgramEnd {
  int status = 0;
};

// The runtime's error numbers the programs meet. An automation error's number is the failed HRESULT
// itself (automation_error); no other HRESULT is an error number.
enum class ErrorNumber : std::int32_t {
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
  kInvalidPropertyValue = 380,
  kCantCreateObject = 429,
  kDllEntryNotFound = 453,
  kMethodFailed = static_cast<std::int32_t>(0x80004005),         // E_FAIL from a control's method
  kCommandNotSupported = static_cast<std::int32_t>(0x80040100),  // OLECMDERR_E_NOTSUPPORTED
};

// The error number of a failed HRESULT, as the runtime reports an automation error.
constexpr ErrorNumber automation_error(std::int32_t hresult) {
  return static_cast<ErrorNumber>(hresult);
}

// The number as the reports show it.
constexpr std::int32_t value(ErrorNumber number) {
  return static_cast<std::int32_t>(number);
}

// An error nobody traps: it ends the run with one report naming it and, where there is one, the file
// it concerns.
class RunError : public std::runtime_error {
 public:
  explicit RunError(ErrorNumber number, std::string subject = {});
  // An error whose report gives `description` in place of the table's.
  static RunError described(ErrorNumber number, std::string description);

  ErrorNumber number() const { return number_; }
  const std::string& description() const { return description_; }
  // The file or folder concerned, empty when there is none.
  const std::string& subject() const { return subject_; }

 private:
  RunError(ErrorNumber number, std::string description, std::string subject);

  ErrorNumber number_;
  std::string description_;
  std::string subject_;
};

// The launcher's report box: "Errore di run-time 'N':" and the description, an automation error's
// number followed by its hexadecimal form.
std::string run_time_report(const RunError& error);

// The installer's report: "Errore N: descrizione", then the file concerned on a second line.
std::string error_report(const RunError& error);

}  // namespace runtime
