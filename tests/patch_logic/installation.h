#pragma once
// A catalogue installed for the current user, on the fake system, ready for a patch run.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "patch/errors.h"
#include "patch/form1.h"
#include "tests/patch_logic/fake_system.h"
#include "tests/support/run_error.h"

namespace ludrimex::testing {

// Runs `step` and returns the status it ended the program with (-1 when it returned).
inline int end_status(const std::function<void()>& step) {
  try {
    step();
  } catch (const ProgramEnd& end) {
    return end.status;
  }
  return -1;
}

// Runs `step` and returns the RunError it threw as "number subject" ("" when none).
inline std::string error_of(const std::function<void()>& step) {
  const auto [number, subject] = test_support::run_error_of(step);
  if (number == ErrorNumber{}) return "";
  return std::to_string(runtime::value(number)) + (subject.empty() ? "" : " " + subject);
}

// The working directory in the form the shortcut reader hands it back: folder, NUL, spaces.
inline std::string as_read(const std::string& folder) {
  std::string text = folder + '\0';
  return text + std::string(255 - text.size(), ' ');
}

inline std::vector<Box> box(const std::string& text, int style, const std::string& title = "Dastrel") {
  return {Box{text, title, style}};
}

class Installation : public ::testing::Test {
 protected:
  FakeSystem sys;
  Form1 form{sys};
  const std::string a = sys.programs;
  const std::string group = a + "\\Veltrano Catalogo";
  const std::string shortcut = group + "\\Veltrano Catalogo.lnk";
  const std::string html = R"(C:\Programmi\Veltrano Catalogo\progetto_html)";
  const std::string log = html + "\\patch.txt";
  const std::string titles[3] = {"Veltrano Catalogo", "Veltrano Aggiornamento", "Veltrano Disinstallazione"};

  Installation() {
    sys.folders = {a, group, html, sys.app_folder};
    sys.files[sys.app_folder + "\\Sorvanta.exe"] = "new launcher";
    sys.files[html + "\\Sorvanta.exe"] = "old launcher";
    for (const auto& title : titles) sys.files[group + "\\" + title + ".lnk"] = "old shortcut";
    sys.shortcuts[shortcut] = FakeShortcut{.path = html + "\\Sorvanta.exe", .working_directory = html};
    sys.toolkits["STKIT432"] = FakeToolkit{};
  }
};

}  // namespace ludrimex::testing
