#include "launcher/win32/window_frame.h"

#include <dwmapi.h>

#include "win32/dll_search.h"

namespace sorvanta::windows {

namespace {

bool within(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom && inner.left < inner.right && inner.top < inner.bottom;
}

}  // namespace

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
  const FARPROC proc = ::GetProcAddress(library_.get(), "DwmGetWindowAttribute");
  // Through the generic function pointer type, the one conversion of FARPROC every compiler accepts.
  get_window_attribute_ = reinterpret_cast<GetWindowAttribute>(reinterpret_cast<void (*)()>(proc));
}

std::optional<RECT> DesktopWindowManager::visible_frame(HWND window) const {
  RECT frame{};
  if (!get_window_attribute_ ||
      FAILED(get_window_attribute_(window, DWMWA_EXTENDED_FRAME_BOUNDS, &frame, sizeof frame)))
    return std::nullopt;
  return frame;
}

}  // namespace sorvanta::windows
