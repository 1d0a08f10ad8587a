// What every platform shares: twips and pixels, refused sizes, the order of events, the end.
#include "launcher/window_system.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "tests/launcher/fake_window_system.h"
#include "tests/support/run_error.h"

namespace sorvanta {
namespace {

using testing::FakeBrowser;
using testing::FakeWindow;
using testing::FakeWindowSystem;
using testing::PixelRect;

// A window whose handlers the test writes.
struct Scripted : WindowEvents {
  static const WindowDesign& design() {
    static const WindowDesign kDesign{
        .name = "frmScripted",
        .caption = "Prova",
        .border_style = BorderStyle::sizable,
        .control_box = true,
        .min_button = true,
        .max_button = true,
        .client_left = 60,
        .client_top = 450,
        .client_width = 4680,
        .client_height = 3090,
        .width = 4800,
        .height = 3600,
        .centred = true,
        .icon = true,
        .controls = {{"web", ControlKind::web_browser, 120, 240, 3000, 1500, 0, {}}},
    };
    return kDesign;
  }
  explicit Scripted(Window& w) : window(w) { on_load(*this); }

  void load() override { log.push_back("load"); }
  void resize() override {
    log.push_back("resize");
    if (on_resize) on_resize();
  }
  void activate() override { log.push_back("activate"); }
  void query_unload(int& cancel, UnloadMode) override {
    log.push_back("query_unload");
    cancel = cancel_query;
  }
  void unload(int&) override { log.push_back("unload"); }
  void title_change(Browser&, const std::string& text) override {
    log.push_back("title " + text);
    if (text == "guasto") throw RunError(kInvalidArgument);
  }

  Window& window;
  std::vector<std::string> log;
  std::function<void()> on_resize;
  int cancel_query = 0;
  static inline std::function<void(Scripted&)> on_load = [](Scripted&) {};
};

class Seam : public ::testing::Test {
 protected:
  Scripted& load() { return fake.load<Scripted>(); }
  FakeWindowSystem fake;
};

TEST_F(Seam, SizesBecomePixelsOfTheScreenAndBadOnesChangeNothing) {
  Scripted& s = load();
  Browser& web = s.window.browser("web");
  FakeBrowser& fake_web = static_cast<FakeWindow&>(s.window).fake_browser("web");
  EXPECT_EQ(fake_web.rect, (PixelRect{8, 16, 200, 100})) << "placed as designed";

  web.set_width(5875);  // 391.67 pixels
  EXPECT_EQ(fake_web.rect.width, 392);
  web.set_height(0);
  EXPECT_EQ(fake_web.rect.height, 0);

  for (Single bad : {-1.0f, -0.001f, std::numeric_limits<Single>::quiet_NaN()}) {
    EXPECT_EQ(test_support::run_error_of([&] { web.set_height(bad); }).first, kInvalidPropertyValue) << bad;
  }
  EXPECT_THROW(web.set_width(std::numeric_limits<Single>::infinity()), RunError);
  EXPECT_EQ(fake_web.rect, (PixelRect{8, 16, 392, 0}));
  EXPECT_EQ(web.width(), 5875);
  EXPECT_EQ(web.height(), 0);
  EXPECT_EQ(s.window.width(), 4800);
  EXPECT_EQ(s.window.height(), 3600);
}

TEST(SeamResolution, TwipsFollowTheScreensResolution) {
  FakeWindowSystem fake("/x", 12);  // 120 dots per inch
  Window& w = fake.load<Scripted>().window;
  w.browser("web").set_width(8850);  // 737.5 pixels
  EXPECT_EQ(static_cast<FakeWindow&>(w).fake_browser("web").rect.width, 738);
  EXPECT_EQ(w.width(), 4800);
}

TEST_F(Seam, ShowingRaisesResizeOnceThenActivateAndFocusNeedsAVisibleWindow) {
  Scripted& s = load();
  FakeWindow& w = static_cast<FakeWindow&>(s.window);
  w.fire_resize_to(6000, 4000);  // before the first showing: not an event yet
  EXPECT_EQ(test_support::run_error_of([&] { s.window.browser("web").set_focus(); }).first, kInvalidArgument);
  s.window.show();
  s.window.show();
  w.fire_resize_to(6000, 4000);
  EXPECT_EQ(s.log, (std::vector<std::string>{"load", "resize", "activate", "resize"}));
  s.window.browser("web").set_focus();
}

TEST_F(Seam, CancelledUnloadKeepsTheWindow) {
  Scripted& s = load();
  s.cancel_query = 1;
  s.window.show();
  static_cast<FakeWindow&>(s.window).fire_close_request();
  EXPECT_EQ(fake.windows().size(), 1u);
  EXPECT_TRUE(fake.destroyed.empty());
  s.cancel_query = 0;
  fake.while_running = [&] { static_cast<FakeWindow&>(s.window).fire_close_request(); };
  fake.run();  // the last window went: the loop is told to stop
  EXPECT_EQ(fake.quits, 1);
  EXPECT_TRUE(fake.windows().empty());
}

TEST_F(Seam, AnErrorInAPlatformEventEndsTheRunAndSilencesLaterEvents) {
  Scripted& s = load();
  s.window.show();
  FakeBrowser& web = static_cast<FakeWindow&>(s.window).fake_browser("web");
  fake.while_running = [&] {
    web.fire_title_change("guasto");
    web.fire_title_change("dopo");
    static_cast<FakeWindow&>(s.window).fire_close_request();
  };
  EXPECT_EQ(test_support::run_error_of([&] { fake.run(); }).first, kInvalidArgument);
  EXPECT_EQ(s.log.back(), "title guasto");
  EXPECT_EQ(fake.quits, 1);
  EXPECT_EQ(fake.windows().size(), 1u) << "an error ends the run; main reports it";
}

TEST_F(Seam, ErrorsOfTheLogicsOwnCallsReachTheCaller) {
  Scripted::on_load = [](Scripted& s) { s.on_resize = [] { throw RunError(kOverflow); }; };
  Scripted& s = load();
  Scripted::on_load = [](Scripted&) {};
  EXPECT_THROW(s.window.show(), RunError);
  EXPECT_FALSE(fake.ending());
}

TEST_F(Seam, AWindowUnloadingItselfInItsOwnHandlerStaysUsableUntilTheHandlerReturns) {
  Scripted& s = load();
  s.window.show();
  s.on_resize = [&] {
    s.window.unload();
    EXPECT_EQ(s.window.design().name, "frmScripted");  // still a live object
    EXPECT_THROW(s.window.set_caption("x"), std::logic_error);
  };
  static_cast<FakeWindow&>(s.window).fire_resize_to(5000, 4000);
  EXPECT_TRUE(fake.windows().empty());
}

TEST_F(Seam, EndDestroysEveryWindowAndNothingRunsAfterIt) {
  Scripted& a = load();
  Scripted& b = load();
  a.window.show();
  b.window.show();
  fake.while_running = [&] {
    a.on_resize = [&] { fake.end(); };
    static_cast<FakeWindow&>(a.window).fire_resize_to(6000, 5000);
  };
  EXPECT_THROW(fake.run(), ProgramEnd);
  EXPECT_EQ(fake.destroyed, (std::set<std::string>{"frmScripted#1", "frmScripted#2"}));
  EXPECT_EQ(fake.quits, 1);
}

}  // namespace
}  // namespace sorvanta
