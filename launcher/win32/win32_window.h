#pragma once
// One launcher window: a top-level Win32 window made from its design. Its window procedure turns
// the system's messages into the window's events.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "launcher/window_system.h"

namespace sorvanta::windows {

class Win32WindowSystem;
class Win32Browser;
class Win32Button;

class Win32Window final : public Window {
 public:
  Win32Window(Win32WindowSystem& system, const WindowDesign& design);
  ~Win32Window() override;

  HWND handle() const { return handle_; }
  Win32WindowSystem& win32_system() const { return win32_system_; }
  // The launcher window behind `handle`, if it is one.
  static Win32Window* from_handle(HWND handle);
  // Offers a keyboard message to the controls before the window it is meant for gets it; true when
  // it was taken. Tab and Shift+Tab move between the controls in tab order, Enter presses the button
  // that has the focus; inside a page the control has every key first, and what it leaves goes to
  // the page, Tab excepted.
  bool translate_keyboard(MSG& message);
  // A control of this window starts (false) or ends (true) a modal loop of its own.
  void enable_modeless(bool enable);
  // The window procedure of the launcher's window class; `this` comes with WM_NCCREATE.
  static LRESULT CALLBACK window_procedure(HWND handle, UINT message, WPARAM wparam, LPARAM lparam);

 protected:
  std::unique_ptr<Browser> do_create_browser(const ControlDesign& design) override;
  std::unique_ptr<CommandButton> do_create_button(const ControlDesign& design) override;
  void do_set_caption(const std::string& text) override;
  PixelSize do_outer_size() const override;
  void do_show() override;
  void do_destroy() override;

 private:
  LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam);
  // Where the system shows the window smaller than its rectangle, the design's outer size is given
  // to what shows, placed as the design says, through the window's normal position: once, as soon
  // as the system can tell the frame. True when the window moved.
  bool fit_visible_frame();
  // A dialog that is not the launcher's own (the control's, shown after ExecWB has returned) has
  // disabled this window, or let it go again: the launcher's other windows wait with it.
  void held_by_dialog(bool held);
  void save_focus();
  void restore_focus();
  // The keyboard to the control after (or before) `from` in tab order, round the end; focus
  // rectangles show from now on.
  void move_focus(const Control& from, bool backwards);

  Win32WindowSystem& win32_system_;
  HWND handle_ = nullptr;
  HWND focus_ = nullptr;  // the control that had the keyboard when the window was last deactivated
  bool shown_once_ = false;
  bool fitted_ = false;
  bool held_by_dialog_ = false;
};

}  // namespace sorvanta::windows
