#include "launcher/run_error.h"

#include <cstdio>

namespace sorvanta {

std::string error_description(std::int32_t number) {
  switch (number) {
    case kInvalidArgument:
      return "Chiamata di routine o argomento non validi";
    case kOverflow:
      return "Overflow";
    case kInvalidPropertyValue:
      return "Valore della proprietà non valido";
    case kMethodFailed:
      return "Errore di automazione: errore non specificato";
    case kCommandNotSupported:
      return "Errore di automazione: comando non supportato";
    default:
      return "Errore definito dall'applicazione o dall'oggetto";
  }
}

RunError::RunError(std::int32_t number) : RunError(number, error_description(number)) {}

RunError::RunError(std::int32_t number, const std::string& description)
    : std::runtime_error(description), number_(number) {}

std::string run_error_report(const RunError& error) {
  std::string number = std::to_string(error.number());
  if (error.number() < 0) {
    // Automation errors are also shown as the HRESULT, as the runtime does.
    char hex[16];
    std::snprintf(hex, sizeof hex, " (%08X)", static_cast<unsigned>(error.number()));
    number += hex;
  }
  return "Errore di run-time '" + number + "':\n\n" + error.description();
}

}  // namespace sorvanta
