#include "launcher/frm_vb.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "launcher/frm_start.h"
#include "launcher/frm_vbp.h"
#include "tests/launcher/fake_window_system.h"

namespace sorvanta {
namespace {

using ::testing::ElementsAre;
using testing::FakeBrowser;
using testing::FakeWindow;
using testing::FakeWindowSystem;
using testing::MessageBoxCall;
using testing::PixelRect;

class CatalogueWindow : public ::testing::Test {
 protected:
  void SetUp() override { fake.load<FrmStart>(); }
  FakeWindow& frm_vb() { return fake.loaded("frmVB"); }
  FakeBrowser& web() { return frm_vb().fake_browser("web"); }

  FakeWindowSystem fake;
};

TEST_F(CatalogueWindow, BrowserTakesTheWindowSizeLessTheMarginsFromTheFirstShowing) {
  // The designed 3135 x 1575 never reaches the screen: the first showing refits it.
  EXPECT_EQ(web().width(), 8850);
  EXPECT_EQ(web().height(), 5875);
  EXPECT_EQ(web().rect, (PixelRect{0, 0, 590, 392}));
  const auto& log = fake.log;
  auto fitted = std::find(log.begin(), log.end(), "frmVB#1.web move 0,0,590,392");
  EXPECT_LT(fitted, std::find(log.begin(), log.end(), "frmVB#1 show")) << "fitted before it is seen";

  frm_vb().fire_resize_to(15000, 11010);  // maximised
  EXPECT_EQ(web().width(), 14850);
  EXPECT_EQ(web().height(), 10510);
  frm_vb().fire_resize_to(2400, 420);   // minimised: too low for the height margin
  frm_vb().fire_resize_to(9000, 6375);  // restored
  EXPECT_EQ(web().width(), 8850);
  EXPECT_EQ(web().height(), 5875);
  EXPECT_EQ(web().left(), 0);
  EXPECT_EQ(web().top(), 0);
}

TEST_F(CatalogueWindow, AWindowLowerThanTheHeightMarginStillGetsItsWidth) {
  frm_vb().fire_resize_to(3000, 300);
  EXPECT_EQ(web().width(), 2850);
  EXPECT_EQ(web().height(), 5875) << "the negative height is refused and ignored";

  frm_vb().fire_resize_to(120, 990);  // now the width is the one refused
  EXPECT_EQ(web().width(), 2850);
  EXPECT_EQ(web().height(), 490);
  EXPECT_FALSE(fake.ending()) << "no error leaves the handler";
}

TEST_F(CatalogueWindow, CaptionFollowsTitlesExactly) {
  web().fire_title_change("Catalogo Veltrano 2024 - Prodotti");
  EXPECT_EQ(frm_vb().caption(), "Catalogo Veltrano 2024 - Prodotti");
  web().fire_title_change("  spazi  ai lati \t");
  EXPECT_EQ(frm_vb().caption(), "  spazi  ai lati \t");
  const std::string long_title(5000, 'x');
  web().fire_title_change(long_title);
  EXPECT_EQ(frm_vb().caption(), long_title);
  web().fire_title_change("");
  EXPECT_EQ(frm_vb().caption(), "");
  EXPECT_EQ(fake.log.back(), "frmVB#1 caption ");
}

TEST_F(CatalogueWindow, EveryNewWindowRequestGetsItsOwnPopUp) {
  FakeBrowser::NewWindowAnswer first = web().fire_new_window2();
  FakeBrowser::NewWindowAnswer second = web().fire_new_window2();

  ASSERT_EQ(fake.count_loaded("frmVBP"), 2);
  FakeWindow& p1 = fake.loaded("frmVBP", 0);
  FakeWindow& p2 = fake.loaded("frmVBP", 1);
  EXPECT_EQ(first.pp_disp, p1.browser("web2").automation());
  EXPECT_EQ(second.pp_disp, p2.browser("web2").automation());
  EXPECT_NE(first.pp_disp, second.pp_disp);
  EXPECT_FALSE(first.cancel);
  EXPECT_FALSE(second.cancel);

  for (const std::string id : {"frmVBP#1", "frmVBP#2"}) {
    const auto& log = fake.log;
    auto at = [&](const std::string& entry) {
      return std::find(log.begin(), log.end(), id + entry) - log.begin();
    };
    const auto registered = at(".web2 RegisterAsBrowser=1");
    ASSERT_LT(registered, static_cast<long>(log.size())) << id;
    EXPECT_LT(at(" create"), registered);
    EXPECT_LT(registered, at(".web2 automation"));
    EXPECT_LT(at(".web2 automation"), at(" show"));
    EXPECT_LT(at(" show"), at(".web2 SetFocus")) << "activated as it shows";
  }
  EXPECT_TRUE(p1.browser("web2").register_as_browser());
  EXPECT_EQ(p1.caption(), "Caricamento...");
  EXPECT_TRUE(p1.visible() && p2.visible());
  EXPECT_TRUE(p1.fake_browser("web2").navigations.empty()) << "the control loads the page itself";

  // Independent: each follows its own page.
  p2.fake_browser("web2").fire_title_change("Scheda prodotto");
  EXPECT_EQ(p2.caption(), "Scheda prodotto");
  EXPECT_EQ(p1.caption(), "Caricamento...");
  EXPECT_EQ(frm_vb().caption(), "  Catalogo Veltrano");
}

TEST_F(CatalogueWindow, ClosingWithPopUpsOpenShowsOneBoxThenEndsEverything) {
  web().fire_new_window2();
  web().fire_new_window2();
  FakeWindow& catalogue = frm_vb();
  FakeBrowser& popup_web = fake.loaded("frmVBP", 1).fake_browser("web2");
  // While the box is up the user tries to close again, and a pop-up's page reports its title.
  fake.while_message_box = [&] {
    catalogue.fire_close_request();
    popup_web.fire_title_change("arrivato durante il box");
  };
  fake.while_running = [&] { catalogue.fire_close_request(UnloadMode::form_control_menu); };

  EXPECT_THROW(fake.run(), ProgramEnd);

  EXPECT_THAT(fake.message_boxes,
              ElementsAre(MessageBoxCall{"Grazie per aver utilizzato il catalogo Veltrano!",
                                         "Veltrano S.r.l.", kVbInformation}));
  EXPECT_EQ(fake.destroyed, (std::set<std::string>{"frmStart#1", "frmVB#1", "frmVBP#1", "frmVBP#2"}));
  EXPECT_TRUE(fake.windows().empty());
  EXPECT_EQ(fake.quits, 1);
  // The box came before anything went.
  auto box =
      std::find(fake.log.begin(), fake.log.end(), "MsgBox Grazie per aver utilizzato il catalogo Veltrano!");
  EXPECT_LT(box, std::find(fake.log.begin(), fake.log.end(), "frmVBP#1 destroy"));
}

TEST_F(CatalogueWindow, TheThankYouBoxAlsoWaitsWhenTheSessionEnds) {
  fake.while_running = [&] { frm_vb().fire_close_request(UnloadMode::app_windows); };
  EXPECT_THROW(fake.run(), ProgramEnd);
  EXPECT_EQ(fake.message_boxes.size(), 1u);
}

TEST_F(CatalogueWindow, ClosingAPopUpShowsNoBoxAndLeavesTheRestOpen) {
  web().fire_new_window2();
  web().fire_new_window2();
  fake.while_running = [&] { fake.loaded("frmVBP", 0).fire_close_request(); };
  fake.run();  // returns: the event loop ended on its own in the fake, not through an end

  EXPECT_TRUE(fake.message_boxes.empty());
  EXPECT_EQ(fake.destroyed, (std::set<std::string>{"frmStart#1", "frmVBP#1"}));
  EXPECT_EQ(fake.count_loaded("frmVBP"), 1);
  EXPECT_EQ(fake.loaded("frmVBP").id(), "frmVBP#2");
  EXPECT_TRUE(frm_vb().visible());
  EXPECT_FALSE(fake.ending());
}

}  // namespace
}  // namespace sorvanta
