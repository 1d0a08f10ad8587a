#include "launcher/win32/win32_window.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "launcher/run_error.h"
#include "launcher/win32/win32_controls.h"
#include "launcher/win32/win32_window_system.h"
#include "launcher/win32/window_frame.h"
#include "win32/text.h"

namespace sorvanta::windows {

namespace {

struct Styles {
  DWORD style;
  DWORD ex_style;
};

Styles styles_of(const WindowDesign& design) {
  DWORD style = WS_CLIPCHILDREN;
  switch (design.border_style) {
    case BorderStyle::none:
      style |= WS_POPUP;
      break;
    case BorderStyle::fixed_single:
      style |= WS_OVERLAPPED | WS_CAPTION;
      break;
    case BorderStyle::sizable:
      style |= WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME;
      break;
  }
  if (design.border_style != BorderStyle::none && design.control_box) {
    style |= WS_SYSMENU;
    if (design.min_button) style |= WS_MINIMIZEBOX;
    if (design.max_button) style |= WS_MAXIMIZEBOX;
  }
  return {style, WS_EX_APPWINDOW};
}

RECT work_area() {
  RECT work{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  return work;
}

// The screen rectangle `screen` as a normal position of `window` (WINDOWPLACEMENT's workspace
// coordinates, which leave out a task bar at the top or the left).
RECT normal_position(HWND window, const RECT& screen) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor)) return screen;
  return in_workspace(screen, monitor.rcMonitor, monitor.rcWork);
}

// The outer rectangle around the design's client area, centred on the screen's work area when
// the design says so.
RECT placement(const WindowSystem& system, const WindowDesign& design, const Styles& styles) {
  RECT outer{0, 0, system.pixels_x(static_cast<Single>(design.client_width)),
             system.pixels_y(static_cast<Single>(design.client_height))};
  ::AdjustWindowRectEx(&outer, styles.style, FALSE, styles.ex_style);
  return placed(work_area(), outer.right - outer.left, outer.bottom - outer.top, design.centred);
}

}  // namespace

Win32Window::Win32Window(Win32WindowSystem& system, const WindowDesign& design)
    : Window(system, design), win32_system_(system) {
  const Styles styles = styles_of(design);
  const RECT outer = placement(system, design, styles);
  const HWND made = ::CreateWindowExW(styles.ex_style, Win32WindowSystem::kWindowClass,
                                      win32::to_wide(design.caption).c_str(), styles.style, outer.left,
                                      outer.top, outer.right - outer.left, outer.bottom - outer.top, nullptr,
                                      nullptr, ::GetModuleHandleW(nullptr), this);
  if (!made) throw RunError::described(kMethodFailed, "CreateWindowExW: " + std::to_string(::GetLastError()));
  if (design.icon) {
    ::SendMessageW(handle_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(system.icon(false)));
    ::SendMessageW(handle_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(system.icon(true)));
  }
}

// Made from its client size, a window shows smaller than designed where its borders are invisible.
// Hidden, the system may not tell them yet, and maximised or minimised it shows none: then the
// first time the window shows in its normal state looks again.
bool Win32Window::fit_visible_frame() {
  RECT window{};
  if (fitted_ || ::IsZoomed(handle_) || ::IsIconic(handle_) || !::GetWindowRect(handle_, &window))
    return false;
  const bool shown = ::IsWindowVisible(handle_) != FALSE;
  const WindowDesign& made = design();
  const auto fitted = fitted_window(window, win32_system_.desktop().visible_frame(handle_), work_area(),
                                    system().pixels_x(static_cast<Single>(made.width)),
                                    system().pixels_y(static_cast<Single>(made.height)), made.centred);
  fitted_ = shown || fitted;
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  if (!fitted || ::EqualRect(&*fitted, &window) || !::GetWindowPlacement(handle_, &placement)) return false;
  placement.flags = 0;
  placement.showCmd = shown ? SW_SHOWNOACTIVATE : SW_HIDE;
  placement.rcNormalPosition = normal_position(handle_, *fitted);
  return ::SetWindowPlacement(handle_, &placement) != FALSE;
}

Win32Window::~Win32Window() {
  Win32Window::do_destroy();  // this class's own: a destructor binds no override
}

Win32Window* Win32Window::from_handle(HWND handle) {
  wchar_t name[64];
  if (!handle || !::GetClassNameW(handle, name, 64) ||
      std::wstring_view(name) != Win32WindowSystem::kWindowClass)
    return nullptr;
  return reinterpret_cast<Win32Window*>(::GetWindowLongPtrW(handle, GWLP_USERDATA));
}

void Win32Window::enable_modeless(bool enable) {
  win32_system_.enable_modeless(enable, handle_);
}

void Win32Window::held_by_dialog(bool held) {
  if (std::exchange(held_by_dialog_, held) != held) win32_system_.enable_modeless(!held, handle_);
}

bool Win32Window::translate_keyboard(MSG& message) {
  const bool tab = message.message == WM_KEYDOWN && message.wParam == VK_TAB;
  const bool backwards = ::GetKeyState(VK_SHIFT) < 0;
  // No dialog manager here: it would take the page's arrows and Enter for itself.
  for (Win32Browser* browser : controls_of<Win32Browser>()) {
    if (!browser->owns(message.hwnd)) continue;
    // The control moves between the page's own links itself; a Tab it leaves goes out of the page.
    if (browser->translate_accelerator(message)) return true;
    if (tab) move_focus(*browser, backwards);
    return tab;
  }
  for (Win32Button* button : controls_of<Win32Button>()) {
    if (button->handle() != message.hwnd) continue;
    if (tab) {
      move_focus(*button, backwards);
      return true;
    }
    if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN) {
      // The click may unload this window: nothing of it is touched after.
      ::SendMessageW(button->handle(), BM_CLICK, 0, 0);
      return true;
    }
    return false;  // Space: the button's own
  }
  return false;
}

void Win32Window::move_focus(const Control& from, bool backwards) {
  const auto controls = controls_of<Control>();
  const auto at = std::find(controls.begin(), controls.end(), &from);
  if (at == controls.end()) return;
  const auto here = static_cast<std::size_t>(at - controls.begin());
  const std::size_t next = (here + (backwards ? controls.size() - 1 : 1)) % controls.size();
  // No dialog manager does it for us: the keyboard is in use, so the focus shows.
  ::SendMessageW(handle_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
  if (auto* browser = dynamic_cast<Win32Browser*>(controls[next])) browser->focus_page();
  if (auto* button = dynamic_cast<Win32Button*>(controls[next])) ::SetFocus(button->handle());
}

std::unique_ptr<Browser> Win32Window::do_create_browser(const ControlDesign& design) {
  return std::make_unique<Win32Browser>(*this, design, handle_);
}

std::unique_ptr<CommandButton> Win32Window::do_create_button(const ControlDesign& design) {
  return std::make_unique<Win32Button>(*this, design, handle_, win32_system_.font());
}

void Win32Window::do_set_caption(const std::string& text) {
  ::SetWindowTextW(handle_, win32::to_wide(text).c_str());
}

// What shows of the window, without the invisible borders.
Window::PixelSize Win32Window::do_outer_size() const {
  RECT window{};
  ::GetWindowRect(handle_, &window);
  const RECT outer = visible_rect(window, win32_system_.desktop().visible_frame(handle_));
  return {outer.right - outer.left, outer.bottom - outer.top};
}

// The first showing is fitted before the window appears, where the system can tell its frame, so
// that nothing jumps; and it follows how the program was started.
void Win32Window::do_show() {
  if (shown_once_) {
    ::ShowWindow(handle_, SW_SHOW);
    return;
  }
  fit_visible_frame();
  const WindowDesign& made = design();
  const std::optional<int> start_up = win32_system_.take_start_up_show();
  // SW_SHOWDEFAULT spends how the program was started on this window, which Windows would otherwise
  // keep for the next one shown normally (a pop-up); then the state that the design allows.
  if (start_up) ::ShowWindow(handle_, SW_SHOWDEFAULT);
  ::ShowWindow(handle_, first_show_command(start_up, made.min_button, made.max_button));
  shown_once_ = true;
  fit_visible_frame();
}

void Win32Window::do_destroy() {
  if (!handle_) return;
  const auto browsers = controls_of<Win32Browser>();
  const bool busy = win32_system_.in_modal_loop() ||
                    std::any_of(browsers.begin(), browsers.end(), [](auto* b) { return b->busy(); });
  // A dialog over a window that goes holds the others no longer.
  held_by_dialog(false);
  if (busy) {
    // A control's dialog may be running on the stack, or its page printing: the window only hides,
    // and goes with its controls once that loop has returned and the page has printed.
    ::ShowWindow(handle_, SW_HIDE);
    ::SetWindowLongPtrW(handle_, GWLP_USERDATA, 0);
    std::vector<std::unique_ptr<BrowserHost>> controls;
    for (Win32Browser* browser : browsers) controls.push_back(browser->hand_over());
    win32_system_.defer_destruction(std::exchange(handle_, nullptr), std::move(controls));
    return;
  }
  // The controls go first, while the window they live in still stands.
  for (Win32Browser* browser : browsers) browser->close();
  ::DestroyWindow(handle_);
}

// The keyboard comes back where it was when the window was left, in a page or on the button; else
// it goes to the first page.
void Win32Window::save_focus() {
  const HWND focus = ::GetFocus();
  focus_ = focus && ::IsChild(handle_, focus) ? focus : nullptr;
}

void Win32Window::restore_focus() {
  if (focus_ && ::IsChild(handle_, focus_)) {
    ::SetFocus(focus_);
  } else if (const auto browsers = controls_of<Win32Browser>(); !browsers.empty()) {
    browsers.front()->focus_page();
  }
}

LRESULT CALLBACK Win32Window::window_procedure(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* window = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    window->handle_ = handle;
    ::SetWindowLongPtrW(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  auto* window = reinterpret_cast<Win32Window*>(::GetWindowLongPtrW(handle, GWLP_USERDATA));
  if (!window) return ::DefWindowProcW(handle, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(handle, GWLP_USERDATA, 0);
    window->handle_ = nullptr;
    return ::DefWindowProcW(handle, message, wparam, lparam);
  }
  return window->handle_message(message, wparam, lparam);
}

// The events raised here may unload and free this window: nothing of it is touched after them.
LRESULT Win32Window::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
  const HWND handle = handle_;
  switch (message) {
    case WM_SIZE:
      // Fitted, the window has been resized again and its controls with it.
      if (wparam == SIZE_RESTORED && shown_once_ && fit_visible_frame()) return 0;
      // A minimised window's size means nothing to the controls.
      if (wparam != SIZE_MINIMIZED) raise_resize();
      return 0;
    case WM_ENABLE:
      if (!win32_system_.changing_enabled()) held_by_dialog(wparam == FALSE);
      return 0;
    case WM_ACTIVATE: {
      if (LOWORD(wparam) == WA_INACTIVE) save_focus();
      // The default focuses the window itself (WM_SETFOCUS below); the handler may then put the
      // focus elsewhere.
      const LRESULT result = ::DefWindowProcW(handle, message, wparam, lparam);
      if (LOWORD(wparam) != WA_INACTIVE) raise_activate();
      return result;
    }
    case WM_SETFOCUS:
      restore_focus();
      return 0;
    case WM_CLOSE:
      raise_close_request(UnloadMode::form_control_menu);
      return 0;
    case WM_QUERYENDSESSION: {
      // The thank-you box already up, the session's end waits for its answer (Windows shows the box's
      // text as the reason meanwhile).
      if (closing()) return FALSE;
      // Windows is logging off or shutting down: the same close request; the session may end once
      // the window has closed.
      Win32WindowSystem& system = win32_system_;
      raise_close_request(UnloadMode::app_windows);
      return system.ending() || !from_handle(handle) ? TRUE : FALSE;
    }
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED && lparam != 0) {
        for (Win32Button* button : controls_of<Win32Button>()) {
          if (button->handle() == reinterpret_cast<HWND>(lparam)) {
            button->clicked();
            return 0;
          }
        }
      }
      break;
    default:
      break;
  }
  return ::DefWindowProcW(handle, message, wparam, lparam);
}

}  // namespace sorvanta::windows
