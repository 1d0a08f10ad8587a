#pragma once
// A WindowSystem that shows nothing: it writes every call the logic makes into one log, in order,
// and lets tests raise the platform's events by hand.
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "launcher/window_system.h"

namespace sorvanta::testing {

class FakeWindowSystem;

struct ExecWbCall {
  std::int32_t cmd_id;
  std::int32_t exec_opt;
  std::int16_t in;
  std::int16_t out;
  friend bool operator==(const ExecWbCall&, const ExecWbCall&) = default;
};

struct PixelRect {
  int left, top, width, height;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

class FakeBrowser : public Browser {
 public:
  FakeBrowser(Window& window, const ControlDesign& design, FakeWindowSystem& fake)
      : Browser(window, design), fake_(fake) {}

  void fire_title_change(const std::string& text) { raise_title_change(text); }
  // NewWindow2 with ppDisp and Cancel as the control hands them over; returns what the handler left.
  struct NewWindowAnswer {
    Automation pp_disp;
    bool cancel;
  };
  NewWindowAnswer fire_new_window2();

  std::vector<std::string> navigations;
  std::vector<ExecWbCall> exec_wb_calls;
  PixelRect rect{};
  int focus_count = 0;
  bool refuse_exec_wb = false;

 protected:
  void do_move(int left, int top, int width, int height) override;
  void do_set_focus() override;
  void do_navigate(const std::string& url) override;
  void do_set_register_as_browser(bool value) override;
  Automation do_automation() override;
  void do_exec_wb(std::int32_t cmd_id, std::int32_t exec_opt, std::int16_t in, std::int16_t out) override;

 private:
  std::string id() const;
  FakeWindowSystem& fake_;
};

class FakeButton : public CommandButton {
 public:
  FakeButton(Window& window, const ControlDesign& design, FakeWindowSystem& fake)
      : CommandButton(window, design), fake_(fake) {}
  void fire_click() { raise_click(); }
  PixelRect rect{};

 protected:
  void do_move(int left, int top, int width, int height) override;
  void do_set_focus() override;
  void do_set_caption(const std::string& text) override;

 private:
  std::string id() const;
  FakeWindowSystem& fake_;
};

class FakeWindow : public Window {
 public:
  FakeWindow(FakeWindowSystem& fake, const WindowDesign& design, std::string id);

  const std::string& id() const { return id_; }
  bool shown() const { return shown_; }

  // The user resizes the window to an outer size in twips; the platform reports it.
  void fire_resize_to(int width_twips, int height_twips);
  void fire_activate() { raise_activate(); }
  void fire_close_request(UnloadMode mode = UnloadMode::form_control_menu) { raise_close_request(mode); }

  FakeBrowser& fake_browser(const std::string& name) { return dynamic_cast<FakeBrowser&>(browser(name)); }
  FakeButton& fake_button(const std::string& name) { return dynamic_cast<FakeButton&>(button(name)); }

 protected:
  std::unique_ptr<Browser> do_create_browser(const ControlDesign& design) override;
  std::unique_ptr<CommandButton> do_create_button(const ControlDesign& design) override;
  void do_set_caption(const std::string& text) override;
  PixelSize do_outer_size() const override { return size_; }
  void do_show() override;
  void do_destroy() override;

 private:
  FakeWindowSystem& fake_;
  std::string id_;
  PixelSize size_;
  bool shown_ = false;
};

struct MessageBoxCall {
  std::string text;
  std::string title;
  int style;
  friend bool operator==(const MessageBoxCall&, const MessageBoxCall&) = default;
};

class FakeWindowSystem : public WindowSystem {
 public:
  explicit FakeWindowSystem(std::string app_path = "/opt/Veltrano/progetto_html", Single twips_per_pixel = 15)
      : app_path_(std::move(app_path)), twips_per_pixel_(twips_per_pixel) {}
  ~FakeWindowSystem() override { destroy_windows(); }

  // Every call of the logic, in order, e.g. "frmVBP#1.web2 RegisterAsBrowser=1".
  std::vector<std::string> log;
  std::vector<MessageBoxCall> message_boxes;
  // Runs while a message box is up (the user may do things elsewhere meanwhile).
  std::function<void()> while_message_box;
  // Runs as the event loop: what the user does while the program runs.
  std::function<void()> while_running;
  int quits = 0;

  // Ids ("frmVBP#2") of the windows whose native window has gone.
  std::set<std::string> destroyed;
  // The nth loaded window of a design (0: the first still loaded).
  FakeWindow& loaded(const std::string& name, int nth = 0) const;
  int count_loaded(const std::string& name) const;

 protected:
  TwipsPerPixel do_twips_per_pixel() const override { return {twips_per_pixel_, twips_per_pixel_}; }
  std::unique_ptr<Window> do_create_window(const WindowDesign& design) override;
  std::string do_app_path() override { return app_path_; }
  int do_message_box(const std::string& text, const std::string& title, int style) override;
  void do_run() override;
  void do_quit() override;

 private:
  std::string app_path_;
  Single twips_per_pixel_;
  std::map<std::string, int> instances_;
  bool running_ = false;
};

}  // namespace sorvanta::testing
