// Without a display a message box is one line "TITLE: TEXT" on standard error, answered OK.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "patch/posix/platform_system.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scratch_dir.h"

namespace {

using test_support::ScopedEnv;

// Runs `action` with standard error going to a file, and gives back what it wrote there.
template <typename Action>
std::string standard_error_of(Action action) {
  test_support::ScratchDir dir;
  const std::string path = dir / "stderr";
  std::fflush(stderr);
  const int saved = ::dup(2);
  const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ::dup2(file, 2);
  ::close(file);
  action();
  std::fflush(stderr);
  ::dup2(saved, 2);
  ::close(saved);
  return test_support::read_file(path);
}

TEST(MessageBox, WithoutADisplayOneLineOnStandardError) {
  ScopedEnv display("DISPLAY", std::nullopt);
  ScopedEnv wayland("WAYLAND_DISPLAY", "");
  ludrimex::stand_in::PosixSystem system;
  int answer = 0;
  const std::string written = standard_error_of([&] {
    answer = system.message_box("Chiudere il catalogo prima dell'aggiornamento! Rieseguire la patch!",
                                "Dastrel", 16);
  });
  EXPECT_EQ(written, "Dastrel: Chiudere il catalogo prima dell'aggiornamento! Rieseguire la patch!\n");
  EXPECT_EQ(answer, 1);  // IDOK
  EXPECT_EQ(standard_error_of([&] { system.message_box("Patch installata con successo!", "Dastrel", 64); }),
            "Dastrel: Patch installata con successo!\n");
  // Nothing of GTK was started, so there is nothing to process and nothing may block.
  system.do_events();
}

TEST(MessageBox, ADisplayThatCannotBeOpenedFallsBackToTheLine) {
  ScopedEnv display("DISPLAY", ":7319");
  ScopedEnv wayland("WAYLAND_DISPLAY", std::nullopt);
  ludrimex::stand_in::PosixSystem system;
  int answer = 0;
  const std::string written = standard_error_of([&] { answer = system.message_box("Testo", "Titolo", 64); });
  EXPECT_TRUE(written.ends_with("Titolo: Testo\n")) << written;
  EXPECT_EQ(answer, 1);
  system.do_events();
}

}  // namespace
