// The GUI tests run with their own HOME, so WebKit's and Mesa's caches never land in the user's.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  std::string home = (std::filesystem::temp_directory_path() / "sorvanta-gui-XXXXXX").string();
  if (mkdtemp(home.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
  setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
  setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "no display: run the GUI tests under xvfb-run\n");
    return 1;
  }
  const int status = RUN_ALL_TESTS();
  std::filesystem::remove_all(home);
  return status;
}
