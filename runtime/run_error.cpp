#include "runtime/run_error.h"

#include <cstdio>
#include <utility>

namespace runtime {
namespace {

// The Italian description of an error number, as the reports show it.
std::string error_description(ErrorNumber number) {
  switch (number) {
    case ErrorNumber::kInvalidArgument:
      return "Chiamata di routine o argomento non validi";
    case ErrorNumber::kOverflow:
      return "Overflow";
    case ErrorNumber::kOutOfMemory:
      return "Memoria esaurita";
    case ErrorNumber::kTypeMismatch:
      return "Tipo non corrispondente";
    case ErrorNumber::kDllLoadError:
      return "Errore durante il caricamento della DLL";
    case ErrorNumber::kInternalError:
      return "Errore interno";
    case ErrorNumber::kBadFileName:
      return "Nome o numero di file non valido";
    case ErrorNumber::kFileNotFound:
      return "Impossibile trovare il file";
    case ErrorNumber::kDeviceIoError:
      return "Errore di I/O della periferica";
    case ErrorNumber::kDiskFull:
      return "Disco pieno";
    case ErrorNumber::kDeviceUnavailable:
      return "Periferica non disponibile";
    case ErrorNumber::kPermissionDenied:
      return "Autorizzazione negata";
    case ErrorNumber::kDiskNotReady:
      return "Disco non pronto";
    case ErrorNumber::kPathFileAccessError:
      return "Errore di accesso al percorso/file";
    case ErrorNumber::kPathNotFound:
      return "Impossibile trovare il percorso";
    case ErrorNumber::kInvalidPropertyValue:
      return "Valore della proprietà non valido";
    case ErrorNumber::kCantCreateObject:
      return "Il componente ActiveX non può creare l'oggetto";
    case ErrorNumber::kDllEntryNotFound:
      return "Impossibile trovare il punto di ingresso della DLL";
    case ErrorNumber::kMethodFailed:
      return "Errore di automazione: errore non specificato";
    case ErrorNumber::kCommandNotSupported:
      return "Errore di automazione: comando non supportato";
  }
  return "Errore definito dall'applicazione o dall'oggetto";
}

std::string numbered(ErrorNumber number) {
  return "Errore " + std::to_string(value(number)) + ": " + error_description(number);
}

}  // namespace

RunError::RunError(ErrorNumber number, std::string subject)
    : RunError(number, error_description(number), std::move(subject)) {}

RunError RunError::described(ErrorNumber number, std::string description) {
  return RunError(number, std::move(description), {});
}

RunError::RunError(ErrorNumber number, std::string description, std::string subject)
    : std::runtime_error(numbered(number)),
      number_(number),
      description_(std::move(description)),
      subject_(std::move(subject)) {}

std::string run_time_report(const RunError& error) {
  const std::int32_t number = value(error.number());
  std::string shown = std::to_string(number);
  if (number < 0) {
    // Automation errors are also shown as the HRESULT, as the runtime does.
    char hex[16];
    std::snprintf(hex, sizeof hex, " (%08X)", static_cast<unsigned>(number));
    shown += hex;
  }
  return "Errore di run-time '" + shown + "':\n\n" + error.description();
}

std::string error_report(const RunError& error) {
  std::string text = numbered(error.number());
  if (!error.subject().empty()) text += "\n" + error.subject();
  return text;
}

}  // namespace runtime
