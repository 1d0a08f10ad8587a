#include "tests/launcher/fake_window_system.h"

#include <stdexcept>

namespace sorvanta::testing {

namespace {
std::string rect_text(int left, int top, int width, int height) {
  return std::to_string(left) + "," + std::to_string(top) + "," + std::to_string(width) + "," +
         std::to_string(height);
}
}  // namespace

// ---- FakeBrowser ----

std::string FakeBrowser::id() const {
  return static_cast<FakeWindow&>(window()).id() + "." + name();
}

FakeBrowser::NewWindowAnswer FakeBrowser::fire_new_window2() {
  NewWindowAnswer answer{Automation{}, false};
  raise_new_window2(answer.pp_disp, answer.cancel);
  fake_.log.push_back(id() + " NewWindow2 returned");
  return answer;
}

void FakeBrowser::do_move(int left, int top, int width, int height) {
  rect = {left, top, width, height};
  fake_.log.push_back(id() + " move " + rect_text(left, top, width, height));
}

void FakeBrowser::do_set_focus() {
  ++focus_count;
  fake_.log.push_back(id() + " SetFocus");
}

void FakeBrowser::do_navigate(const std::string& url) {
  navigations.push_back(url);
  fake_.log.push_back(id() + " Navigate " + url);
}

void FakeBrowser::do_set_register_as_browser(bool value) {
  fake_.log.push_back(id() + " RegisterAsBrowser=" + (value ? "1" : "0"));
}

Automation FakeBrowser::do_automation() {
  fake_.log.push_back(id() + " automation");
  return Automation{this};
}

void FakeBrowser::do_exec_wb(std::int32_t cmd_id, std::int32_t exec_opt, std::int16_t in, std::int16_t out) {
  fake_.log.push_back(id() + " ExecWB");
  if (refuse_exec_wb) throw RunError(kMethodFailed);
  exec_wb_calls.push_back({cmd_id, exec_opt, in, out});
}

// ---- FakeButton ----

std::string FakeButton::id() const {
  return static_cast<FakeWindow&>(window()).id() + "." + name();
}

void FakeButton::do_move(int left, int top, int width, int height) {
  rect = {left, top, width, height};
  fake_.log.push_back(id() + " move " + rect_text(left, top, width, height));
}

void FakeButton::do_set_focus() {
  fake_.log.push_back(id() + " SetFocus");
}

void FakeButton::do_set_caption(const std::string& text) {
  fake_.log.push_back(id() + " caption " + text);
}

// ---- FakeWindow ----

FakeWindow::FakeWindow(FakeWindowSystem& fake, const WindowDesign& design, std::string id)
    : Window(fake, design),
      fake_(fake),
      id_(std::move(id)),
      size_{fake.pixels_x(static_cast<Single>(design.width)),
            fake.pixels_y(static_cast<Single>(design.height))} {}

void FakeWindow::fire_resize_to(int width_twips, int height_twips) {
  size_ = {system().pixels_x(static_cast<Single>(width_twips)),
           system().pixels_y(static_cast<Single>(height_twips))};
  raise_resize();
}

std::unique_ptr<Browser> FakeWindow::do_create_browser(const ControlDesign& design) {
  fake_.log.push_back(id_ + " create " + design.name);
  return std::make_unique<FakeBrowser>(*this, design, fake_);
}

std::unique_ptr<CommandButton> FakeWindow::do_create_button(const ControlDesign& design) {
  fake_.log.push_back(id_ + " create " + design.name);
  return std::make_unique<FakeButton>(*this, design, fake_);
}

void FakeWindow::do_set_caption(const std::string& text) {
  fake_.log.push_back(id_ + " caption " + text);
}

void FakeWindow::do_show() {
  shown_ = true;
  fake_.log.push_back(id_ + " show");
}

void FakeWindow::do_destroy() {
  fake_.destroyed.insert(id_);
  fake_.log.push_back(id_ + " destroy");
}

// ---- FakeWindowSystem ----

FakeWindow& FakeWindowSystem::loaded(const std::string& name, int nth) const {
  for (Window* w : windows()) {
    if (w->design().name == name && nth-- == 0) return static_cast<FakeWindow&>(*w);
  }
  throw std::out_of_range("no loaded window " + name);
}

int FakeWindowSystem::count_loaded(const std::string& name) const {
  int n = 0;
  for (Window* w : windows()) n += w->design().name == name ? 1 : 0;
  return n;
}

std::unique_ptr<Window> FakeWindowSystem::do_create_window(const WindowDesign& design) {
  std::string id = design.name + "#" + std::to_string(++instances_[design.name]);
  log.push_back(id + " create");
  return std::make_unique<FakeWindow>(*this, design, id);
}

int FakeWindowSystem::do_message_box(const std::string& text, const std::string& title, int style) {
  message_boxes.push_back({text, title, style});
  log.push_back("MsgBox " + text);
  if (while_message_box) while_message_box();
  return kVbOk;
}

void FakeWindowSystem::do_run() {
  running_ = true;
  log.push_back("run");
  if (while_running) while_running();
  running_ = false;
}

void FakeWindowSystem::do_quit() {
  if (!running_) throw std::logic_error("quit while the event loop is not running");
  ++quits;
  log.push_back("quit");
}

}  // namespace sorvanta::testing
