#include "patch/shortcut_reader.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "patch/runtime_text.h"

namespace ludrimex {
namespace {

constexpr std::size_t kTextSize = 255;  // characters
constexpr std::size_t kFirstBuffer = 1024;
constexpr std::size_t kLargestBuffer = std::size_t{1}
                                       << 20;  // a shortcut's text: 65,535 UTF-16 units at most
constexpr std::size_t kLongestCharacter = 4;   // bytes of UTF-8

// The value a text query writes, whole: asked again with twice the room while it may have been cut,
// which a value ending within one character of the buffer's end may have been.
std::optional<std::string> whole_value(const std::function<Status(std::span<char>)>& query) {
  std::vector<char> buffer(kFirstBuffer);
  while (true) {
    std::fill(buffer.begin(), buffer.end(), ' ');
    if (failed(query(buffer))) return std::nullopt;
    const auto nul = std::find(buffer.begin(), buffer.end(), '\0');
    const auto length = static_cast<std::size_t>(nul - buffer.begin());
    if (length + kLongestCharacter < buffer.size() || buffer.size() >= kLargestBuffer)
      return std::string(buffer.begin(), nul);
    buffer.resize(buffer.size() * 2);
  }
}

// Runs one text query the way the shell's callers do: the output is 255 spaces until the query
// succeeds, then the value, its NUL and spaces up to 255 characters; a longer value comes whole, with
// its NUL and no spaces, so that nothing is ever cut.
bool query_text(std::string& output, const std::function<Status(std::span<char>)>& query) {
  output.assign(kTextSize, ' ');
  const auto value = whole_value(query);
  if (!value) return false;
  output = *value + '\0';
  const std::size_t characters = length_in_characters(output);
  if (characters < kTextSize) output.append(kTextSize - characters, ' ');
  return true;
}

bool read_link(ShellLink& link, const std::string& collegamento, std::string& percorso,
               std::string& cartella_lavoro, std::string& argomenti, std::string& icona,
               std::int32_t& indice_icona, std::int32_t& modo_finestra) {
  if (failed(link.load(collegamento, kStgmRead))) return false;
  if (!query_text(percorso, [&](std::span<char> b) { return link.get_path(b, kSlgpUncPriority); }))
    return false;
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
  const auto link = system.create_link_object();
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
