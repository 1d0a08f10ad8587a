#pragma once
// The frame of a window as the user sees it, and how it first shows. Since Windows 8 the desktop
// window manager draws a window smaller than its rectangle: the left, right and bottom edges of the
// rectangle are invisible resize borders (7 pixels at 96 dpi on Windows 10). The outer size the
// launcher reads, and the one a window is made with, are those of the visible frame.
//
// The launcher is aware of the system's dots per inch only: on a monitor whose scale differs, the
// system stretches its windows, and their rectangles stay in the launcher's own (logical) pixels,
// while the window manager reports frames in the monitor's physical ones. Everything here is in
// logical pixels.
#include <windows.h>

#include <optional>

#include "win32/scoped.h"

namespace sorvanta::windows {

// The outer rectangle a window at `window` shows: the desktop window manager's `frame` when it is
// a rectangle within the window's, else the whole rectangle (no frame reported, or an answer that
// can't be one).
RECT visible_rect(const RECT& window, const std::optional<RECT>& frame);

// A `width` x `height` rectangle on the work area `work`: centred, or at its top-left corner.
RECT placed(const RECT& work, int width, int height, bool centred);

// The visible frame in the window's own pixels, from the window manager's `frame_physical` and the
// window's rectangle in both units: the invisible borders, measured in physical pixels, are scaled
// to the window's own. Nothing when the frame is not a rectangle within the window's.
std::optional<RECT> frame_in_window_pixels(const RECT& window, const RECT& window_physical,
                                           const RECT& frame_physical);

// A screen rectangle in the workspace coordinates of a window's normal position (WINDOWPLACEMENT):
// from the top-left corner of the work area of its monitor, `monitor` with its work area `work`.
RECT in_workspace(const RECT& screen, const RECT& monitor, const RECT& work);

// The first showing of the program's first window follows how the program was started
// (`start_up_show`, the start-up info's show command, when it gives one): a shortcut's "Run:
// Maximized" or "Minimized", where the design has the box for it. Anything else shows it normal.
int first_show_command(std::optional<int> start_up_show, bool min_button, bool max_button);

// Where a window made at `window`, with its visible `frame`, goes so that what shows of it is
// `width` x `height` placed on `work`. Nothing where it shows whole or the frame is unknown: it
// stays as it was made.
std::optional<RECT> fitted_window(const RECT& window, const std::optional<RECT>& frame, const RECT& work,
                                  int width, int height, bool centred);

// The desktop window manager, where the system has one: dwmapi.dll from the system folder only,
// loaded at run time (importing it would have the loader look beside the program first).
class DesktopWindowManager {
 public:
  DesktopWindowManager();
  // The visible frame of `window` in its own screen pixels (DWMWA_EXTENDED_FRAME_BOUNDS); nothing
  // where the system can't tell.
  std::optional<RECT> visible_frame(HWND window) const;

 private:
  using GetWindowAttribute = HRESULT(WINAPI*)(HWND, DWORD, void*, DWORD);
  using LogicalToPhysical = BOOL(WINAPI*)(HWND, POINT*);
  win32::Library library_;
  GetWindowAttribute get_window_attribute_ = nullptr;
  LogicalToPhysical logical_to_physical_ = nullptr;  // Windows 8.1 and later: monitors of their own scale
};

}  // namespace sorvanta::windows
