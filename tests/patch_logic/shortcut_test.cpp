// Reading the catalogue shortcut, and having a toolkit library create one.
#include <string>
#include <vector>

#include "patch/module1.h"
#include "tests/patch_logic/installation.h"

namespace ludrimex::testing {
namespace {

class Shortcuts : public Installation {
 protected:
  const std::string link = group + "\\Veltrano Catalogo.lnk";

  // Every text output of a successful read: value, NUL, spaces up to 255 characters.
  static std::string text_form(const std::string& value) {
    return value.size() >= 254 ? value.substr(0, 254) + '\0' : as_read(value);
  }
};

TEST_F(Shortcuts, ReadsEveryTextIn255Characters) {
  sys.shortcuts[link] =
      FakeShortcut{R"(C:\Cat\Sorvanta.exe)", R"(C:\Cat\html)", "-x", "Catalogo", R"(C:\Cat\icona.ico)", 3, 7};
  std::string percorso, cartella, argomenti, icona;
  std::int32_t indice = 0, modo = 0;
  ASSERT_TRUE(leggi_collegamento(sys, link, percorso, cartella, argomenti, icona, indice, modo));
  EXPECT_EQ(percorso, text_form(R"(C:\Cat\Sorvanta.exe)"));
  EXPECT_EQ(cartella, std::string(R"(C:\Cat\html)") + '\0' + std::string(243, ' '));
  EXPECT_EQ(argomenti, text_form("-x"));
  EXPECT_EQ(icona, text_form(R"(C:\Cat\icona.ico)"));
  EXPECT_EQ(indice, 3);
  EXPECT_EQ(modo, 7);
  EXPECT_EQ(sys.calls.back(), "release_link()");

  for (const std::string& folder : {std::string(), std::string(254, 'c'), std::string(300, 'c')}) {
    sys.shortcuts[link].working_directory = folder;
    const std::string read = cartella_collegamento(sys, link);
    EXPECT_EQ(read.size(), 255u);
    EXPECT_EQ(read, text_form(folder));
  }
}

TEST_F(Shortcuts, AFailingQueryMakesTheReadFalseAndKeepsWhatCameBefore) {
  const std::string folder = text_form(html);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"get_path", ""},          {"get_working_directory", std::string(255, ' ')},
      {"get_arguments", folder}, {"get_description", folder},
      {"get_hotkey", folder},    {"get_icon_location", folder},
      {"get_id_list", folder},   {"get_show_cmd", folder},
  };
  for (const auto& [query, expected] : cases) {
    sys.shortcuts[link].failing_query = query;
    std::string percorso = "?", cartella = "?", argomenti = "?", icona = "?";
    std::int32_t indice = -5, modo = -5;
    EXPECT_FALSE(leggi_collegamento(sys, link, percorso, cartella, argomenti, icona, indice, modo));
    if (query == "get_arguments") {
      EXPECT_EQ(argomenti, std::string(255, ' '));
      EXPECT_EQ(icona, "?");  // later outputs stay untouched
    }
    if (query == "get_show_cmd") {
      EXPECT_EQ(modo, -5);
    }
    EXPECT_EQ(cartella_collegamento(sys, link), expected) << query;
    EXPECT_EQ(sys.calls.back(), "release_link()");
  }

  // An error raised inside a query is trapped the same way.
  sys.shortcuts[link].failing_query.clear();
  sys.fail("get_arguments", static_cast<int>(sys.calls_of({"get_arguments"}).size()) + 1, kDeviceIoError);
  EXPECT_EQ(cartella_collegamento(sys, link), folder);
}

TEST_F(Shortcuts, AShortcutThatCantBeReadGivesTheEmptyText) {
  EXPECT_EQ(cartella_collegamento(sys, ""), "");
  EXPECT_TRUE(sys.calls.empty());  // no link object for an empty path

  EXPECT_EQ(cartella_collegamento(sys, group + "\\Assente.lnk"), "");
  EXPECT_EQ(sys.calls.back(), "release_link()");

  sys.link_object_fails = true;
  EXPECT_EQ(error_number([&] { cartella_collegamento(sys, link); }), kCantCreateObject);
}

TEST_F(Shortcuts, ProbesTheToolkitsAndCallsTheLastOneThatLoads) {
  const std::string tail = "., Veltrano Catalogo, C:\\Cat\\Sorvanta.exe, \"\"";
  struct Case {
    std::vector<std::string> installed;
    std::string call;
  };
  const std::vector<Case> cases = {
      {{"STKIT432", "VB5STKIT", "VB6STKIT"},
       "create_shell_link_6(VB6STKIT.DLL, " + tail + ", -1, $(Programs))"},
      {{"STKIT432", "VB5STKIT"}, "create_shell_link_4(VB5STKIT.DLL, " + tail + ")"},
      {{"VB5STKIT", "STKIT432"}, "create_shell_link_4(VB5STKIT.DLL, " + tail + ")"},
      {{"STKIT432"}, "create_shell_link_4(STKIT432.DLL, " + tail + ")"},
      {{}, ""},
  };
  for (const auto& c : cases) {
    sys.toolkits.clear();
    for (const auto& name : c.installed) sys.toolkits[name] = FakeToolkit{};
    sys.calls.clear();
    sys.files.erase(a + "\\Veltrano Catalogo.lnk");
    const bool made = form.crea_collegamento(0, ".", "Veltrano Catalogo", R"(C:\Cat\Sorvanta.exe)");
    EXPECT_EQ(made, !c.call.empty());
    const auto calls = sys.calls_of({"create_shell_link_4", "create_shell_link_6"});
    EXPECT_EQ(calls, c.call.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.call});
    EXPECT_EQ(sys.files.count(a + "\\Veltrano Catalogo.lnk"), c.call.empty() ? 0u : 1u);
  }

  // Each probed library is freed again at once; a missing one has nothing to free.
  sys.toolkits = {{"VB5STKIT", FakeToolkit{}}};
  sys.calls.clear();
  form.crea_collegamento(0, ".", "T", "P");
  EXPECT_EQ(sys.calls_of({"load_library", "free_library"}),
            (std::vector<std::string>{"load_library(STKIT432)", "load_library(VB5STKIT)",
                                      "free_library(VB5STKIT)", "load_library(VB6STKIT)"}));
}

TEST_F(Shortcuts, TheResultIsTrueOnlyForANonZeroAnswerOfACalledToolkit) {
  for (const std::int32_t libreria : {3, 7, -1}) {
    sys.calls.clear();
    EXPECT_FALSE(form.crea_collegamento(libreria, ".", "T", "P"));
    EXPECT_TRUE(sys.calls.empty());
  }

  sys.calls.clear();  // a chosen library is called without a probe, present or not
  EXPECT_FALSE(form.crea_collegamento(5, ".", "T", "P"));
  EXPECT_EQ(sys.calls, std::vector<std::string>{"create_shell_link_4(VB5STKIT.DLL, ., T, P, \"\")"});

  for (const auto& [answer, made] : {std::pair{1, true}, {7, true}, {-1, true}, {0, false}}) {
    sys.toolkits["STKIT432"].result = answer;
    EXPECT_EQ(form.crea_collegamento(0, ".", "T", "P"), made) << answer;
    EXPECT_EQ(form.crea_collegamento(4, ".", "T", "P"), made) << answer;
  }
}

}  // namespace
}  // namespace ludrimex::testing
