#pragma once
// A catalogue installed for the current user, on the fake system, ready for a patch run.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "patch/errors.h"
#include "patch/form1.h"
#include "patch/patch_number.h"
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

// The log's line for patch `number` installed on `date`.
inline std::string record_line(int number, const std::string& date) {
  std::string field = std::to_string(number);
  return field + std::string(10 - field.size(), ' ') + date + "\r\n";
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
  const std::string targets[3] = {"Sorvanta.exe", "VeltranoCatalogoUpdate.exe",
                                  "VeltranoCatalogoUnistall.exe"};

  Installation() {
    sys.folders = {a, group, html, sys.app_folder};
    sys.files[sys.app_folder + "\\Sorvanta.exe"] = "new launcher";
    sys.files[html + "\\Sorvanta.exe"] = "old launcher";
    for (const auto& title : titles) sys.files[group + "\\" + title + ".lnk"] = "old shortcut";
    sys.shortcuts[shortcut] = FakeShortcut{.path = html + "\\Sorvanta.exe", .working_directory = html};
    sys.toolkits["STKIT432"] = FakeToolkit{};
  }

  // What keeps `run` from being the patched installation, "" when nothing does: the new launcher, the
  // log's bytes `log_before` and one record of this patch, the group's three shortcuts remade, none
  // in the Programs folder itself, no temporary file.
  std::string unpatched(const FakeSystem& run, const std::string& log_before) const {
    std::string problems;
    const auto file = [&](const std::string& path) {
      const auto found = run.files.find(path);
      return found == run.files.end() ? std::string("(none)") : found->second;
    };
    if (file(log) != log_before + record_line(kPatchNumber, run.date)) problems += "log " + file(log) + "; ";
    if (file(html + "\\Sorvanta.exe") != "new launcher") problems += "old launcher; ";
    for (int row = 0; row < 3; ++row) {
      if (file(group + "\\" + titles[row] + ".lnk") != "shortcut to " + html + "\\" + targets[row])
        problems += "group shortcut " + titles[row] + "; ";
      if (run.files.count(a + "\\" + titles[row] + ".lnk"))
        problems += "in the Programs folder: " + titles[row] + "; ";
    }
    for (const auto& [path, bytes] : run.files) {
      if (path.find(FakeSystem::kTemporary) != std::string::npos) problems += "left behind: " + path + "; ";
    }
    return problems;
  }
};

}  // namespace ludrimex::testing
