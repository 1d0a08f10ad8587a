#include "launcher/frm_vbp.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "launcher/frm_start.h"
#include "launcher/frm_vb.h"
#include "tests/launcher/fake_window_system.h"
#include "tests/support/run_error.h"

namespace sorvanta {
namespace {

using ::testing::ElementsAre;
using testing::ExecWbCall;
using testing::FakeBrowser;
using testing::FakeWindow;
using testing::FakeWindowSystem;
using testing::PixelRect;

class PopUp : public ::testing::Test {
 protected:
  void SetUp() override {
    fake.load<FrmStart>();
    catalogue().fake_browser("web").fire_new_window2();
  }
  FakeWindow& catalogue() { return fake.loaded("frmVB"); }
  FakeWindow& popup(int nth = 0) { return fake.loaded("frmVBP", nth); }

  FakeWindowSystem fake;
};

TEST_F(PopUp, ControlsStandWhereTheyAreDesignedAndStayThere) {
  EXPECT_EQ(popup().fake_browser("web2").rect, (PixelRect{0, 0, 641, 497}));
  EXPECT_EQ(popup().fake_button("cmdStampa").rect, (PixelRect{536, 504, 97, 25}));
  EXPECT_EQ(popup().button("cmdStampa").caption(), "Stampa pagina");
  const auto moves = std::count_if(fake.log.begin(), fake.log.end(),
                                   [](const std::string& e) { return e.starts_with("frmVBP#1.web2 move"); });
  EXPECT_EQ(moves, 1) << "nothing refits the pop-up's browser";
}

TEST_F(PopUp, EachClickPrintsOnceWithSixteenBitZeros) {
  FakeBrowser& web2 = popup().fake_browser("web2");
  popup().fake_button("cmdStampa").fire_click();
  EXPECT_THAT(web2.exec_wb_calls, ElementsAre(ExecWbCall{6, 1, 0, 0}));
  popup().fake_button("cmdStampa").fire_click();
  EXPECT_EQ(web2.exec_wb_calls.size(), 2u);
  EXPECT_TRUE(catalogue().fake_browser("web").exec_wb_calls.empty());
}

TEST_F(PopUp, PrintingPrintsTheClickedPopUpsPageOnly) {
  catalogue().fake_browser("web").fire_new_window2();
  popup(1).fake_button("cmdStampa").fire_click();
  EXPECT_TRUE(popup(0).fake_browser("web2").exec_wb_calls.empty());
  EXPECT_EQ(popup(1).fake_browser("web2").exec_wb_calls.size(), 1u);
}

TEST_F(PopUp, APrintCommandTheControlRefusesEndsTheProgramWithItsError) {
  popup().fake_browser("web2").refuse_exec_wb = true;
  fake.while_running = [&] { popup().fake_button("cmdStampa").fire_click(); };
  EXPECT_EQ(test_support::run_error_of([&] { fake.run(); }).first, kMethodFailed)
      << "the error was swallowed";
  EXPECT_TRUE(fake.ending());
}

TEST_F(PopUp, ComingBackFromAnotherLauncherWindowFocusesThePage) {
  FakeBrowser& web2 = popup().fake_browser("web2");
  EXPECT_EQ(web2.focus_count, 1) << "first showing";
  popup().fire_activate();  // back from another program: it was the launcher's active window already
  EXPECT_EQ(web2.focus_count, 1);
  catalogue().fire_activate();
  popup().fire_activate();
  EXPECT_EQ(web2.focus_count, 2);
}

TEST_F(PopUp, CaptionFollowsItsPageExactly) {
  EXPECT_EQ(popup().caption(), "Caricamento...");
  popup().fake_browser("web2").fire_title_change(" Listino prezzi ");
  EXPECT_EQ(popup().caption(), " Listino prezzi ");
  popup().fake_browser("web2").fire_title_change("");
  EXPECT_EQ(popup().caption(), "");
}

TEST_F(PopUp, APopUpsOwnNewWindowRequestGetsNoLauncherWindow) {
  FakeBrowser::NewWindowAnswer answer = popup().fake_browser("web2").fire_new_window2();
  EXPECT_FALSE(answer.pp_disp) << "the control's own default applies";
  EXPECT_FALSE(answer.cancel);
  EXPECT_EQ(fake.count_loaded("frmVBP"), 1);
}

}  // namespace
}  // namespace sorvanta
