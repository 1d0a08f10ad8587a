#include "launcher/win32/win32_window_system.h"

#include <algorithm>

#include "launcher/run_error.h"
#include "launcher/win32/win32_window.h"
#include "win32/program_folder.h"
#include "win32/text.h"

namespace sorvanta::windows {

namespace {

constexpr float kTwipsPerInch = 1440.0f;
// A spooler takes a page in seconds; this only bounds the wait for a control that never says it is done.
constexpr ULONGLONG kPrintingWaitMs = 60'000;

struct Resolution {
  int x;
  int y;
};

// The screen's dots per inch (the program declares itself aware of them, so these are the real ones).
Resolution screen_resolution() {
  const HDC screen = ::GetDC(nullptr);
  Resolution dpi{screen ? ::GetDeviceCaps(screen, LOGPIXELSX) : 0,
                 screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0};
  if (screen) ::ReleaseDC(nullptr, screen);
  if (dpi.x <= 0) dpi.x = 96;
  if (dpi.y <= 0) dpi.y = 96;
  return dpi;
}

HICON program_icon(int size_metric_x, int size_metric_y) {
  return static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON,
                                         ::GetSystemMetrics(size_metric_x), ::GetSystemMetrics(size_metric_y),
                                         LR_DEFAULTCOLOR | LR_SHARED));
}

HFONT message_font() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return nullptr;
  return ::CreateFontIndirectW(&metrics.lfMessageFont);
}

}  // namespace

Win32WindowSystem::Win32WindowSystem()
    : twips_per_pixel_{kTwipsPerInch / static_cast<float>(screen_resolution().x),
                       kTwipsPerInch / static_cast<float>(screen_resolution().y)},
      big_icon_(program_icon(SM_CXICON, SM_CYICON)),
      small_icon_(program_icon(SM_CXSMICON, SM_CYSMICON)),
      font_(message_font()) {
  if (FAILED(ole_.result())) throw RunError(runtime::automation_error(ole_.result()));
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  window_class.lpfnWndProc = &Win32Window::window_procedure;
  window_class.hInstance = ::GetModuleHandleW(nullptr);
  window_class.hIcon = big_icon_;
  window_class.hIconSm = small_icon_;
  window_class.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW, in its wide form
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  window_class.lpszClassName = kWindowClass;
  if (!::RegisterClassExW(&window_class)) throw RunError::described(kMethodFailed, "RegisterClassExW");
  STARTUPINFOW start_up{};
  start_up.cb = sizeof start_up;
  ::GetStartupInfoW(&start_up);
  if (start_up.dwFlags & STARTF_USESHOWWINDOW) start_up_show_ = start_up.wShowWindow;
}

Win32WindowSystem::~Win32WindowSystem() {
  destroy_windows();
  wait_while_printing();
  destroy_deferred(true);
  ::UnregisterClassW(kWindowClass, ::GetModuleHandleW(nullptr));
}

std::unique_ptr<Window> Win32WindowSystem::do_create_window(const WindowDesign& design) {
  return std::make_unique<Win32Window>(*this, design);
}

std::string Win32WindowSystem::do_app_path() {
  return win32::to_utf8(win32::program_folder());
}

int Win32WindowSystem::do_message_box(const std::string& text, const std::string& title, int style) {
  const std::wstring wide_text = win32::to_wide(text);
  // A log-off waits for the answer: its screen tells the user why.
  std::vector<HWND> waiting;
  for (Window* window : windows()) {
    const HWND handle = static_cast<Win32Window*>(window)->handle();
    if (handle && ::ShutdownBlockReasonCreate(handle, wide_text.c_str())) waiting.push_back(handle);
  }
  // Over its window, so that it can't fall behind it, and modal for the whole launcher: every
  // window of it waits for the answer. With none of ours on screen, it comes to the front itself.
  const HWND owner = box_owner();
  const UINT flags = static_cast<UINT>(style) | MB_TASKMODAL | (owner ? 0 : MB_SETFOREGROUND);
  int answer = 0;
  {
    const ModalLoop others_wait(*this, owner);
    answer = ::MessageBoxW(owner, wide_text.c_str(), win32::to_wide(title).c_str(), flags);
  }
  for (HWND handle : waiting) {
    if (::IsWindow(handle)) ::ShutdownBlockReasonDestroy(handle);
  }
  return answer;
}

HWND Win32WindowSystem::box_owner() const {
  Window* active = active_window();
  return active && active->visible() ? static_cast<Win32Window*>(active)->handle() : nullptr;
}

void Win32WindowSystem::do_run() {
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (!translate_keyboard(message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    // Back in the outermost loop no modal loop is left on the stack: what waited for one goes.
    destroy_deferred(false);
  }
  wait_while_printing();
  destroy_deferred(true);
}

void Win32WindowSystem::enable_modeless(bool enable, HWND owner) {
  const bool changing = std::exchange(changing_enabled_, true);
  if (!enable) {
    if (modal_loops_++ == 0) {
      const HWND owner_root = ::GetAncestor(owner, GA_ROOT);
      for (Window* window : windows()) {
        // The loop's own dialog disables and enables its owner itself.
        const HWND handle = static_cast<Win32Window*>(window)->handle();
        if (handle && handle != owner_root && ::IsWindowEnabled(handle)) {
          ::EnableWindow(handle, FALSE);
          disabled_.push_back(handle);
        }
      }
    }
  } else if (modal_loops_ > 0 && --modal_loops_ == 0) {
    for (HWND handle : disabled_) {
      if (::IsWindow(handle)) ::EnableWindow(handle, TRUE);
    }
    disabled_.clear();
  }
  changing_enabled_ = changing;
}

void Win32WindowSystem::defer_destruction(HWND window, std::vector<std::unique_ptr<BrowserHost>> controls) {
  deferred_.push_back(Remains{window, std::move(controls)});
}

bool Win32WindowSystem::Remains::printing() const {
  return std::any_of(controls.begin(), controls.end(), [](const auto& c) { return c->printing(); });
}

bool Win32WindowSystem::Remains::busy() const {
  return std::any_of(controls.begin(), controls.end(), [](const auto& c) { return c->busy(); });
}

void Win32WindowSystem::destroy_deferred(bool busy_too) {
  if (deferred_.empty()) return;
  // Taken out first: letting a control go may run messages that come back here.
  std::vector<Remains> going;
  std::vector<Remains> staying;
  for (Remains& r : deferred_) (busy_too || !r.busy() ? going : staying).push_back(std::move(r));
  deferred_ = std::move(staying);
  for (Remains& r : going) {
    r.controls.clear();
    ::DestroyWindow(r.window);
  }
}

void Win32WindowSystem::wait_while_printing() {
  const auto printing = [this] {
    return std::any_of(deferred_.begin(), deferred_.end(), [](const Remains& r) { return r.printing(); });
  };
  const ULONGLONG until = ::GetTickCount64() + kPrintingWaitMs;
  for (ULONGLONG now = ::GetTickCount64(); printing() && now < until; now = ::GetTickCount64()) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(until - now), QS_ALLINPUT);
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;  // the end is under way already
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
}

void Win32WindowSystem::do_quit() {
  ::PostQuitMessage(0);
}

bool Win32WindowSystem::translate_keyboard(MSG& message) {
  if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST) return false;
  Win32Window* window = Win32Window::from_handle(::GetAncestor(message.hwnd, GA_ROOT));
  return window && window->translate_keyboard(message);
}

}  // namespace sorvanta::windows

namespace sorvanta {
std::unique_ptr<WindowSystem> make_platform_window_system() {
  return std::make_unique<windows::Win32WindowSystem>();
}

void report_without_window_system(const std::string& text, const std::string& title) {
  ::MessageBoxW(nullptr, win32::to_wide(text).c_str(), win32::to_wide(title).c_str(),
                MB_OK | MB_ICONERROR | MB_TASKMODAL);
}
}  // namespace sorvanta
