#include "launcher/win32/window_frame.h"

#include <dwmapi.h>

#include <cmath>

#include "win32/dll_search.h"

namespace sorvanta::windows {

namespace {

bool within(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom && inner.left < inner.right && inner.top < inner.bottom;
}

// `pixels` of a side `from` pixels long, in a side `to` pixels long.
LONG scaled(LONG pixels, LONG from, LONG to) {
  return from > 0 ? static_cast<LONG>(std::lround(static_cast<double>(pixels) * to / from)) : pixels;
}

}  // namespace

std::optional<RECT> frame_in_window_pixels(const RECT& window, const RECT& window_physical,
                                           const RECT& frame_physical) {
  if (!within(frame_physical, window_physical)) return std::nullopt;
  const LONG width = window.right - window.left;
  const LONG height = window.bottom - window.top;
  const LONG physical_width = window_physical.right - window_physical.left;
  const LONG physical_height = window_physical.bottom - window_physical.top;
  return RECT{
      window.left + scaled(frame_physical.left - window_physical.left, physical_width, width),
      window.top + scaled(frame_physical.top - window_physical.top, physical_height, height),
      window.right - scaled(window_physical.right - frame_physical.right, physical_width, width),
      window.bottom - scaled(window_physical.bottom - frame_physical.bottom, physical_height, height)};
}

RECT in_workspace(const RECT& screen, const RECT& monitor, const RECT& work) {
  RECT workspace = screen;
  ::OffsetRect(&workspace, monitor.left - work.left, monitor.top - work.top);
  return workspace;
}

int first_show_command(std::optional<int> start_up_show, bool min_button, bool max_button) {
  switch (start_up_show.value_or(SW_SHOWNORMAL)) {
    case SW_SHOWMAXIMIZED:
      return max_button ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
      return min_button ? *start_up_show : SW_SHOWNORMAL;
    default:
      return SW_SHOWNORMAL;
  }
}

RECT visible_rect(const RECT& window, const std::optional<RECT>& frame) {
  return frame && within(*frame, window) ? *frame : window;
}

RECT placed(const RECT& work, int width, int height, bool centred) {
  if (!centred) return RECT{work.left, work.top, work.left + width, work.top + height};
  const int left = work.left + (work.right - work.left - width) / 2;
  const int top = work.top + (work.bottom - work.top - height) / 2;
  return RECT{left, top, left + width, top + height};
}

std::optional<RECT> fitted_window(const RECT& window, const std::optional<RECT>& frame, const RECT& work,
                                  int width, int height, bool centred) {
  const RECT shown = visible_rect(window, frame);
  if (::EqualRect(&shown, &window)) return std::nullopt;
  const RECT wanted = placed(work, width, height, centred);
  // The invisible borders stay as the system draws them, round the frame where it is wanted.
  return RECT{wanted.left - (shown.left - window.left), wanted.top - (shown.top - window.top),
              wanted.right + (window.right - shown.right), wanted.bottom + (window.bottom - shown.bottom)};
}

DesktopWindowManager::DesktopWindowManager() : library_(win32::load_system_library(L"dwmapi.dll")) {
  if (!library_) return;
  get_window_attribute_ =
      win32::as_function<GetWindowAttribute>(::GetProcAddress(library_.get(), "DwmGetWindowAttribute"));
  if (const HMODULE user32 = ::GetModuleHandleW(L"user32.dll")) {
    logical_to_physical_ = win32::as_function<LogicalToPhysical>(
        ::GetProcAddress(user32, "LogicalToPhysicalPointForPerMonitorDPI"));
  }
}

std::optional<RECT> DesktopWindowManager::visible_frame(HWND window) const {
  RECT frame{};
  RECT rect{};
  if (!get_window_attribute_ || !::GetWindowRect(window, &rect) ||
      FAILED(get_window_attribute_(window, DWMWA_EXTENDED_FRAME_BOUNDS, &frame, sizeof frame)))
    return std::nullopt;
  // Before Windows 8.1 every monitor has the system's scale: physical and logical pixels are one.
  RECT physical = rect;
  auto* corners = reinterpret_cast<POINT*>(&physical);
  if (logical_to_physical_ &&
      !(logical_to_physical_(window, &corners[0]) && logical_to_physical_(window, &corners[1])))
    return std::nullopt;
  return frame_in_window_pixels(rect, physical, frame);
}

}  // namespace sorvanta::windows
