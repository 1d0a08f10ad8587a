#include "errors.h"

#include <utility>

namespace ludrimex {

std::string error_description(int number) {
  switch (number) {
    case kInvalidArgument:
      return "Chiamata di routine o argomento non validi";
    case kOverflow:
      return "Overflow";
    case kOutOfMemory:
      return "Memoria esaurita";
    case kTypeMismatch:
      return "Tipo non corrispondente";
    case kDllLoadError:
      return "Errore durante il caricamento della DLL";
    case kInternalError:
      return "Errore interno";
    case kBadFileName:
      return "Nome o numero di file non valido";
    case kFileNotFound:
      return "Impossibile trovare il file";
    case kDeviceIoError:
      return "Errore di I/O della periferica";
    case kDiskFull:
      return "Disco pieno";
    case kDeviceUnavailable:
      return "Periferica non disponibile";
    case kPermissionDenied:
      return "Autorizzazione negata";
    case kDiskNotReady:
      return "Disco non pronto";
    case kPathFileAccessError:
      return "Errore di accesso al percorso/file";
    case kPathNotFound:
      return "Impossibile trovare il percorso";
    case kCantCreateObject:
      return "Il componente ActiveX non può creare l'oggetto";
    case kDllEntryNotFound:
      return "Impossibile trovare il punto di ingresso della DLL";
    default:
      return "Errore definito dall'applicazione o dall'oggetto";
  }
}

RunError::RunError(int number, std::string subject)
    : std::runtime_error("Errore " + std::to_string(number) + ": " + error_description(number)),
      number_(number),
      description_(error_description(number)),
      subject_(std::move(subject)) {}

}  // namespace ludrimex
