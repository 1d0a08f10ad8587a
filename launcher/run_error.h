#pragma once
// How the launcher stops: on purpose (ProgramEnd) or through an error nobody traps (RunError).
#include <cstdint>
#include <stdexcept>
#include <string>

namespace sorvanta {

// Thrown by WindowSystem::end(); main() catches it and lets the program go.
struct ProgramEnd {};

// Error numbers the launcher can meet, with the runtime's own meaning.
enum ErrorNumber : std::int32_t {
  kInvalidArgument = 5,
  kOverflow = 6,
  kInvalidPropertyValue = 380,
  kMethodFailed = static_cast<std::int32_t>(0x80004005),         // E_FAIL from a control's method
  kCommandNotSupported = static_cast<std::int32_t>(0x80040100),  // OLECMDERR_E_NOTSUPPORTED
};

// The Italian description of an error number, as the report shows it.
std::string error_description(std::int32_t number);

// An error raised by the window system or a control; `number` follows the runtime's numbering.
class RunError : public std::runtime_error {
 public:
  explicit RunError(std::int32_t number);
  RunError(std::int32_t number, const std::string& description);
  std::int32_t number() const { return number_; }
  std::string description() const { return what(); }

 private:
  std::int32_t number_;
};

// The text of the runtime's report box for `error`.
std::string run_error_report(const RunError& error);

}  // namespace sorvanta
