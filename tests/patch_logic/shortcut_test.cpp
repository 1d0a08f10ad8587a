// Reading the catalogue shortcut, and having a toolkit library create one.
#include <string>
#include <vector>

#include "patch/shortcut_creator.h"
#include "patch/shortcut_reader.h"
#include "tests/patch_logic/installation.h"

namespace ludrimex::testing {
namespace {

using Shortcuts = Installation;

// A text as the reader hands it back: value, NUL, spaces up to 255 characters (ASCII values here).
std::string text_form(const std::string& value) {
  return value.size() >= 254 ? value + '\0' : as_read(value);
}

TEST_F(Shortcuts, ReadsEveryTextIn255Characters) {
  sys.shortcuts[shortcut] = {R"(C:\Cat\Sorvanta.exe)", R"(C:\Cat\html)", "-x", "Catalogo", "C:\\i.ico", 3, 7};
  std::string percorso, cartella, argomenti, icona;
  std::int32_t indice = 0, modo = 0;
  ASSERT_TRUE(leggi_collegamento(sys, shortcut, percorso, cartella, argomenti, icona, indice, modo));
  EXPECT_EQ(cartella, std::string(R"(C:\Cat\html)") + '\0' + std::string(243, ' '));
  EXPECT_EQ(std::vector({percorso, argomenti, icona}),
            std::vector({text_form(R"(C:\Cat\Sorvanta.exe)"), text_form("-x"), text_form("C:\\i.ico")}));
  EXPECT_EQ(std::pair(indice, modo), std::pair(3, 7));
  EXPECT_EQ(sys.calls.back(), "release_link()");
}

// Characters are counted, not bytes, and a value that does not fit comes whole: nothing is cut.
TEST_F(Shortcuts, ReadsTheWorkingDirectoryWhole) {
  std::string accented;
  for (int k = 0; k < 153; ++k) accented += "\xC3\xA8";  // 153 characters, 306 bytes
  const std::string c1019(1019, 'c'), c1020(1020, 'c'), c5000(5000, 'c');
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", std::string(1, '\0') + std::string(254, ' ')},
      {std::string(253, 'c'), std::string(253, 'c') + '\0' + ' '},
      {std::string(254, 'c'), std::string(254, 'c') + '\0'},
      {accented, accented + '\0' + std::string(101, ' ')},
      {accented + accented, accented + accented + '\0'},
      {c1019, c1019 + '\0'},  // fills the first buffer but one: asked again with more room
      {c1020, c1020 + '\0'},
      {c5000, c5000 + '\0'},
  };
  for (const auto& [folder, expected] : cases) {
    sys.shortcuts[shortcut].working_directory = folder;
    EXPECT_EQ(cartella_collegamento(sys, shortcut), expected) << folder.size();
  }
}

TEST_F(Shortcuts, AFailingQueryMakesTheReadFalseAndKeepsWhatCameBefore) {
  const std::string folder = text_form(html);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"get_path", ""},          {"get_working_directory", std::string(255, ' ')},
      {"get_arguments", folder}, {"get_description", folder},
      {"get_hotkey", folder},    {"get_icon_location", folder},
      {"get_id_list", folder},   {"get_show_cmd", folder}};
  for (const auto& [query, expected] : cases) {
    sys.shortcuts[shortcut].failing_query = query;
    std::string percorso = "?", cartella = "?", argomenti = "?", icona = "?";
    std::int32_t indice = -5, modo = -5;
    EXPECT_FALSE(leggi_collegamento(sys, shortcut, percorso, cartella, argomenti, icona, indice, modo));
    if (query == "get_arguments") {
      EXPECT_EQ(argomenti + icona, std::string(255, ' ') + "?");  // later outputs stay untouched
    }
    EXPECT_EQ(cartella_collegamento(sys, shortcut), expected) << query;
    EXPECT_EQ(sys.calls.back(), "release_link()");
  }
  sys.shortcuts[shortcut].failing_query.clear();  // an error raised inside a query is trapped too
  sys.fail("get_arguments", static_cast<int>(sys.calls_of({"get_arguments"}).size()) + 1, kDeviceIoError);
  EXPECT_EQ(cartella_collegamento(sys, shortcut), folder);
}

TEST_F(Shortcuts, AShortcutThatCantBeReadGivesTheEmptyText) {
  EXPECT_EQ(cartella_collegamento(sys, ""), "");
  EXPECT_TRUE(sys.calls.empty());  // no link object for an empty path
  EXPECT_EQ(cartella_collegamento(sys, group + "\\Assente.lnk"), "");
  sys.link_object_fails = true;  // not trapped: the report names it
  EXPECT_EQ(error_of([&] { cartella_collegamento(sys, shortcut); }), "429");
}

TEST_F(Shortcuts, ProbesTheToolkitsAndCallsTheLastOneThatLoads) {
  const std::string tail = "., Veltrano Catalogo, C:\\Cat\\Sorvanta.exe, \"\"";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"STKIT432", "VB5STKIT", "VB6STKIT"},
       "create_shell_link(VB6STKIT.DLL, " + tail + ", -1, $(Programs))"},
      {{"STKIT432", "VB5STKIT"}, "create_shell_link(VB5STKIT.DLL, " + tail + ")"},
      {{"STKIT432"}, "create_shell_link(STKIT432.DLL, " + tail + ")"},
      {{}, ""},
  };
  for (const auto& [installed, call] : cases) {
    sys.toolkits.clear();
    for (const auto& name : installed) sys.toolkits[name] = FakeToolkit{};
    sys.calls.clear();
    sys.files.erase(a + "\\Veltrano Catalogo.lnk");
    EXPECT_EQ(crea_collegamento(sys, 0, ".", "Veltrano Catalogo", R"(C:\Cat\Sorvanta.exe)"), !call.empty());
    const auto calls = sys.calls_of({"create_shell_link"});
    EXPECT_EQ(calls, call.empty() ? std::vector<std::string>{} : std::vector{call});
    EXPECT_EQ(sys.files.count(a + "\\Veltrano Catalogo.lnk"), call.empty() ? 0u : 1u);
  }

  sys.toolkits = {{"VB5STKIT", FakeToolkit{}}};  // each probed library is freed again at once
  sys.calls.clear();
  crea_collegamento(sys, 0, ".", "T", "P");
  EXPECT_EQ(sys.calls_of({"load_library", "free_library"}),
            (std::vector<std::string>{"load_library(STKIT432)", "load_library(VB5STKIT)",
                                      "free_library(VB5STKIT)", "load_library(VB6STKIT)"}));
}

TEST_F(Shortcuts, TheResultIsTrueOnlyForANonZeroAnswerOfACalledToolkit) {
  for (const std::int32_t libreria : {3, 7, -1}) {
    sys.calls.clear();
    EXPECT_FALSE(crea_collegamento(sys, libreria, ".", "T", "P"));
    EXPECT_TRUE(sys.calls.empty());
  }
  sys.calls.clear();  // a chosen library is called without a probe, present or not
  EXPECT_FALSE(crea_collegamento(sys, 5, ".", "T", "P"));
  EXPECT_EQ(sys.calls, std::vector<std::string>{"create_shell_link(VB5STKIT.DLL, ., T, P, \"\")"});

  for (const auto& [answer, made] : {std::pair{1, true}, {7, true}, {-1, true}, {0, false}}) {
    sys.toolkits["STKIT432"].result = answer;
    EXPECT_EQ(crea_collegamento(sys, 0, ".", "T", "P"), made) << answer;
  }
}

}  // namespace
}  // namespace ludrimex::testing
