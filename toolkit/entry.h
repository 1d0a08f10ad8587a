#pragma once
// fCreateShellLink, the setup-toolkit libraries' one entry, in its two forms: the four texts (STKIT432,
// VB5STKIT), and VB6STKIT's, which adds whether the shortcut is the user's own and the menu folder it
// goes under. __stdcall on Windows, as the real libraries are; each returns nonzero when it made the
// shortcut.
#include <cstdint>

#ifdef _WIN32
#define TOOLKIT_CALL __stdcall
#else
#define TOOLKIT_CALL
#endif

namespace toolkit {

using CreateShellLink = std::int32_t(TOOLKIT_CALL*)(const char* gruppo, const char* titolo,
                                                    const char* percorso, const char* argomenti);
using CreateShellLinkUnder = std::int32_t(TOOLKIT_CALL*)(const char* gruppo, const char* titolo,
                                                         const char* percorso, const char* argomenti,
                                                         std::int32_t privato, const char* genitore);

}  // namespace toolkit
