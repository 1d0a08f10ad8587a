#pragma once
// What the print dialog of "Stampa pagina" opens with: a printer chosen and, for printing to a
// file, the page's title as the file's name in the user's documents folder.
#include <gtk/gtk.h>

#include <string>

#include "launcher/gtk/gobject_ptr.h"

namespace sorvanta::gtk {

// The system's default printer, else the printer that prints to a file. Waits until every print
// backend has listed its printers, running the event loop meanwhile.
std::string preselected_printer();

// The user's documents folder, else the home folder.
std::string documents_folder();

// A file name for a page: its title (else the name of its address's file, else "pagina") with the
// characters that file systems refuse or that split a path replaced by '_', trimmed, within the
// length a file name may have, then ".pdf".
std::string print_file_name(const std::string& title, const std::string& uri);

// Settings for printing a page: `printer` chosen, and `folder`/`file_name` as the file printed to.
GObjectPtr<GtkPrintSettings> print_settings(const std::string& printer, const std::string& folder,
                                            const std::string& file_name);

}  // namespace sorvanta::gtk
