// Any text as the shortcut's working directory: correzione_path repairs it into the folder a plain
// reading of the rules gives (trim the spaces, drop the last character, restore the separator before
// "progetto_html"), or stops with the error those rules call for; then it patches that folder.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "patch/errors.h"
#include "patch/form1.h"
#include "tests/fuzz/require.h"
#include "tests/patch_logic/fake_system.h"

namespace {

using ludrimex::Form1;
using ludrimex::ProgramEnd;
using ludrimex::RunError;
using ludrimex::testing::FakeSystem;

const std::string kPrograms = R"(C:\Users\Anna\Menu Start\Programmi)";

struct Expected {
  ludrimex::ErrorNumber error{};  // none: the folder below
  std::string folder;
};

// A repaired folder must be absolute ("X:\..." or "\\..."), and the fake toolkit must take every
// target in it: no NUL, nothing beyond U+00FF, the longest target shorter than 260 bytes.
Expected checked(const std::string& folder) {
  const bool drive = folder.size() >= 3 && std::isalpha(static_cast<unsigned char>(folder[0])) &&
                     folder[1] == ':' && folder[2] == '\\';
  if (!drive && !folder.starts_with("\\\\")) return {ludrimex::kPathNotFound, {}};
  const bool convertible = std::none_of(folder.begin(), folder.end(), [](char c) {
    return c == '\0' || static_cast<unsigned char>(c) >= 0xC4;
  });
  if (!convertible || folder.size() + std::string("\\VeltranoCatalogoUnistall.exe").size() >= 260)
    return {ludrimex::kBadFileName, folder};
  return {ludrimex::ErrorNumber{}, folder};
}

// The repair, written out from the rules on its own.
Expected repair(const std::string& path) {
  std::size_t first = 0;
  std::size_t last = path.size();
  while (first < last && path[first] == ' ') ++first;
  while (last > first && path[last - 1] == ' ') --last;
  if (first == last) return {ludrimex::kInvalidArgument, {}};
  // The last character: its lead byte and any continuation bytes after it.
  std::size_t end = last - 1;
  while (end > first && (static_cast<unsigned char>(path[end]) & 0xC0) == 0x80) --end;
  std::string folder = path.substr(first, end - first);
  if (folder.empty()) return {ludrimex::kPathNotFound, {}};
  std::string lower = folder;
  for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
  if (lower.find("veltranocatalogoprogetto_html") == std::string::npos) return checked(folder);
  std::string repaired;
  const std::string marker = "progetto_html";
  for (std::size_t i = 0; i < folder.size();) {
    if (folder.compare(i, marker.size(), marker) == 0) {
      repaired += "\\" + marker;
      i += marker.size();
    } else {
      repaired += folder[i++];
    }
  }
  return checked(repaired);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path(reinterpret_cast<const char*>(data), size);
  const Expected expected = repair(path);

  FakeSystem sys;
  // A folder named like the delivered launcher would be a folder and a file at once in the fake.
  if (expected.folder == sys.app_folder + R"(\Sorvanta.exe)") return 0;
  sys.programs = kPrograms;
  sys.folders = {kPrograms, kPrograms + R"(\Veltrano Catalogo)", sys.app_folder};
  sys.files[sys.app_folder + R"(\Sorvanta.exe)"] = "new launcher";
  sys.toolkits["STKIT432"] = {};
  // The folder is there, and locked for the run, even where its paths are too long or outside the
  // toolkit's code page.
  if (!expected.folder.empty()) sys.folders.insert(expected.folder);
  Form1 form(sys);

  try {
    form.correzione_path(path, kPrograms);
  } catch (const RunError& error) {
    require(expected.error != ludrimex::ErrorNumber{} && error.number() == expected.error);
    require(sys.calls_of({"write_file", "copy_file", "delete_file"}).empty());
    return 0;
  } catch (const ProgramEnd&) {
    std::abort();  // there is no log yet: nothing to refuse
  }
  require(expected.error == ludrimex::ErrorNumber{});
  const auto looked_up = sys.calls_of({"file_kind"});
  require(!looked_up.empty() && looked_up.front() == "file_kind(" + expected.folder + "\\patch.txt)");
  require(sys.files.count(expected.folder + R"(\patch.txt)") == 1);
  require(sys.files.at(expected.folder + R"(\Sorvanta.exe)") == "new launcher");
  return 0;
}
