#pragma once
// The window system Sorvanta's windows run on, in its own terms: windows made from fixed designs
// measured in twips, the WebBrowser control (Navigate, RegisterAsBrowser, its automation object,
// ExecWB, SetFocus, the events TitleChange and NewWindow2), push buttons, message boxes, the
// program's folder and the end of the program.
//
// The windows' logic (frm_start, frm_vb, frm_vbp) talks to nothing else. Each platform implements
// the protected do_* hooks once (gtk/, win32/) and the tests fake them; the public methods do the
// work every platform shares (twips and pixels, refusing bad sizes, the order of events, the end).
//
// Events: a backend reports what the platform tells it through the protected raise_* methods. They
// never throw: an error escaping a handler, or the end of the program, is kept, stops the event loop
// and leaves run() as an exception. Once the program is ending no further handler runs.
// Objects handed out (Window&, Browser&, ...) stay valid until the window is unloaded and the event
// being handled returns.
//
// Strings are UTF-8 on both sides; implementations convert at their boundary.
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "launcher/run_error.h"

namespace sorvanta {

// The runtime's single-precision number: sizes in twips are read and set as Single.
using Single = float;

// Message box styles and answers the launcher uses (MsgBox).
inline constexpr int kVbOkOnly = 0;
inline constexpr int kVbCritical = 16;
inline constexpr int kVbInformation = 64;
inline constexpr int kVbOk = 1;

// The title of the boxes in which the launcher reports a failure of its own.
inline constexpr const char* kProgramTitle = "Sorvanta";

// ExecWB: OLECMDID_PRINT and the OLECMDEXECOPT values.
inline constexpr std::int32_t kOleCmdIdPrint = 6;
inline constexpr std::int32_t kOleCmdExecOptPromptUser = 1;
inline constexpr std::int32_t kOleCmdExecOptDontPromptUser = 2;

// A window's frame (BorderStyle).
enum class BorderStyle { none = 0, fixed_single = 1, sizable = 2 };

// Why a window is being unloaded (QueryUnload's UnloadMode).
enum class UnloadMode {
  form_control_menu = 0,  // the user: close box, system menu, Alt+F4
  form_code = 1,          // the program's own Unload
  app_windows = 2,        // the user's session is ending
  app_task_manager = 3,   // the task list closes the program
};

enum class ControlKind { web_browser, command_button };

// A child control as it stands in its window's design. Geometry in twips, within the client area.
struct ControlDesign {
  std::string name;
  ControlKind kind;
  int left;
  int top;
  int width;
  int height;
  int tab_index;
  std::string caption;  // push buttons only
};

// A window as designed. Width/Height are outer sizes, frame and caption bar included; the client
// area lies at (client_left, client_top) from the outer top-left corner.
struct WindowDesign {
  std::string name;
  std::string caption;
  BorderStyle border_style;
  bool control_box;  // caption bar with close box
  bool min_button;
  bool max_button;
  int client_left;
  int client_top;
  int client_width;
  int client_height;
  int width;
  int height;
  bool centred;  // placed centred on the screen
  bool icon;     // carries the program's icon
  std::vector<ControlDesign> controls;
};

// The browser control's automation object (its IDispatch on Windows), as NewWindow2's ppDisp takes
// it. An opaque, non-owning handle: only the backend that made it can look inside.
class Automation {
 public:
  Automation() = default;
  explicit Automation(void* object) : object_(object) {}
  void* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  friend bool operator==(const Automation&, const Automation&) = default;

 private:
  void* object_ = nullptr;
};

class Window;
class WindowSystem;
class Control;
class Browser;
class CommandButton;

// What a window's logic handles. Every event does nothing unless overridden.
class WindowEvents {
 public:
  virtual ~WindowEvents() = default;
  virtual void load() {}
  virtual void resize() {}
  virtual void activate() {}
  virtual void query_unload(int& /*cancel*/, UnloadMode /*mode*/) {}
  virtual void unload(int& /*cancel*/) {}
  virtual void click(CommandButton& /*source*/) {}
  virtual void title_change(Browser& /*source*/, const std::string& /*text*/) {}
  virtual void new_window2(Browser& /*source*/, Automation& /*pp_disp*/, bool& /*cancel*/) {}
};

// A child control placed in a window.
class Control {
 public:
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control() = default;

  const ControlDesign& design() const { return design_; }
  const std::string& name() const { return design_.name; }
  Window& window() const { return window_; }

  // Left/Top/Width/Height in twips, as last set.
  Single left() const { return left_; }
  Single top() const { return top_; }
  Single width() const { return width_; }
  Single height() const { return height_; }
  // Width/Height in twips. A negative size (or one that is not a number) is refused with
  // RunError 380 and a size beyond what the screen can hold with RunError 6; either way nothing
  // changes.
  void set_width(Single twips);
  void set_height(Single twips);

  // SetFocus: keyboard input goes to this control. RunError 5 while its window is not visible.
  void set_focus();

 protected:
  Control(Window& window, ControlDesign design);

  // Place the control at a pixel rectangle of the client area; pieces outside the window are clipped.
  virtual void do_move(int left, int top, int width, int height) = 0;
  virtual void do_set_focus() = 0;

  // Runs `handler` as an event raised by the platform (see raise_* in the file's comment).
  void raise(const std::function<void()>& handler);
  // std::logic_error once the window has been unloaded.
  void check_loaded() const;
  WindowEvents& events() const;

 private:
  friend class Window;
  void apply_geometry();

  Window& window_;
  ControlDesign design_;
  Single left_;
  Single top_;
  Single width_;
  Single height_;
};

// The WebBrowser control.
class Browser : public Control {
 public:
  // Navigate with the address only, every optional argument omitted.
  void navigate(const std::string& url) { do_navigate(url); }
  bool register_as_browser() const { return register_as_browser_; }
  void set_register_as_browser(bool value);
  // The control's own automation object (not the window's wrapper around the control).
  Automation automation() { return do_automation(); }
  // ExecWB(cmdID, cmdexecopt, pvaIn, pvaOut), both last arguments passed as 16-bit integers.
  void exec_wb(std::int32_t cmd_id, std::int32_t exec_opt, std::int16_t in, std::int16_t out) {
    do_exec_wb(cmd_id, exec_opt, in, out);
  }

 protected:
  using Control::Control;
  virtual void do_navigate(const std::string& url) = 0;
  virtual void do_set_register_as_browser(bool value) = 0;
  virtual Automation do_automation() = 0;
  virtual void do_exec_wb(std::int32_t cmd_id, std::int32_t exec_opt, std::int16_t in, std::int16_t out) = 0;

  // TitleChange(Text).
  void raise_title_change(const std::string& text);
  // NewWindow2(ppDisp, Cancel): when the handler leaves `pp_disp` empty or sets `cancel`, the
  // control's own default applies.
  void raise_new_window2(Automation& pp_disp, bool& cancel);

 private:
  bool register_as_browser_ = false;
};

// A push button.
class CommandButton : public Control {
 public:
  const std::string& caption() const { return caption_; }
  void set_caption(const std::string& text);

 protected:
  using Control::Control;
  virtual void do_set_caption(const std::string& text) = 0;
  // Click.
  void raise_click();

 private:
  std::string caption_;
};

// A loaded window with its controls and its logic.
class Window {
 public:
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window();

  const WindowDesign& design() const { return design_; }
  WindowSystem& system() const { return system_; }
  bool visible() const { return visible_; }
  // True once the window has been unloaded (or the program ended).
  bool unloaded() const { return destroyed_; }
  // True while a request to close the window runs its handlers (a message box of theirs is up).
  bool closing() const { return closing_; }

  const std::string& caption() const { return caption_; }
  void set_caption(const std::string& text);

  // Outer Width and Height in twips.
  Single width() const;
  Single height() const;

  // Show modeless. The first showing raises Resize before the window appears; then the window
  // becomes the active one.
  void show();
  // Unload: QueryUnload and Unload run, then the window is destroyed unless either cancels.
  void unload();

  // The controls of the design, by name; std::out_of_range when there is none.
  Browser& browser(std::string_view name) const;
  CommandButton& button(std::string_view name) const;

 protected:
  Window(WindowSystem& system, WindowDesign design);

  virtual std::unique_ptr<Browser> do_create_browser(const ControlDesign& design) = 0;
  virtual std::unique_ptr<CommandButton> do_create_button(const ControlDesign& design) = 0;
  virtual void do_set_caption(const std::string& text) = 0;
  // Outer size in pixels.
  struct PixelSize {
    int width;
    int height;
  };
  virtual PixelSize do_outer_size() const = 0;
  virtual void do_show() = 0;
  // The native window goes, with its controls; called once. The object lives on a little longer.
  virtual void do_destroy() = 0;

  // The platform reports that the window's size changed (ignored before the first showing).
  void raise_resize();
  // The platform reports that this window became the active one. Activate runs only when the
  // active window of the program changes, so coming back from another program raises nothing.
  void raise_activate();
  // The platform asks to close the window.
  void raise_close_request(UnloadMode mode);

  // The window's controls of the platform's own type `T`, in the design's order.
  template <class T>
  std::vector<T*> controls_of() const {
    std::vector<T*> found;
    for (const auto& control : controls_) {
      if (auto* typed = dynamic_cast<T*>(control.get())) found.push_back(typed);
    }
    return found;
  }

 private:
  friend class WindowSystem;
  friend class Control;
  void create_controls();
  Control& control(std::string_view name) const;
  void close(UnloadMode mode);
  void destroy();
  void check_loaded() const;

  WindowSystem& system_;
  WindowDesign design_;
  std::unique_ptr<WindowEvents> events_;
  std::vector<std::unique_ptr<Control>> controls_;
  std::string caption_;
  bool visible_ = false;
  bool shown_ = false;
  bool closing_ = false;
  bool destroyed_ = false;
};

class WindowSystem {
 public:
  WindowSystem(const WindowSystem&) = delete;
  WindowSystem& operator=(const WindowSystem&) = delete;
  virtual ~WindowSystem();

  // Load a new instance of the window `Form`: its design (Form::design()) is created hidden, a
  // Form(Window&) becomes its logic and its Load runs. Errors of Load reach the caller.
  template <class Form>
  Form& load() {
    Form* form = nullptr;
    load_window(Form::design(), [&form](Window& window) {
      auto made = std::make_unique<Form>(window);
      form = made.get();
      return made;
    });
    return *form;
  }

  // App.Path: the folder of the running program file, without a trailing separator except at the
  // root of a drive.
  std::string app_path() { return do_app_path(); }
  // MsgBox: modal; returns the button pressed.
  int message_box(const std::string& text, const std::string& title, int style);
  // End: every window goes at once, no further handler runs; throws ProgramEnd.
  [[noreturn]] void end();

  // Runs the event loop while windows are loaded. Rethrows what ended the program (ProgramEnd or
  // an error); returns when the last window has been unloaded.
  void run();
  bool ending() const { return ending_; }

  std::vector<Window*> windows() const;
  // The window of the program that was activated last, if it is still loaded.
  Window* active_window() const { return active_; }

  // Twips and pixels of this screen, rounded to the nearest pixel.
  int pixels_x(Single twips) const;
  int pixels_y(Single twips) const;
  Single twips_x(int pixels) const;
  Single twips_y(int pixels) const;

 protected:
  WindowSystem() = default;

  struct TwipsPerPixel {
    Single x;
    Single y;
  };
  virtual TwipsPerPixel do_twips_per_pixel() const = 0;
  // A native window for `design`, hidden, with its caption bar, frame, client size, placement and
  // icon; the controls follow through Window::do_create_*.
  virtual std::unique_ptr<Window> do_create_window(const WindowDesign& design) = 0;
  virtual std::string do_app_path() = 0;
  virtual int do_message_box(const std::string& text, const std::string& title, int style) = 0;
  // Runs the platform's event loop until do_quit(); do_quit() is only called while it runs.
  virtual void do_run() = 0;
  virtual void do_quit() = 0;

  // Destroys every window now, without events. Backends call it first in their destructor.
  void destroy_windows();

 private:
  friend class Window;
  friend class Control;
  void load_window(const WindowDesign& design,
                   const std::function<std::unique_ptr<WindowEvents>(Window&)>& make_events);
  // Runs a handler. From the platform an escaping exception ends the program; from the logic's
  // own calls it goes on to the caller.
  void dispatch(const std::function<void()>& handler, bool from_platform);
  void fail(std::exception_ptr error);
  void stop_loop();
  void activated(Window& window, bool from_platform);
  void discard(Window& window);
  void collect();
  int checked_pixels(Single twips, Single twips_per_pixel) const;

  std::vector<std::unique_ptr<Window>> windows_;
  std::vector<std::unique_ptr<Window>> discarded_;
  Window* active_ = nullptr;
  std::exception_ptr pending_;
  bool ending_ = false;
  bool running_ = false;
  bool quit_requested_ = false;
  int depth_ = 0;
};

// The running platform's window system (gtk/ or win32/). Throws RunError when there is no screen
// to show windows on.
std::unique_ptr<WindowSystem> make_platform_window_system();

// Tells the user of an error when no window system could be made: a message box where the platform
// still has one (Windows), else a line on standard error.
void report_without_window_system(const std::string& text, const std::string& title);

}  // namespace sorvanta
