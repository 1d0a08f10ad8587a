#include "launcher/frm_start.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "launcher/frm_vb.h"
#include "tests/launcher/fake_window_system.h"

namespace sorvanta {
namespace {

using ::testing::ElementsAre;
using testing::FakeWindowSystem;

std::vector<std::string> navigations_after_start(const std::string& app_path) {
  FakeWindowSystem fake(app_path);
  fake.load<FrmStart>();
  return fake.loaded("frmVB").fake_browser("web").navigations;
}

TEST(FrmStart, LoadsThePageBeforeShowingTheCatalogueAndUnloadsItself) {
  FakeWindowSystem fake("/opt/Veltrano/progetto_html");
  FrmStart& start = fake.load<FrmStart>();
  EXPECT_EQ(start.program_folder(), "/opt/Veltrano/progetto_html");

  const auto& log = fake.log;
  auto at = [&](const std::string& entry) {
    auto it = std::find(log.begin(), log.end(), entry);
    EXPECT_NE(it, log.end()) << entry;
    return it - log.begin();
  };
  EXPECT_LT(at("frmVB#1 create"), at("frmVB#1.web Navigate /opt/Veltrano/progetto_html/index.html"));
  EXPECT_LT(at("frmVB#1.web Navigate /opt/Veltrano/progetto_html/index.html"), at("frmVB#1 show"));
  EXPECT_LT(at("frmVB#1 show"), at("frmStart#1 destroy"));
  EXPECT_EQ(std::count(log.begin(), log.end(), "frmStart#1 show"), 0) << "frmStart is never seen";

  ASSERT_EQ(fake.windows().size(), 1u);
  EXPECT_EQ(fake.windows()[0]->design().name, "frmVB");
  EXPECT_EQ(fake.windows()[0]->caption(), "  Catalogo Veltrano");
  EXPECT_FALSE(fake.ending());
}

TEST(FrmStart, PassesTheFolderUnchangedWithAForwardSlash) {
  EXPECT_THAT(navigations_after_start("C:\\"), ElementsAre("C:\\/index.html"));
  EXPECT_THAT(navigations_after_start("C:\\Programmi\\Veltrano Catalogo\\progetto_html"),
              ElementsAre("C:\\Programmi\\Veltrano Catalogo\\progetto_html/index.html"));
  EXPECT_THAT(navigations_after_start("/home/anna/Catalogo è #1 100%"),
              ElementsAre("/home/anna/Catalogo è #1 100%/index.html"));
}

}  // namespace
}  // namespace sorvanta
