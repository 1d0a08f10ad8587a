#include "launcher/window_system.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace sorvanta {

// ---- Control ----------------------------------------------------------------------------------

Control::Control(Window& window, ControlDesign design)
    : window_(window),
      design_(std::move(design)),
      left_(static_cast<Single>(design_.left)),
      top_(static_cast<Single>(design_.top)),
      width_(static_cast<Single>(design_.width)),
      height_(static_cast<Single>(design_.height)) {}

void Control::apply_geometry() {
  const WindowSystem& system = window_.system();
  do_move(system.pixels_x(left_), system.pixels_y(top_), system.pixels_x(width_), system.pixels_y(height_));
}

void Control::set_width(Single twips) {
  window_.check_loaded();
  const WindowSystem& system = window_.system();
  system.checked_pixels(twips, system.do_twips_per_pixel().x);
  width_ = twips;
  apply_geometry();
}

void Control::set_height(Single twips) {
  window_.check_loaded();
  const WindowSystem& system = window_.system();
  system.checked_pixels(twips, system.do_twips_per_pixel().y);
  height_ = twips;
  apply_geometry();
}

void Control::set_focus() {
  window_.check_loaded();
  if (!window_.visible()) throw RunError(kInvalidArgument);
  do_set_focus();
}

void Control::raise(const std::function<void()>& handler) {
  if (window_.destroyed_) return;
  window_.system().dispatch(handler, true);
}

WindowEvents& Control::events() const {
  return *window_.events_;
}

void Control::check_loaded() const {
  window_.check_loaded();
}

void Browser::set_register_as_browser(bool value) {
  check_loaded();
  do_set_register_as_browser(value);
  register_as_browser_ = value;
}

void Browser::raise_title_change(const std::string& text) {
  raise([&] { events().title_change(*this, text); });
}

void Browser::raise_new_window2(Automation& pp_disp, bool& cancel) {
  raise([&] { events().new_window2(*this, pp_disp, cancel); });
}

void CommandButton::set_caption(const std::string& text) {
  check_loaded();
  do_set_caption(text);
  caption_ = text;
}

void CommandButton::raise_click() {
  raise([&] { events().click(*this); });
}

// ---- Window -----------------------------------------------------------------------------------

Window::Window(WindowSystem& system, WindowDesign design) : system_(system), design_(std::move(design)) {}

Window::~Window() = default;

void Window::check_loaded() const {
  if (destroyed_) throw std::logic_error("window " + design_.name + " is no longer loaded");
}

void Window::create_controls() {
  std::vector<const ControlDesign*> by_tab_order;
  for (const ControlDesign& c : design_.controls) by_tab_order.push_back(&c);
  std::stable_sort(
      by_tab_order.begin(), by_tab_order.end(),
      [](const ControlDesign* a, const ControlDesign* b) { return a->tab_index < b->tab_index; });
  for (const ControlDesign* c : by_tab_order) {
    std::unique_ptr<Control> made;
    if (c->kind == ControlKind::web_browser) {
      made = do_create_browser(*c);
    } else {
      auto button = do_create_button(*c);
      button->set_caption(c->caption);
      made = std::move(button);
    }
    made->apply_geometry();
    controls_.push_back(std::move(made));
  }
}

Control& Window::control(std::string_view name) const {
  for (const auto& c : controls_) {
    if (c->name() == name) return *c;
  }
  throw std::out_of_range("window " + design_.name + " has no control " + std::string(name));
}

Browser& Window::browser(std::string_view name) const {
  Control& c = control(name);
  if (c.design().kind != ControlKind::web_browser)
    throw std::out_of_range(std::string(name) + " is no browser");
  return static_cast<Browser&>(c);
}

CommandButton& Window::button(std::string_view name) const {
  Control& c = control(name);
  if (c.design().kind != ControlKind::command_button)
    throw std::out_of_range(std::string(name) + " is no button");
  return static_cast<CommandButton&>(c);
}

void Window::set_caption(const std::string& text) {
  check_loaded();
  do_set_caption(text);
  caption_ = text;
}

Single Window::width() const {
  check_loaded();
  return system_.twips_x(do_outer_size().width);
}

Single Window::height() const {
  check_loaded();
  return system_.twips_y(do_outer_size().height);
}

void Window::show() {
  check_loaded();
  if (!shown_) {
    shown_ = true;
    system_.dispatch([this] { events_->resize(); }, false);
  }
  if (destroyed_) return;  // Resize may have unloaded it
  do_show();
  visible_ = true;
  system_.activated(*this, false);
}

void Window::unload() {
  system_.dispatch([this] { close(UnloadMode::form_code); }, false);
}

void Window::close(UnloadMode mode) {
  // A second request while the first one's handlers still run (a message box is up) is dropped.
  if (destroyed_ || closing_) return;
  closing_ = true;
  int cancel = 0;
  // The program may have ended while a handler waited in a message box: then nothing more runs.
  auto over = [this] { return destroyed_ || system_.ending_; };
  try {
    events_->query_unload(cancel, mode);
    if (cancel == 0 && !over()) events_->unload(cancel);
  } catch (...) {
    closing_ = false;
    throw;
  }
  closing_ = false;
  if (cancel == 0 && !over()) system_.discard(*this);
}

void Window::destroy() {
  if (destroyed_) return;
  destroyed_ = true;
  visible_ = false;
  do_destroy();
}

void Window::raise_resize() {
  if (destroyed_ || !shown_) return;
  system_.dispatch([this] { events_->resize(); }, true);
}

void Window::raise_activate() {
  if (destroyed_ || !visible_) return;
  system_.activated(*this, true);
}

void Window::raise_close_request(UnloadMode mode) {
  if (destroyed_) return;
  system_.dispatch([this, mode] { close(mode); }, true);
}

// ---- WindowSystem -----------------------------------------------------------------------------

WindowSystem::~WindowSystem() {
  destroy_windows();
}

void WindowSystem::destroy_windows() {
  ending_ = true;
  for (auto& w : windows_) w->destroy();
  for (auto& w : windows_) discarded_.push_back(std::move(w));
  windows_.clear();
  active_ = nullptr;
  if (depth_ == 0) collect();
}

void WindowSystem::load_window(const WindowDesign& design,
                               const std::function<std::unique_ptr<WindowEvents>(Window&)>& make_events) {
  std::unique_ptr<Window> window = do_create_window(design);
  window->set_caption(design.caption);
  window->create_controls();
  window->events_ = make_events(*window);
  Window& loaded = *window;
  windows_.push_back(std::move(window));
  dispatch([&loaded] { loaded.events_->load(); }, false);
}

int WindowSystem::message_box(const std::string& text, const std::string& title, int style) {
  return do_message_box(text, title, style);
}

void WindowSystem::end() {
  destroy_windows();
  stop_loop();
  throw ProgramEnd{};
}

void WindowSystem::run() {
  collect();
  if (!pending_ && !windows_.empty()) {
    running_ = true;
    quit_requested_ = false;
    do_run();
    running_ = false;
  }
  collect();
  if (pending_) std::rethrow_exception(pending_);
}

std::vector<Window*> WindowSystem::windows() const {
  std::vector<Window*> loaded;
  for (const auto& w : windows_) loaded.push_back(w.get());
  return loaded;
}

void WindowSystem::dispatch(const std::function<void()>& handler, bool from_platform) {
  if (from_platform && ending_) return;
  ++depth_;
  try {
    handler();
  } catch (...) {
    --depth_;
    if (!from_platform) throw;
    fail(std::current_exception());
    if (depth_ == 0) collect();
    return;
  }
  --depth_;
  // Unloaded windows go once the platform's event is over; the logic's own calls leave them for
  // the next event, so main's reference to the window it loaded stays good until run().
  if (from_platform && depth_ == 0) collect();
}

void WindowSystem::fail(std::exception_ptr error) {
  if (!pending_) pending_ = std::move(error);
  ending_ = true;
  stop_loop();
}

void WindowSystem::stop_loop() {
  if (running_ && !quit_requested_) {
    quit_requested_ = true;
    do_quit();
  }
}

void WindowSystem::activated(Window& window, bool from_platform) {
  if (active_ == &window) return;
  active_ = &window;
  dispatch([&window] { window.events_->activate(); }, from_platform);
}

void WindowSystem::discard(Window& window) {
  window.destroy();
  if (active_ == &window) active_ = nullptr;
  auto it = std::find_if(windows_.begin(), windows_.end(), [&](const auto& w) { return w.get() == &window; });
  if (it == windows_.end()) return;
  discarded_.push_back(std::move(*it));
  windows_.erase(it);
  // As with the runtime, the program goes when its last window has been unloaded.
  if (windows_.empty()) stop_loop();
}

void WindowSystem::collect() {
  discarded_.clear();
}

int WindowSystem::checked_pixels(Single twips, Single twips_per_pixel) const {
  if (std::isnan(twips) || twips < 0) throw RunError(kInvalidPropertyValue);
  const double pixels = std::round(static_cast<double>(twips) / twips_per_pixel);
  if (pixels > 1'000'000) throw RunError(kOverflow);
  return static_cast<int>(pixels);
}

int WindowSystem::pixels_x(Single twips) const {
  return static_cast<int>(std::lround(twips / do_twips_per_pixel().x));
}

int WindowSystem::pixels_y(Single twips) const {
  return static_cast<int>(std::lround(twips / do_twips_per_pixel().y));
}

Single WindowSystem::twips_x(int pixels) const {
  return static_cast<Single>(pixels) * do_twips_per_pixel().x;
}

Single WindowSystem::twips_y(int pixels) const {
  return static_cast<Single>(pixels) * do_twips_per_pixel().y;
}

}  // namespace sorvanta
