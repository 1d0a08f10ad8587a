#include "launcher/win32/win32_controls.h"

#include "launcher/run_error.h"
#include "launcher/win32/navigation_address.h"
#include "launcher/win32/win32_window.h"
#include "launcher/win32/win32_window_system.h"
#include "win32/scoped.h"
#include "win32/text.h"

namespace sorvanta::windows {

namespace {

RECT rect_of(int left, int top, int width, int height) {
  return RECT{left, top, left + width, top + height};
}

// How the control answers a print the user cancelled in its dialog, or one it can't do now.
bool print_declined(HRESULT hr) {
  return hr == OLECMDERR_E_CANCELED || hr == OLECMDERR_E_NOTSUPPORTED || hr == OLECMDERR_E_DISABLED;
}

}  // namespace

// ---- Win32Browser -----------------------------------------------------------------------------

Win32Browser::Win32Browser(Win32Window& window, const ControlDesign& design, HWND parent)
    : Browser(window, design),
      win32_window_(window),
      host_(std::make_unique<BrowserHost>(parent, rect_of(0, 0, 0, 0),
                                          static_cast<BrowserHostEvents&>(*this))) {}

Win32Browser::~Win32Browser() = default;

IWebBrowser2& Win32Browser::control() const {
  if (!host_) throw RunError(kMethodFailed);
  return *host_->browser();
}

void Win32Browser::do_move(int left, int top, int width, int height) {
  if (host_) host_->move(rect_of(left, top, width, height));
}

std::unique_ptr<BrowserHost> Win32Browser::hand_over() {
  if (host_) host_->unhook();
  return std::move(host_);
}

void Win32Browser::do_set_focus() {
  if (!host_) throw RunError(kMethodFailed);
  host_->focus();
}

void Win32Browser::do_navigate(const std::string& url) {
  const win32::Bstr address(navigation_address(url).c_str());
  win32::Variant flags, target, post_data, headers;  // every optional argument omitted
  check(control().Navigate(address.get(), flags.get(), target.get(), post_data.get(), headers.get()));
}

void Win32Browser::do_set_register_as_browser(bool value) {
  check(control().put_RegisterAsBrowser(value ? VARIANT_TRUE : VARIANT_FALSE));
}

Automation Win32Browser::do_automation() {
  return Automation(static_cast<IDispatch*>(&control()));
}

bool Win32Browser::page_complete() const {
  READYSTATE state = READYSTATE_UNINITIALIZED;
  return SUCCEEDED(control().get_ReadyState(&state)) && state == READYSTATE_COMPLETE;
}

void Win32Browser::do_exec_wb(std::int32_t cmd_id, std::int32_t exec_opt, std::int16_t in, std::int16_t out) {
  const bool print = cmd_id == kOleCmdIdPrint;
  // One print at a time: the control would bring a second dialog over (or after) the first.
  if (print && host_ && host_->printing()) return;
  // A page still loading may be printed as far as it has come, or not: the control decides.
  const bool complete = !print || page_complete();
  win32::Variant in_argument, out_argument;
  in_argument->vt = VT_I2;
  in_argument->iVal = in;
  out_argument->vt = VT_I2;
  out_argument->iVal = out;
  // The control's print dialog is modal for the whole launcher, whether or not the control says so
  // (EnableModeless).
  const Win32WindowSystem::ModalLoop command(win32_window_.win32_system(), win32_window_.handle());
  const auto option = static_cast<OLECMDEXECOPT>(exec_opt);
  IWebBrowser2& browser = control();
  const HRESULT hr =
      print ? host_->print(option, in_argument.get(), out_argument.get())
            : browser.ExecWB(static_cast<OLECMDID>(cmd_id), option, in_argument.get(), out_argument.get());
  if (print && (print_declined(hr) || (!complete && FAILED(hr)))) return;
  check(hr);
}

void Win32Browser::title_change(const std::wstring& text) {
  raise_title_change(win32::to_utf8(text));
}

void Win32Browser::new_window2(IDispatch** pp_disp, VARIANT_BOOL* cancel) {
  Automation answer;
  bool cancelled = *cancel != VARIANT_FALSE;
  raise_new_window2(answer, cancelled);
  *cancel = cancelled ? VARIANT_TRUE : VARIANT_FALSE;
  if (!answer || *pp_disp) return;
  // The control takes a reference of its own to the browser that is to show the new window.
  auto* other = static_cast<IDispatch*>(answer.get());
  other->AddRef();
  *pp_disp = other;
}

void Win32Browser::enable_modeless(bool enable) {
  win32_window_.enable_modeless(enable);
}

// As the user would close the window, once the control's event is over.
void Win32Browser::window_closing() {
  ::PostMessageW(win32_window_.handle(), WM_CLOSE, 0, 0);
}

// ---- Win32Button ------------------------------------------------------------------------------

Win32Button::Win32Button(Window& window, const ControlDesign& design, HWND parent, HFONT font)
    : CommandButton(window, design),
      handle_(::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0,
                                0, 0, parent, nullptr, ::GetModuleHandleW(nullptr), nullptr)) {
  if (!handle_) throw RunError(kMethodFailed);
  ::SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

void Win32Button::do_move(int left, int top, int width, int height) {
  ::MoveWindow(handle_, left, top, width, height, TRUE);
}

void Win32Button::do_set_focus() {
  ::SetFocus(handle_);
}

void Win32Button::do_set_caption(const std::string& text) {
  ::SetWindowTextW(handle_, win32::to_wide(text).c_str());
}

}  // namespace sorvanta::windows
