// The arithmetic of the visible frame, with the frame metrics of Windows 10 (invisible resize
// borders of 7 pixels at the left, right and bottom at 96 dpi; none at the top, where the caption
// bar is) and of systems that show a window whole; and of a window's first showing.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "launcher/win32/window_frame.h"

namespace {

using sorvanta::windows::first_show_command;
using sorvanta::windows::fitted_window;
using sorvanta::windows::frame_in_window_pixels;
using sorvanta::windows::in_workspace;
using sorvanta::windows::visible_rect;

constexpr RECT kWorkArea{0, 0, 1920, 1040};  // 1920 x 1080 with the task bar at the bottom

std::string text(const RECT& r) {
  return "{" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " +
         std::to_string(r.bottom) + "}";
}

std::string text(const std::optional<RECT>& r) {
  return r ? text(*r) : "nothing";
}

struct ReadCase {
  const char* system;
  RECT window;
  std::optional<RECT> frame;  // what the desktop window manager answers
  RECT shown;
};

TEST(WindowFrame, TheOuterSizeIsWhatShowsOfTheWindow) {
  const ReadCase cases[] = {
      // The catalogue window as made from its client size, 592 x 391 at 96 dpi.
      {"Windows 10", {656, 305, 1264, 735}, RECT{663, 305, 1257, 728}, {663, 305, 1257, 728}},
      // Maximised, the borders lie beyond the screen, the top one too.
      {"Windows 10, maximised", {-8, -8, 1928, 1048}, RECT{0, 0, 1920, 1040}, {0, 0, 1920, 1040}},
      {"Windows 7 with Aero", {656, 305, 1264, 735}, RECT{656, 305, 1264, 735}, {656, 305, 1264, 735}},
      {"no desktop window manager (Wine)", {656, 305, 1264, 735}, std::nullopt, {656, 305, 1264, 735}},
      {"a frame wider than it", {656, 305, 1264, 735}, RECT{650, 305, 1270, 728}, {656, 305, 1264, 735}},
      {"an empty frame", {656, 305, 1264, 735}, RECT{0, 0, 0, 0}, {656, 305, 1264, 735}},
  };
  for (const ReadCase& c : cases) EXPECT_EQ(text(visible_rect(c.window, c.frame)), text(c.shown)) << c.system;
}

struct ScaleCase {
  const char* monitor;
  RECT window_physical;       // the window's rectangle in the monitor's pixels
  RECT physical;              // what the desktop window manager answers, in the same pixels
  std::optional<RECT> frame;  // in the window's own pixels
};

// The launcher works at the system's 96 dpi: its window, 608 x 430 of its own pixels, is stretched on
// a monitor of another scale, while the desktop window manager measures in that monitor's pixels.
TEST(WindowFrame, AFrameMeasuredInAMonitorsOwnPixelsIsTakenInTheWindowsPixels) {
  constexpr RECT kWindow{656, 305, 1264, 735};
  const ScaleCase cases[] = {
      {"the system's scale", kWindow, {663, 305, 1257, 728}, RECT{663, 305, 1257, 728}},
      // 11 physical pixels of border are 7.3 of the window's.
      {"150 %", {984, 458, 1896, 1103}, {995, 458, 1885, 1092}, RECT{663, 305, 1257, 728}},
      {"125 % on a monitor to the right",
       {2740, 100, 3500, 638},
       {2749, 100, 3491, 629},
       RECT{663, 305, 1257, 728}},
      // The system at 150 % (a laptop), the window on a screen at 100 %: 7 physical pixels are 10.5.
      {"100 % under a system at 150 %",
       {437, 203, 842, 489},
       {444, 203, 835, 482},
       RECT{667, 305, 1253, 724}},
      {"a frame beyond the window", {984, 458, 1896, 1103}, {980, 458, 1900, 1092}, std::nullopt},
  };
  for (const ScaleCase& c : cases) {
    EXPECT_EQ(text(frame_in_window_pixels(kWindow, c.window_physical, c.physical)), text(c.frame))
        << c.monitor;
  }
}

// A design's outer size in pixels, and whether it is centred.
struct Design {
  int width;
  int height;
  bool centred;
};
constexpr Design kCatalogue{600, 425, true};  // 9000 x 6375 twips at 96 dpi
constexpr Design kPopUp{647, 565, true};      // 9705 x 8475 twips
constexpr Design kAt144Dpi{900, 638, false};  // 9000 x 6375 twips, placed at the top-left corner

struct FitCase {
  const char* window_name;
  Design design;
  RECT window;  // as made from the design's client size
  RECT frame;
  RECT fitted;
};

TEST(WindowFrame, AWindowWithInvisibleBordersIsMadeToShowTheDesignsOuterSize) {
  // Windows 10: the frame is placed as designed, the invisible borders round it.
  const FitCase cases[] = {
      {"catalogue", kCatalogue, {656, 305, 1264, 735}, {663, 305, 1257, 728}, {653, 307, 1267, 739}},
      {"pop-up", kPopUp, {631, 234, 1288, 806}, {638, 234, 1281, 799}, {629, 237, 1290, 809}},
      // Wider borders; the left one lies beyond the edge of the screen.
      {"at 144 dpi", kAt144Dpi, {825, 434, 1735, 1077}, {835, 434, 1725, 1067}, {-10, 0, 910, 648}},
  };
  for (const FitCase& c : cases) {
    const auto fitted =
        fitted_window(c.window, c.frame, kWorkArea, c.design.width, c.design.height, c.design.centred);
    EXPECT_EQ(text(fitted), text(c.fitted)) << c.window_name;
  }
}

struct StayCase {
  const char* system;
  std::optional<RECT> frame;
};

TEST(WindowFrame, AWindowShownWholeStaysAsItWasMade) {
  constexpr RECT kMade{656, 305, 1264, 735};
  const StayCase cases[] = {
      {"Windows 7 with Aero", kMade},
      {"no desktop window manager (Wine)", std::nullopt},
      {"a frame that can't be one", RECT{0, 0, 0, 0}},
  };
  for (const StayCase& c : cases) {
    EXPECT_EQ(text(fitted_window(kMade, c.frame, kWorkArea, 600, 425, true)), "nothing") << c.system;
  }
}

struct WorkspaceCase {
  const char* task_bar;
  RECT monitor;
  RECT work;
  RECT screen;
  RECT workspace;
};

// A window's normal position is measured from its monitor's work area, which a task bar at the top
// or the left moves.
TEST(WindowFrame, TheNormalPositionIsInWorkspaceCoordinates) {
  const WorkspaceCase cases[] = {
      {"at the bottom", {0, 0, 1920, 1080}, {0, 0, 1920, 1040}, {653, 307, 1267, 739}, {653, 307, 1267, 739}},
      {"at the top", {0, 0, 1920, 1080}, {0, 40, 1920, 1080}, {653, 327, 1267, 759}, {653, 287, 1267, 719}},
      {"at the left", {0, 0, 1920, 1080}, {62, 0, 1920, 1080}, {684, 327, 1298, 759}, {622, 327, 1236, 759}},
      {"on a monitor to the right, at its top",
       {1920, 0, 3840, 1080},
       {1920, 40, 3840, 1080},
       {2573, 327, 3187, 759},
       {2573, 287, 3187, 719}},
  };
  for (const WorkspaceCase& c : cases) {
    EXPECT_EQ(text(in_workspace(c.screen, c.monitor, c.work)), text(c.workspace)) << c.task_bar;
  }
}

struct ShowCase {
  const char* started;
  std::optional<int> start_up_show;
  int catalogue;  // min and max buttons
  int pop_up;     // neither
};

TEST(WindowFrame, TheFirstShowingFollowsTheShortcutWhereTheDesignAllowsIt) {
  const ShowCase cases[] = {
      {"from a command line", std::nullopt, SW_SHOWNORMAL, SW_SHOWNORMAL},
      {"Run: Normal window", SW_SHOWNORMAL, SW_SHOWNORMAL, SW_SHOWNORMAL},
      {"Run: Maximized", SW_SHOWMAXIMIZED, SW_SHOWMAXIMIZED, SW_SHOWNORMAL},
      {"Run: Minimized", SW_SHOWMINNOACTIVE, SW_SHOWMINNOACTIVE, SW_SHOWNORMAL},
      {"minimised by a program", SW_SHOWMINIMIZED, SW_SHOWMINIMIZED, SW_SHOWNORMAL},
      {"hidden by a program", SW_HIDE, SW_SHOWNORMAL, SW_SHOWNORMAL},
      {"in the background", SW_SHOWNOACTIVATE, SW_SHOWNORMAL, SW_SHOWNORMAL},
  };
  for (const ShowCase& c : cases) {
    EXPECT_EQ(first_show_command(c.start_up_show, true, true), c.catalogue) << c.started;
    EXPECT_EQ(first_show_command(c.start_up_show, false, false), c.pop_up) << c.started;
  }
}

}  // namespace
