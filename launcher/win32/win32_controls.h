#pragma once
// The launcher's two kinds of child control on Windows: the hosted WebBrowser and a push button.
#include <windows.h>

#include <memory>
#include <string>

#include "launcher/win32/browser_host.h"
#include "launcher/window_system.h"

namespace sorvanta::windows {

class Win32Window;

class Win32Browser final : public Browser, private BrowserHostEvents {
 public:
  Win32Browser(Win32Window& window, const ControlDesign& design, HWND parent);
  ~Win32Browser() override;

  bool translate_accelerator(MSG& message) { return host_ && host_->translate_accelerator(message); }
  bool owns(HWND window) const { return host_ && host_->owns(window); }
  // Whether the control can't be let go yet: it prints, or a modal loop of its own runs.
  bool busy() const { return host_ && host_->busy(); }
  // The keyboard to the page, whatever the window's state; when the control can't, nothing moves.
  void focus_page() {
    if (host_) host_->focus();
  }
  // Lets go of the control while its window is still there.
  void close() { host_.reset(); }
  // Hands the control over to be let go later; its events reach nobody from now on, and the modal
  // loops it runs no longer hold the launcher's windows.
  std::unique_ptr<BrowserHost> hand_over();

 protected:
  void do_move(int left, int top, int width, int height) override;
  void do_set_focus() override;
  void do_navigate(const std::string& url) override;
  void do_set_register_as_browser(bool value) override;
  Automation do_automation() override;
  void do_exec_wb(std::int32_t cmd_id, std::int32_t exec_opt, std::int16_t in, std::int16_t out) override;

 private:
  void title_change(const std::wstring& text) override;
  void new_window2(IDispatch** pp_disp, VARIANT_BOOL* cancel) override;
  void enable_modeless(bool enable) override;
  void window_closing() override;
  IWebBrowser2& control() const;
  bool page_complete() const;

  Win32Window& win32_window_;
  std::unique_ptr<BrowserHost> host_;
};

class Win32Button final : public CommandButton {
 public:
  Win32Button(Window& window, const ControlDesign& design, HWND parent, HFONT font);

  HWND handle() const { return handle_; }
  void clicked() { raise_click(); }

 protected:
  void do_move(int left, int top, int width, int height) override;
  void do_set_focus() override;
  void do_set_caption(const std::string& text) override;

 private:
  HWND handle_;  // a child of the window, which destroys it
};

}  // namespace sorvanta::windows
