#include <array>
#include <exception>
#include <functional>
#include <span>

#include "patch/module1.h"

namespace ludrimex {
namespace {

constexpr std::size_t kTextSize = 255;

// Runs one text query the way the shell's callers do: the output is 255 spaces until the query
// succeeds, then the whole buffer (value, NUL, the spaces the query did not overwrite).
bool query_text(std::string& output, const std::function<Status(std::span<char>)>& query) {
  output.assign(kTextSize, ' ');
  std::array<char, kTextSize> buffer;
  buffer.fill(' ');
  if (failed(query(buffer))) return false;
  output.assign(buffer.data(), buffer.size());
  return true;
}

bool read_link(ShellLink& link, const std::string& collegamento, std::string& percorso,
               std::string& cartella_lavoro, std::string& argomenti, std::string& icona,
               std::int32_t& indice_icona, std::int32_t& modo_finestra) {
  if (failed(link.load(collegamento, 0))) return false;
  if (!query_text(percorso, [&](std::span<char> b) { return link.get_path(b, 2); })) return false;
  if (!query_text(cartella_lavoro, [&](std::span<char> b) { return link.get_working_directory(b); }))
    return false;
  if (!query_text(argomenti, [&](std::span<char> b) { return link.get_arguments(b); })) return false;
  std::string descrizione;
  if (!query_text(descrizione, [&](std::span<char> b) { return link.get_description(b); })) return false;
  std::uint16_t tasto = 0;
  if (failed(link.get_hotkey(tasto))) return false;
  if (!query_text(icona, [&](std::span<char> b) { return link.get_icon_location(b, indice_icona); }))
    return false;
  if (failed(link.get_id_list())) return false;
  return !failed(link.get_show_cmd(modo_finestra));
}

}  // namespace

bool leggi_collegamento(System& system, const std::string& collegamento, std::string& percorso,
                        std::string& cartella_lavoro, std::string& argomenti, std::string& icona,
                        std::int32_t& indice_icona, std::int32_t& modo_finestra) {
  if (collegamento.empty()) return false;
  // Failing to create the link object is not trapped: the caller's report names it.
  const auto link = system.create_shell_link();
  try {
    return read_link(*link, collegamento, percorso, cartella_lavoro, argomenti, icona, indice_icona,
                     modo_finestra);
  } catch (const std::exception&) {
    return false;
  }
}

std::string cartella_collegamento(System& system, const std::string& collegamento) {
  std::string percorso, cartella_lavoro, argomenti, icona;
  std::int32_t indice_icona = 0, modo_finestra = 0;
  leggi_collegamento(system, collegamento, percorso, cartella_lavoro, argomenti, icona, indice_icona,
                     modo_finestra);
  return cartella_lavoro;
}

}  // namespace ludrimex
