#pragma once
// Sorvanta's WindowSystem on Windows: top-level Win32 windows made from the designs, the hosted
// WebBrowser control, MessageBoxW and the thread's message loop.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "launcher/win32/browser_host.h"
#include "launcher/win32/window_frame.h"
#include "launcher/window_system.h"
#include "win32/dll_search.h"
#include "win32/scoped.h"

namespace sorvanta::windows {

class Win32WindowSystem final : public WindowSystem {
 public:
  Win32WindowSystem();
  ~Win32WindowSystem() override;

  // The window class of every launcher window.
  static constexpr const wchar_t* kWindowClass = L"SorvantaWindow";

  // What every window of the launcher shares.
  HICON icon(bool small) const { return small ? small_icon_ : big_icon_; }
  HFONT font() const { return font_.get(); }
  const DesktopWindowManager& desktop() const { return desktop_; }

  // A control in `owner` starts (false) or ends (true) a modal loop: while one runs, the launcher's
  // other windows take no input, as they would under a message box.
  void enable_modeless(bool enable, HWND owner);
  bool in_modal_loop() const { return modal_loops_ > 0; }
  // Whether the launcher itself is enabling or disabling its windows right now.
  bool changing_enabled() const { return changing_enabled_; }
  // How the program was started (the start-up info's show command), for the first window shown;
  // nothing for every later one.
  std::optional<int> take_start_up_show() { return std::exchange(start_up_show_, std::nullopt); }

  // A modal loop of the launcher's own over `owner` (null: over none), for its lifetime.
  class ModalLoop {
   public:
    ModalLoop(Win32WindowSystem& system, HWND owner) : system_(system) {
      system_.enable_modeless(false, owner);
    }
    ModalLoop(const ModalLoop&) = delete;
    ModalLoop& operator=(const ModalLoop&) = delete;
    ~ModalLoop() { system_.enable_modeless(true, nullptr); }

   private:
    Win32WindowSystem& system_;
  };
  // A window with its controls, to go once none of its controls runs a modal loop or prints (and
  // the launcher's own loop is back at the top).
  void defer_destruction(HWND window, std::vector<std::unique_ptr<BrowserHost>> controls);

 protected:
  TwipsPerPixel do_twips_per_pixel() const override { return twips_per_pixel_; }
  std::unique_ptr<Window> do_create_window(const WindowDesign& design) override;
  std::string do_app_path() override;
  int do_message_box(const std::string& text, const std::string& title, int style) override;
  void do_run() override;
  void do_quit() override;

 private:
  // Hands a keyboard message to the controls of the launcher window it is meant for first.
  static bool translate_keyboard(MSG& message);
  // The window a message box belongs to: the launcher's active one while it shows, else none.
  HWND box_owner() const;
  // The deferred windows go: those whose controls are done, or all of them.
  void destroy_deferred(bool busy_too);
  // The program is ending: pages still printing get to their end first (for a while at most).
  void wait_while_printing();

  struct Remains {
    HWND window;
    std::vector<std::unique_ptr<BrowserHost>> controls;
    bool printing() const;
    bool busy() const;
  };

  // First of all: nothing may load a DLL by name from our folder or the current directory.
  win32::RestrictedDllSearch dll_search_;
  win32::OleInit ole_;  // then OLE, last down: the browser controls need it
  DesktopWindowManager desktop_;
  TwipsPerPixel twips_per_pixel_{};
  HICON big_icon_ = nullptr;  // shared resource icons: never destroyed
  HICON small_icon_ = nullptr;
  win32::Font font_;
  int modal_loops_ = 0;
  std::vector<HWND> disabled_;  // what the running modal loops disabled
  bool changing_enabled_ = false;
  std::optional<int> start_up_show_;
  std::vector<Remains> deferred_;
};

}  // namespace sorvanta::windows
