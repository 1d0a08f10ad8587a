// The launcher on the real GTK window system and WebKitGTK, under Xvfb.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <gtk/gtkunixprint.h>
#include <cstdio>
#include <fstream>

#include "launcher/frm_start.h"
#include "launcher/frm_vbp.h"
#include "launcher/gtk/gtk_push_button.h"
#include "tests/launcher/gui/harness.h"

namespace sorvanta::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;

constexpr const char* kIndexTitle = "Catalogo Veltrano – Casa e Cucina";

struct Rect {
  int x, y, width, height;
  friend bool operator==(const Rect&, const Rect&) = default;
  friend std::ostream& operator<<(std::ostream& os, const Rect& r) {
    return os << r.x << "," << r.y << " " << r.width << "x" << r.height;
  }
};

Rect allocation_of(GtkWidget* widget) {
  GtkAllocation a;
  gtk_widget_get_allocation(widget, &a);
  return {a.x, a.y, a.width, a.height};
}

std::string title_of(gtk::GtkFormWindow* window) {
  const char* title = gtk_window_get_title(window->toplevel());
  return title != nullptr ? title : "";
}

WebKitWebView* view_of(gtk::GtkFormWindow* window, const char* browser) {
  return static_cast<gtk::WebKitBrowser&>(window->browser(browser)).view();
}

class Launcher : public ::testing::Test {
 protected:
  // Starts the launcher beside a copy of the sample catalogue and waits for its start page.
  void start(const std::string& folder = "Catalogo") {
    // Only the file printer, whatever this machine's print system holds.
    g_object_set(gtk_settings_get_default(), "gtk-print-backends", "file", nullptr);
    system = std::make_unique<TestWindowSystem>(make_catalogue(folder));
    ASSERT_EQ(system->pixels_x(15), 1) << "the expected pixels are those of a 96 dpi screen (Xvfb's)";
    system->load<FrmStart>();
    ASSERT_EQ(system->loaded("frmVB").size(), 1u);
    ASSERT_EQ(system->windows().size(), 1u) << "frmStart has gone";
    vb = system->loaded("frmVB")[0];
    web = view_of(vb, "web");
    ASSERT_NE(web, nullptr);
    ASSERT_TRUE(wait_loaded(web));
    ASSERT_TRUE(wait_until([&] { return title_of(vb) == kIndexTitle; }));
  }

  // Opens `page` from the catalogue's script, without a click, and waits for its pop-up's title.
  gtk::GtkFormWindow* open_by_script(const std::string& page, const std::string& title) {
    const size_t before = system->loaded("frmVBP").size();
    evaluate(web, "apriScheda('" + page + "')");
    EXPECT_TRUE(wait_until([&] { return system->loaded("frmVBP").size() == before + 1; }));
    gtk::GtkFormWindow* popup = system->loaded("frmVBP").back();
    EXPECT_TRUE(wait_until([&] { return title_of(popup) == title; })) << title_of(popup);
    return popup;
  }

  void expect_popup_layout(gtk::GtkFormWindow* popup) {
    // At 96 dots per inch: 9615 x 7995 twips of client area.
    GdkWindow* native = gtk_widget_get_window(GTK_WIDGET(popup->toplevel()));
    GtkWidget* button = static_cast<gtk::GtkPushButton&>(popup->button("cmdStampa")).widget();
    // The window may take its size before its children are given theirs (-1, -1, 1 x 1 until then):
    // a loaded machine shows it.
    ASSERT_TRUE(wait_until([&] {
      return gdk_window_get_width(native) == 641 &&
             allocation_of(GTK_WIDGET(view_of(popup, "web2"))).width > 1 && allocation_of(button).width > 1;
    }));
    EXPECT_EQ(gdk_window_get_width(native), 641);
    EXPECT_EQ(gdk_window_get_height(native), 533);
    EXPECT_EQ(allocation_of(GTK_WIDGET(popup->client_area())), (Rect{0, 0, 641, 533}));
    EXPECT_FALSE(gtk_window_get_resizable(popup->toplevel()));
    EXPECT_EQ(allocation_of(GTK_WIDGET(view_of(popup, "web2"))), (Rect{0, 0, 641, 497}));
    EXPECT_EQ(allocation_of(button), (Rect{536, 504, 97, 25}));
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(gtk_bin_get_child(GTK_BIN(button)))), "Stampa pagina");
    EXPECT_TRUE(gtk_widget_is_drawable(button));
  }

  std::unique_ptr<TestWindowSystem> system;
  gtk::GtkFormWindow* vb = nullptr;
  WebKitWebView* web = nullptr;
};

TEST_F(Launcher, CaptionBecomesThePageTitleAndTheBrowserFitsTheWindow) {
  start();
  EXPECT_EQ(system->captions["frmVB#1"].front(), "  Catalogo Veltrano");
  EXPECT_EQ(system->captions["frmVB#1"].back(), kIndexTitle);

  // 8880 x 5865 twips of client area; the browser is 8850 x 5875, its last row clipped.
  GdkWindow* native = gtk_widget_get_window(GTK_WIDGET(vb->toplevel()));
  EXPECT_EQ(gdk_window_get_width(native), 592);
  EXPECT_EQ(gdk_window_get_height(native), 391) << "the browser never makes the window grow";
  EXPECT_EQ(allocation_of(GTK_WIDGET(web)), (Rect{0, 0, 590, 392}));
  EXPECT_EQ(vb->width(), 9000);
  EXPECT_EQ(vb->height(), 6375);

  GdkRectangle screen;
  gdk_monitor_get_geometry(gdk_display_get_primary_monitor(gdk_display_get_default()), &screen);
  int x = 0, y = 0;
  gdk_window_get_origin(native, &x, &y);
  EXPECT_NEAR(x, (screen.width - 592) / 2, 1) << "centred";
  EXPECT_NEAR(y, (screen.height - 391) / 2, 1) << "centred";

  GdkPixbuf* icon = gtk_window_get_icon(vb->toplevel());
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(gdk_pixbuf_get_width(icon), 64);
  EXPECT_EQ(gdk_pixbuf_get_height(icon), 64);
}

TEST_F(Launcher, ResizingRefitsTheBrowserWithoutALoop) {
  start();
  gtk_window_resize(vb->toplevel(), 800, 600);
  ASSERT_TRUE(wait_until([&] { return allocation_of(GTK_WIDGET(web)).width == 798; }));
  EXPECT_EQ(allocation_of(GTK_WIDGET(web)), (Rect{0, 0, 798, 601}));
  GdkWindow* native = gtk_widget_get_window(GTK_WIDGET(vb->toplevel()));
  EXPECT_EQ(gdk_window_get_width(native), 800);
  EXPECT_EQ(gdk_window_get_height(native), 600);

  // Very small: 54 pixels of outer height give 310 twips of browser, 21 pixels.
  gtk_window_resize(vb->toplevel(), 300, 20);
  ASSERT_TRUE(wait_until([&] { return allocation_of(GTK_WIDGET(web)).width == 298; }));
  EXPECT_EQ(allocation_of(GTK_WIDGET(web)), (Rect{0, 0, 298, 21}));
  EXPECT_EQ(gdk_window_get_height(native), 20);
  EXPECT_FALSE(system->ending());
}

TEST_F(Launcher, ALinkWithTargetBlankOpensALauncherPopUp) {
  start();
  const std::string centre =
      evaluate(web,
               "(function(){var r=document.getElementById('apri-moka').getBoundingClientRect();"
               "return Math.round(r.left+r.width/2)+' '+Math.round(r.top+r.height/2);})()");
  int x = 0, y = 0;
  ASSERT_EQ(std::sscanf(centre.c_str(), "%d %d", &x, &y), 2) << centre;
  click_at(GTK_WIDGET(web), x, y);

  ASSERT_TRUE(wait_until([&] { return system->loaded("frmVBP").size() == 1; }));
  gtk::GtkFormWindow* popup = system->loaded("frmVBP")[0];
  ASSERT_TRUE(wait_until([&] { return title_of(popup) == "Moka Aurora – Scheda prodotto"; }))
      << title_of(popup);
  EXPECT_EQ(system->captions[system->id_of(*popup)].front(), "Caricamento...");
  expect_popup_layout(popup);

  WebKitWebView* web2 = view_of(popup, "web2");
  EXPECT_THAT(webkit_web_view_get_uri(web2), EndsWith("/prodotti/moka-aurora.html"));
  EXPECT_EQ(webkit_web_view_get_context(web2), webkit_web_view_get_context(web))
      << "related to the catalogue's view";
  EXPECT_EQ(gtk_window_get_focus(popup->toplevel()), GTK_WIDGET(web2)) << "keyboard input goes to the page";
  EXPECT_EQ(title_of(vb), kIndexTitle);
}

TEST_F(Launcher, ScriptOpensIndependentPopUpsWithoutAClick) {
  start();
  gtk::GtkFormWindow* first =
      open_by_script("prodotti/pentola-sirio.html", "Pentola Sirio – Scheda prodotto");
  gtk::GtkFormWindow* second =
      open_by_script("prodotti/tostapane-levante.html", "Tostapane Levante – Scheda prodotto");
  ASSERT_NE(first, second);
  EXPECT_EQ(system->captions[system->id_of(*first)].front(), "Caricamento...");
  EXPECT_EQ(system->captions[system->id_of(*second)].front(), "Caricamento...");
  expect_popup_layout(second);
  EXPECT_EQ(title_of(first), "Pentola Sirio – Scheda prodotto");
  EXPECT_NE(view_of(first, "web2"), view_of(second, "web2"));
}

TEST_F(Launcher, APageWithoutTitleIsTitledWithItsAddress) {
  start();
  evaluate(web, "apriScheda('contatti.html')");
  ASSERT_TRUE(wait_until([&] { return system->loaded("frmVBP").size() == 1; }));
  gtk::GtkFormWindow* popup = system->loaded("frmVBP")[0];
  WebKitWebView* web2 = view_of(popup, "web2");
  ASSERT_NE(web2, nullptr);
  ASSERT_TRUE(wait_until([&] { return title_of(popup) != "Caricamento..."; }));
  EXPECT_EQ(webkit_web_view_get_title(web2), nullptr);
  EXPECT_THAT(title_of(popup), ::testing::StartsWith("file:///"));
  EXPECT_THAT(title_of(popup), EndsWith("/contatti.html"));
  EXPECT_THAT(system->captions[system->id_of(*popup)], ElementsAre("Caricamento...", title_of(popup)));
}

TEST_F(Launcher, APageReachedByALinkFromATitledPageIsTitledWithItsAddress) {
  start();
  evaluate(web, "location.href = 'contatti.html'");
  ASSERT_TRUE(wait_until([&] { return title_of(vb) != kIndexTitle; }));
  EXPECT_THAT(system->captions["frmVB#1"],
              ElementsAre("  Catalogo Veltrano", kIndexTitle, webkit_web_view_get_uri(web)));
  EXPECT_THAT(title_of(vb), EndsWith("/contatti.html"));
}

TEST_F(Launcher, AFolderWhoseNameIsNotUtf8Loads) {
  start("Catalogo \xE8 Latin-1");
  open_by_script("listino.html", "Listino prezzi Veltrano");
}

TEST_F(Launcher, APopUpsOwnNewWindowsGoToTheSystemsBrowserForWebPagesOnly) {
  // A stand-in browser for http and https that only writes down what it was asked to open.
  const std::filesystem::path home = std::getenv("HOME");
  std::filesystem::create_directories(home / ".local/share/applications");
  std::filesystem::create_directories(home / ".config");
  std::ofstream(home / ".local/share/applications/prova.desktop")
      << "[Desktop Entry]\nType=Application\nName=Prova\n"
         "Exec=sh -c 'echo \"$0\" >> \"$HOME/aperti.txt\"' %u\n";
  std::ofstream(home / ".config/mimeapps.list") << "[Default Applications]\n"
                                                   "x-scheme-handler/http=prova.desktop\n"
                                                   "x-scheme-handler/https=prova.desktop\n";
  start();
  gtk::GtkFormWindow* popup = open_by_script("listino.html", "Listino prezzi Veltrano");
  WebKitWebView* web2 = view_of(popup, "web2");
  for (const char* address : {"prodotti/installa.desktop", "file:///usr/bin/xterm", "contatti.html",
                              "https://www.veltrano.example/negozi.html"})
    evaluate(web2, std::string("window.open('") + address + "')");

  std::vector<std::string> opened;
  ASSERT_TRUE(wait_until([&] {
    opened.clear();
    std::ifstream list(home / "aperti.txt");
    for (std::string line; std::getline(list, line);) opened.push_back(line);
    return opened.size() >= 2;
  }));
  EXPECT_THAT(opened, ::testing::UnorderedElementsAre(EndsWith("/contatti.html"),
                                                      "https://www.veltrano.example/negozi.html"));
  EXPECT_EQ(system->loaded("frmVBP").size(), 1u) << "no launcher window for a pop-up's own request";
  EXPECT_FALSE(system->ending());
}

TEST_F(Launcher, PrintingBeforeThePageHasComeDoesNothing) {
  start();
  FrmVBP& popup = system->load<FrmVBP>();
  popup.window().show();
  ASSERT_EQ(view_of(static_cast<gtk::GtkFormWindow*>(&popup.window()), "web2"), nullptr);
  DialogAnswerer answerer(GTK_TYPE_DIALOG, GTK_RESPONSE_CANCEL, nullptr);
  gtk_button_clicked(GTK_BUTTON(static_cast<gtk::GtkPushButton&>(popup.cmd_stampa()).widget()));
  EXPECT_EQ(answerer.answered(), 0) << "no dialog";
  EXPECT_FALSE(system->ending());
  EXPECT_EQ(system->loaded("frmVBP").size(), 1u);
  EXPECT_THROW(popup.web2().exec_wb(7, kOleCmdExecOptPromptUser, 0, 0), RunError)
      << "another command still fails";
}

TEST_F(Launcher, ThePrintButtonOpensThePrintDialogForItsPage) {
  start();
  gtk::GtkFormWindow* popup = open_by_script("listino.html", "Listino prezzi Veltrano");
  std::vector<std::string> dialogs;
  std::string printer, file;
  DialogAnswerer answerer(GTK_TYPE_DIALOG, GTK_RESPONSE_CANCEL, [&](GtkDialog* d) {
    dialogs.push_back(G_OBJECT_TYPE_NAME(d));
    // The dialog selects the printer it was given once its print backends have listed theirs.
    auto* dialog = GTK_PRINT_UNIX_DIALOG(d);
    if (!wait_until([&] { return gtk_print_unix_dialog_get_selected_printer(dialog) != nullptr; })) return;
    printer = gtk_printer_get_name(gtk_print_unix_dialog_get_selected_printer(dialog));
    GtkPrintSettings* settings = gtk_print_unix_dialog_get_settings(dialog);
    file = gtk_print_settings_get(settings, GTK_PRINT_SETTINGS_OUTPUT_URI);
    g_object_unref(settings);
  });
  GtkWidget* button = static_cast<gtk::GtkPushButton&>(popup->button("cmdStampa")).widget();
  ASSERT_TRUE(wait_until([&] { return gtk_widget_is_drawable(button); }));
  click_at(button, 48, 12);
  ASSERT_TRUE(wait_until([&] { return answerer.answered() == 1; }));
  EXPECT_THAT(dialogs, ElementsAre("GtkPrintUnixDialog"));
  EXPECT_EQ(printer, "Print to File") << "no printer here but the file";
  EXPECT_EQ(file, "file://" + std::string(std::getenv("HOME")) + "/Listino%20prezzi%20Veltrano.pdf")
      << "no documents folder here: the home folder";
  EXPECT_FALSE(system->ending());
  EXPECT_EQ(system->loaded("frmVBP").size(), 1u);
}

TEST_F(Launcher, ClosingThePopUpShowsNoBoxAndLeavesTheRestOpen) {
  start();
  gtk::GtkFormWindow* first = open_by_script("prodotti/moka-aurora.html", "Moka Aurora – Scheda prodotto");
  gtk::GtkFormWindow* second = open_by_script("listino.html", "Listino prezzi Veltrano");
  DialogAnswerer answerer(GTK_TYPE_DIALOG, GTK_RESPONSE_OK, nullptr);
  GtkWindow* first_toplevel = first->toplevel();
  gtk_window_close(first_toplevel);
  ASSERT_TRUE(wait_until([&] { return system->loaded("frmVBP").size() == 1; }));
  EXPECT_EQ(system->loaded("frmVBP")[0], second);
  EXPECT_EQ(answerer.answered(), 0);
  EXPECT_FALSE(system->ending());
  EXPECT_THAT(visible_toplevels(), ::testing::UnorderedElementsAre(vb->toplevel(), second->toplevel()));
}

TEST_F(Launcher, ClosingTheCatalogueShowsTheBoxAndEndsWithThePopUps) {
  start();
  open_by_script("prodotti/moka-aurora.html", "Moka Aurora – Scheda prodotto");
  open_by_script("listino.html", "Listino prezzi Veltrano");
  struct Seen {
    std::string title, text;
    GtkMessageType type;
    bool catalogue_still_there;
  };
  std::vector<Seen> seen;
  GtkWindow* catalogue = vb->toplevel();
  g_object_ref(catalogue);
  DialogAnswerer answerer(GTK_TYPE_MESSAGE_DIALOG, GTK_RESPONSE_OK, [&](GtkDialog* d) {
    gchar* text = nullptr;
    GtkMessageType type;
    g_object_get(d, "text", &text, "message-type", &type, nullptr);
    seen.push_back({gtk_window_get_title(GTK_WINDOW(d)), text, type,
                    gtk_widget_get_visible(GTK_WIDGET(catalogue)) != 0});
    g_free(text);
  });

  gtk_window_close(catalogue);
  ASSERT_TRUE(wait_until([&] { return system->ending(); }));
  EXPECT_THROW(system->run(), ProgramEnd);

  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].title, "Veltrano S.r.l.");
  EXPECT_EQ(seen[0].text, "Grazie per aver utilizzato il catalogo Veltrano!");
  EXPECT_EQ(seen[0].type, GTK_MESSAGE_INFO);
  EXPECT_TRUE(seen[0].catalogue_still_there) << "the windows stay while the box waits";
  EXPECT_TRUE(system->windows().empty());
  EXPECT_THAT(visible_toplevels(), ::testing::IsEmpty()) << "every window went with the catalogue's";
  g_object_unref(catalogue);
}

TEST_F(Launcher, AFolderWithABlankAnAccentAndAHashLoads) {
  start("Catalogo Veltrano è #1");
  EXPECT_THAT(webkit_web_view_get_uri(web), HasSubstr("/Catalogo%20Veltrano%20%C3%A8%20%231/index.html"));
  EXPECT_EQ(title_of(vb), kIndexTitle);
}

}  // namespace
}  // namespace sorvanta::testing
