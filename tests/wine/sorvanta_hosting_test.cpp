// The real Sorvanta.exe under Wine on a virtual display, hosting the scripted browser control
// (scripted_browser.dll, registered as the WebBrowser class for this test run): what the launcher
// asks of the control, in which order, and what the user sees of it. The screen has 96 dots per
// inch, or as many as SORVANTA_HOSTING_DPI says (wine-run-gui --dpi sets them for the run).
#include <gtest/gtest.h>

#include <docobj.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "tests/wine/wine_support.h"

namespace {

using wine_test::fs::path;

// Polls until `done` holds, answering meanwhile what is sent to the test's own windows; false after
// 20 s (a guard against a hung run, not a timing assertion).
bool eventually(const std::function<bool()>& done) {
  for (int tries = 0; tries < 400; ++tries) {
    if (done()) return true;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
  }
  return false;
}

HWND find_window(const wchar_t* window_class, const std::wstring& title) {
  HWND found = nullptr;
  eventually([&] { return (found = ::FindWindowW(window_class, title.c_str())) != nullptr; });
  return found;
}

HWND control_in(HWND window) {
  return ::FindWindowExW(window, nullptr, L"ScriptedBrowser", nullptr);
}

void request(HWND control, const wchar_t* what, WPARAM argument = 0) {
  ::PostMessageW(control, ::RegisterWindowMessageW(what), argument, 0);
}

HWND button_in(HWND popup) {
  return ::FindWindowExW(popup, nullptr, L"BUTTON", nullptr);
}

// A message box of the launcher, by its title.
HWND box_titled(const wchar_t* title) {
  return find_window(L"#32770", title);
}

void answer(HWND box, int button) {
  ::PostMessageW(box, WM_COMMAND, button, 0);
}

// A key pressed and let go while `window` has the keyboard.
void press(HWND window, WPARAM key) {
  ::PostMessageW(window, WM_KEYDOWN, key, 1);
  ::PostMessageW(window, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001));
}

// The key as the scripted browser writes it.
std::string key_name(WPARAM key) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(key));
  return text;
}

// The screen resolution this run is meant to have, in dots per inch.
int screen_dpi() {
  wchar_t value[16] = L"";
  const DWORD length = ::GetEnvironmentVariableW(L"SORVANTA_HOSTING_DPI", value, 16);
  return length > 0 && length < 16 ? std::stoi(value) : 96;
}

// `twips` in this run's pixels, rounded as the launcher rounds them.
int pixels(int twips) {
  return static_cast<int>(std::lround(twips * screen_dpi() / 1440.0));
}

// The window that has the keyboard in `window`'s thread.
HWND focus_in(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

class SorvantaHostingTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Our measures in the screen's own pixels, as the launcher's (it is DPI-aware too).
    ::SetProcessDPIAware();
    const HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
    ::ReleaseDC(nullptr, screen);
    ASSERT_EQ(dpi, screen_dpi()) << "the screen's resolution for this run";
    ASSERT_EQ(server("DllRegisterServer"), S_OK);
  }
  static void TearDownTestSuite() { server("DllUnregisterServer"); }
  void TearDown() override {
    if (!HasFailure()) return;
    for (const auto& line : calls()) std::cout << "  " << line << '\n';
  }

  // Sorvanta.exe in a catalogue folder named `name`, started as `show` says (-1: as from a plain
  // command): a start page linking to a price list that stays loading until asked to complete.
  void start(const std::wstring& name = L"catalogo", int show = -1) {
    folder_ = scratch_ / name;
    wine_test::fs::create_directories(folder_);
    std::ofstream(folder_ / L"index.html")
        << "<html><head><title>Catalogo di prova</title></head><body><a href=\"listino.html\">Listino</a>";
    std::ofstream(folder_ / L"listino.html")
        << "<html><head><title>Listino prezzi</title></head><body>scripted-browser:hold</body></html>";
    wine_test::fs::copy_file(wine_test::built(SORVANTA_EXE), folder_ / L"Sorvanta.exe");
    log_ = folder_ / L"calls.log";
    ::SetEnvironmentVariableW(L"SCRIPTED_BROWSER_LOG", log_.c_str());
    sorvanta_ = std::make_unique<wine_test::Child>(folder_ / L"Sorvanta.exe", folder_, L"", show);
    ASSERT_TRUE(wait_for("B1 DocumentComplete"));
    catalogue_ = find_window(L"SorvantaWindow", L"Catalogo di prova");
    ASSERT_NE(catalogue_, nullptr);
  }

  std::string url_of(const wchar_t* page) const {
    return "file:///" + wine_test::utf8(folder_.generic_wstring()) + "/" + wine_test::utf8(page);
  }

  std::vector<std::string> calls() const {
    std::ifstream file(log_);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
  }
  // The first call at or after `from` that starts with `text`; -1 when there is none.
  int find(const std::string& text, int from = 0) const {
    const auto lines = calls();
    for (int i = from; i < static_cast<int>(lines.size()); ++i) {
      if (lines[i].rfind(text, 0) == 0) return i;
    }
    return -1;
  }
  int count(const std::string& text) const {
    const auto lines = calls();
    return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                          [&](const auto& line) { return line.rfind(text, 0) == 0; }));
  }
  bool wait_for(const std::string& text, int from = 0) const {
    return eventually([&] { return find(text, from) >= 0; });
  }

  // A pop-up from the start page's link, its page still loading.
  HWND open_popup() {
    request(control_in(catalogue_), L"ScriptedBrowser.NewWindow");
    EXPECT_TRUE(wait_for("B2 TitleChange Listino prezzi"));
    return find_window(L"SorvantaWindow", L"Listino prezzi");
  }

  // A pop-up whose page has loaded.
  HWND open_loaded_popup() {
    const HWND popup = open_popup();
    request(control_in(popup), L"ScriptedBrowser.Complete");
    EXPECT_TRUE(wait_for("B2 DocumentComplete"));
    return popup;
  }

  HWND print_dialog(HWND popup) {
    ::PostMessageW(button_in(popup), BM_CLICK, 0, 0);
    return box_titled(L"Stampa");
  }

  // Sorvanta with a pop-up whose page, confirmed in the print dialog, goes on printing in the
  // background until the test posts "ScriptedBrowser.PrintDone" to its control.
  HWND start_printing_slowly() {
    start();
    const HWND popup = open_loaded_popup();
    request(control_in(popup), L"ScriptedBrowser.PrintSlowly");
    answer(print_dialog(popup), IDOK);
    EXPECT_TRUE(wait_for("B2 print dialog closed OK"));
    EXPECT_GE(find("B2 PrintTemplateInstantiation 0x00000000"), 0);
    return popup;
  }

  // Whatever was posted to the launcher before has been handled once this returns; `control` is the
  // window of the browser named `browser` ("B2").
  void settle(HWND control, const std::string& browser) {
    const std::string name = browser + " mark";
    const int marks = count(name);
    request(control, L"ScriptedBrowser.Mark");
    EXPECT_TRUE(eventually([&] { return count(name) > marks; }));
  }

  // The close box of the catalogue window, the thank-you box answered: the program ends.
  void close_catalogue() {
    ::PostMessageW(catalogue_, WM_CLOSE, 0, 0);
    const HWND box = find_window(L"#32770", L"Veltrano S.r.l.");
    ASSERT_NE(box, nullptr);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(sorvanta_->wait(), 0u);
  }

  // Every control was let go in the hosting order, and none was called after its Close.
  void expect_torn_down_in_order(int browsers) {
    for (int n = 1; n <= browsers; ++n) {
      const std::string name = "B" + std::to_string(n) + " ";
      int at = 0;
      for (const char* step : {"Unadvise", "InPlaceDeactivate", "Close", "SetClientSite null", "released"}) {
        const int next = find(name + step, at);
        EXPECT_GE(next, at) << name << step;
        if (next < 0) break;
        at = next;
      }
    }
    EXPECT_EQ(count("ERROR"), 0);
  }

  wine_test::ScratchFolder scratch_{L"sorvanta-hosting"};
  path folder_;
  path log_;
  std::unique_ptr<wine_test::Child> sorvanta_;
  HWND catalogue_ = nullptr;

 private:
  static HRESULT server(const char* function) {
    static const HMODULE dll = ::LoadLibraryW(wine_test::built(SCRIPTED_BROWSER_DLL).c_str());
    const auto call = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(::GetProcAddress(dll, function)));
    return call ? call() : E_FAIL;
  }
};

class StartAddressTest : public SorvantaHostingTest, public ::testing::WithParamInterface<const wchar_t*> {};

// The start page loads from folders whose names a bare path would misread as an address.
TEST_P(StartAddressTest, TheCaptionFollowsEveryTitleChangeAddressFirst) {
  start(GetParam());
  const auto lines = calls();
  const int address = find("B1 TitleChange file:///");
  ASSERT_GE(address, 0) << "the address first";
  const std::string url = lines[address].substr(15, lines[address].find(" | ") - 15);
  EXPECT_EQ(lines[address], "B1 TitleChange " + url + " | caption   Catalogo Veltrano -> " + url);
  EXPECT_EQ(url.substr(url.size() - 11), "/index.html");
  // The page's own title shows that the address named the start page's file.
  EXPECT_GT(find("B1 TitleChange Catalogo di prova | caption " + url + " -> Catalogo di prova"), address);
  close_catalogue();
  expect_torn_down_in_order(1);
}

INSTANTIATE_TEST_SUITE_P(Folders, StartAddressTest,
                         ::testing::Values(L"catalogo", L"Catalogo Veltrano àè", L"cat#1 50%"));

TEST_F(SorvantaHostingTest, TheSiteAnswersAmbientPropertiesScriptErrorsAndAsksForTheDpiAwarePage) {
  start();
  EXPECT_GE(find("B1 ambient USERMODE 0x00000000 VT_BOOL -1"), 0);
  EXPECT_GE(find("B1 ambient DLCONTROL 0x80020003"), 0) << "DISP_E_MEMBERNOTFOUND: the control's default";
  EXPECT_GE(find("B1 GetHostInfo 0x00000000 flags 0x40000000"), 0) << "DOCHOSTUIFLAG_DPI_AWARE";
  EXPECT_GE(find("B1 Advise own identity"), 0);
  EXPECT_GE(find("B1 has the focus"), 0) << "the page has the keyboard from the start";
  // A script error goes by without the control's own box, the page's scripts going on.
  request(control_in(catalogue_), L"ScriptedBrowser.ScriptError");
  settle(control_in(catalogue_), "B1");
  EXPECT_GE(find("B1 script error: host 0x00000000 VT_BOOL -1"), 0);
  EXPECT_EQ(::FindWindowW(L"#32770", L"Errore di script"), nullptr);
  close_catalogue();
}

TEST_F(SorvantaHostingTest, TheBrowserFollowsTheWindowsSizeButNotItsMinimisedOne) {
  start();
  RECT outer{};
  ::GetWindowRect(catalogue_, &outer);
  // Width less 150 twips, height less 500: 10 and 33 pixels at 96 dpi, 15 and 50 at 144 dpi.
  const auto fitted = [](int width, int height) {
    return "B1 SetObjectRects 0 0 " + std::to_string(width - pixels(150)) + "x" +
           std::to_string(height - pixels(500));
  };
  EXPECT_GE(find(fitted(outer.right - outer.left, outer.bottom - outer.top)), 0);
  ::SetWindowPos(catalogue_, nullptr, 0, 0, 800, 600, SWP_NOMOVE | SWP_NOZORDER);
  const std::string resized = fitted(800, 600);
  ASSERT_TRUE(wait_for(resized));
  const int moves = count("B1 SetObjectRects");
  const int restores = count(resized);
  ::ShowWindow(catalogue_, SW_MINIMIZE);
  ASSERT_TRUE(eventually([&] { return ::IsIconic(catalogue_) != FALSE; }));
  ::ShowWindow(catalogue_, SW_RESTORE);
  ASSERT_TRUE(eventually([&] { return count(resized) > restores; })) << "the restored size again";
  EXPECT_EQ(count("B1 SetObjectRects") - moves, count(resized) - restores) << "nothing for the minimised one";
  close_catalogue();
}

// Client areas, the pop-up's browser and its button take their twips in the screen's pixels (15 twips
// to a pixel at 96 dpi, 10 at 144 dpi, where half pixels round up).
TEST_F(SorvantaHostingTest, TheWindowsBrowsersAndButtonTakeTheirSizesInTwips) {
  start();
  RECT client{};
  ::GetClientRect(catalogue_, &client);
  EXPECT_EQ(client.right, pixels(8880));
  EXPECT_EQ(client.bottom, pixels(5865));
  const HWND popup = open_popup();
  ASSERT_NE(popup, nullptr);
  ::GetClientRect(popup, &client);
  EXPECT_EQ(client.right, pixels(9615));
  EXPECT_EQ(client.bottom, pixels(7995));
  EXPECT_GE(
      find("B2 SetObjectRects 0 0 " + std::to_string(pixels(9615)) + "x" + std::to_string(pixels(7455))), 0);
  RECT button{};
  ::GetWindowRect(button_in(popup), &button);
  ::MapWindowPoints(nullptr, popup, reinterpret_cast<POINT*>(&button), 2);
  EXPECT_EQ(button.left, pixels(8040));
  EXPECT_EQ(button.top, pixels(7560));
  EXPECT_EQ(button.right - button.left, pixels(1455));
  EXPECT_EQ(button.bottom - button.top, pixels(375));
  close_catalogue();
}

TEST_F(SorvantaHostingTest, ANewWindowRequestGetsAPopUpWhosePagePrints) {
  start();
  const HWND popup = open_popup();
  ASSERT_NE(popup, nullptr);
  const int registered = find("B2 put_RegisterAsBrowser VT_BOOL -1");
  const int handed = find("B1 NewWindow2 returned ppDisp set Cancel 0");
  const int navigated = find("B2 Navigate2 VT_BSTR " + url_of(L"listino.html"));
  EXPECT_GE(registered, 0);
  EXPECT_GT(handed, registered) << "registered before ppDisp returns";
  EXPECT_GT(navigated, handed) << "the page goes to the browser handed over";
  EXPECT_GE(find("B2 TitleChange " + url_of(L"listino.html") + " | caption Caricamento... -> "), 0);
  EXPECT_GE(find("B2 has the focus"), 0);

  request(control_in(popup), L"ScriptedBrowser.Complete");
  ASSERT_TRUE(wait_for("B2 DocumentComplete"));
  const HWND dialog = print_dialog(popup);
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(::IsWindowEnabled(catalogue_)) << "the control's dialog is modal for the whole launcher";
  ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(wait_for("B2 print dialog closed"));
  EXPECT_TRUE(eventually([&] { return ::IsWindowEnabled(catalogue_) != FALSE; }));
  EXPECT_TRUE(eventually([&] { return focus_in(popup) == button_in(popup); }))
      << "back to the button clicked";
  EXPECT_EQ(count("B2 ExecWB"), 1);
  EXPECT_GE(find("B2 ExecWB 6 1 | VT_I2 0 | VT_I2 0"), 0);
  close_catalogue();
  expect_torn_down_in_order(2);
}

// The box belongs to the window the user is at, over it; the launcher's other windows, and the end of
// the session, wait for it.
TEST_F(SorvantaHostingTest, TheThankYouBoxBelongsToTheActiveWindowWhileTheOthersWait) {
  start();
  const HWND popup = open_popup();
  // Asked again until it is so: the window manager may let the first request pass while the pop-up
  // still takes the focus it was shown with.
  ASSERT_TRUE(eventually([&] {
    ::SetForegroundWindow(catalogue_);
    return ::GetForegroundWindow() == catalogue_;
  }));
  ::PostMessageW(catalogue_, WM_CLOSE, 0, 0);
  const HWND box = box_titled(L"Veltrano S.r.l.");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(::GetWindow(box, GW_OWNER), catalogue_);
  EXPECT_FALSE(::IsWindowEnabled(popup));
  // Windows asking meanwhile whether the session may end is told to wait for the answer.
  DWORD_PTR allowed = TRUE;
  EXPECT_NE(::SendMessageTimeoutW(catalogue_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000,
                                  &allowed),
            0);
  EXPECT_EQ(allowed, static_cast<DWORD_PTR>(FALSE));
  EXPECT_TRUE(::IsWindow(box));
  answer(box, IDOK);
  EXPECT_EQ(sorvanta_->wait(), 0u);
}

// Tab moves between the page and the button in tab order, showing the focus, and Enter and Space
// press the button; after the dialog, and after another program, the keyboard is where it was.
// Inside the page every key goes to the control first, and what it leaves, Tab excepted, to the page.
TEST_F(SorvantaHostingTest, TabReachesThePrintButtonEnterAndSpacePressIt) {
  start();
  const HWND popup = open_loaded_popup();
  const HWND control = control_in(popup);
  const HWND button = button_in(popup);
  ASSERT_TRUE(eventually([&] { return focus_in(popup) == control; }));
  for (const WPARAM key : {VK_RETURN, VK_DOWN}) {
    press(control, key);
    EXPECT_TRUE(wait_for("B2 key " + key_name(key))) << "the page's own key";
    EXPECT_GE(find("B2 TranslateAccelerator " + key_name(key)), 0) << "offered to the control first";
  }
  EXPECT_EQ(count("B2 ExecWB"), 0);

  int printed = 0;
  for (const WPARAM key : {VK_RETURN, VK_SPACE}) {
    press(control, VK_TAB);
    ASSERT_TRUE(eventually([&] { return focus_in(popup) == button; })) << "Tab out of the page";
    // UIS_CLEAR, UISF_HIDEFOCUS: the focus rectangle shows from now on.
    EXPECT_TRUE(wait_for("ChangeUIState 2 1 | Listino prezzi"));
    press(button, key);
    const HWND dialog = box_titled(L"Stampa");
    ASSERT_NE(dialog, nullptr) << key_name(key);
    answer(dialog, IDOK);
    ++printed;
    ASSERT_TRUE(eventually([&] { return count("B2 print dialog closed OK") == printed; }));
    EXPECT_TRUE(eventually([&] { return focus_in(popup) == button; })) << "back where it was";
    press(button, VK_TAB);
    ASSERT_TRUE(eventually([&] { return focus_in(popup) == control; })) << "round to the page";
  }
  EXPECT_GE(find("B2 TranslateAccelerator " + key_name(VK_TAB)), 0) << "the control had Tab first";
  EXPECT_EQ(count("B2 ExecWB 6 1 "), 2);
  // Another program's window comes to the front and goes: the keyboard is back on the button.
  press(control, VK_TAB);
  ASSERT_TRUE(eventually([&] { return focus_in(popup) == button; }));
  const HWND other = ::CreateWindowExW(0, L"STATIC", L"Altro programma", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                       0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(eventually([&] {
    ::SetForegroundWindow(other);
    return ::GetForegroundWindow() == other;
  }));
  ::DestroyWindow(other);
  ASSERT_TRUE(eventually([&] { return ::GetForegroundWindow() == popup; }));
  settle(control, "B2");
  EXPECT_EQ(focus_in(popup), button);
  close_catalogue();
}

// A page still loading (an image that never comes) prints what it has, and whatever the control
// answers meanwhile does nothing. Once the page has loaded, a print the user cancels in the control's
// dialog, or one the control can't do now, is declined with an OLECMDERR_E_ code: that does nothing.
TEST_F(SorvantaHostingTest, APrintTheControlDeclinesOrFailsWhileThePageLoadsDoesNothing) {
  start();
  const HWND popup = open_popup();
  const HWND control = control_in(popup);
  answer(print_dialog(popup), IDOK);
  ASSERT_TRUE(wait_for("B2 print dialog closed OK")) << "printed while the page loads";
  const auto print_failing = [&](std::initializer_list<HRESULT> failures) {
    for (const HRESULT failure : failures) {
      request(control, L"ScriptedBrowser.PrintFails", static_cast<ULONG>(failure));
      ::PostMessageW(button_in(popup), BM_CLICK, 0, 0);
    }
    settle(control, "B2");
  };
  print_failing({E_FAIL, E_ACCESSDENIED});
  request(control, L"ScriptedBrowser.Complete");
  answer(print_dialog(popup), IDCANCEL);
  ASSERT_TRUE(wait_for("B2 print dialog closed Cancel"));
  print_failing({OLECMDERR_E_NOTSUPPORTED, OLECMDERR_E_DISABLED});
  EXPECT_EQ(count("B2 ExecWB 6 1 "), 6);
  EXPECT_EQ(::FindWindowW(L"#32770", L"Sorvanta"), nullptr) << "no report";
  EXPECT_EQ(sorvanta_->wait(0), STILL_ACTIVE);
  close_catalogue();
  expect_torn_down_in_order(2);
}

// Any other failure is an error: reported in a box over the pop-up, then the catalogue ends.
TEST_F(SorvantaHostingTest, AnyOtherPrintFailureIsReportedOverThePopUp) {
  start();
  const HWND popup = open_loaded_popup();
  request(control_in(popup), L"ScriptedBrowser.PrintFails", static_cast<ULONG>(E_ACCESSDENIED));
  ::PostMessageW(button_in(popup), BM_CLICK, 0, 0);
  const HWND report = box_titled(L"Sorvanta");
  ASSERT_NE(report, nullptr);
  wchar_t text[256] = L"";
  ::GetDlgItemTextW(report, 0xFFFF, text, 256);  // the box's text
  EXPECT_NE(std::wstring(text).find(L"(80070005)"), std::wstring::npos) << wine_test::utf8(text);
  EXPECT_EQ(::GetWindow(report, GW_OWNER), popup) << "the box belongs to the window it concerns";
  EXPECT_FALSE(::IsWindowEnabled(catalogue_)) << "the other windows wait for it";
  answer(report, IDOK);
  EXPECT_EQ(sorvanta_->wait(), 1u);
}

class PrintDialogTest : public SorvantaHostingTest, public ::testing::WithParamInterface<bool> {};

// Whether or not the control announces its dialog with EnableModeless, the dialog holds the whole
// launcher, and the program's end waits for it.
TEST_P(PrintDialogTest, EndingWhileThePrintDialogIsUpWaitsForTheDialog) {
  start();
  const HWND popup = open_loaded_popup();
  if (!GetParam()) request(control_in(popup), L"ScriptedBrowser.DialogUnannounced");
  ASSERT_NE(print_dialog(popup), nullptr);
  EXPECT_FALSE(::IsWindowEnabled(catalogue_));
  close_catalogue();
  EXPECT_GT(find("B2 Unadvise"), find("B2 print dialog closed"));
  expect_torn_down_in_order(2);
}

INSTANTIATE_TEST_SUITE_P(Dialogs, PrintDialogTest, ::testing::Values(true, false),
                         [](const auto& param_info) {
                           return param_info.param ? "Announced" : "Unannounced";
                         });

// The control prints in the background once its dialog has closed, until its print template's
// teardown: a pop-up closed meanwhile hides at once, and its control goes once the page has printed.
TEST_F(SorvantaHostingTest, APopUpClosedWhileItsPagePrintsHidesAndGoesOnceThePageHasPrinted) {
  const HWND popup = start_printing_slowly();
  const HWND control = control_in(popup);
  ::PostMessageW(popup, WM_CLOSE, 0, 0);
  ASSERT_TRUE(eventually([&] { return ::IsWindowVisible(popup) == FALSE; }));
  settle(control, "B2");
  EXPECT_EQ(count("B2 Close"), 0) << "not while its page prints";
  request(control, L"ScriptedBrowser.PrintDone");
  ASSERT_TRUE(wait_for("B2 released"));
  EXPECT_GT(find("B2 Unadvise"), find("B2 PrintTemplateTeardown"));
  EXPECT_FALSE(::IsWindow(popup));
  EXPECT_TRUE(::IsWindowVisible(catalogue_));
  close_catalogue();
  expect_torn_down_in_order(2);
}

TEST_F(SorvantaHostingTest, EndingWhileAPagePrintsHidesEverythingAndEndsOnceThePageHasPrinted) {
  const HWND popup = start_printing_slowly();
  const HWND control = control_in(popup);
  ::PostMessageW(catalogue_, WM_CLOSE, 0, 0);
  const HWND box = box_titled(L"Veltrano S.r.l.");
  ASSERT_NE(box, nullptr);
  answer(box, IDOK);
  ASSERT_TRUE(eventually([&] { return !::IsWindowVisible(catalogue_) && !::IsWindowVisible(popup); }));
  settle(control, "B2");
  EXPECT_EQ(sorvanta_->wait(0), STILL_ACTIVE) << "ended while its page printed";
  EXPECT_EQ(count("B2 Close"), 0);
  request(control, L"ScriptedBrowser.PrintDone");
  EXPECT_EQ(sorvanta_->wait(), 0u);
  EXPECT_GT(find("B2 Unadvise"), find("B2 PrintTemplateTeardown"));
  expect_torn_down_in_order(2);
}

// A box of the control's own over a pop-up: its print dialog, or an alert of its page.
struct ControlBox {
  const char* name;
  const wchar_t* request;  // what the page does; null: the print button is clicked
  const wchar_t* title;
};

class ControlBoxTest : public SorvantaHostingTest, public ::testing::WithParamInterface<ControlBox> {};

// Closed from outside while the box is up (the task bar's "Close window", End task, a log-off then
// cancelled), the pop-up hides; once the box is answered, the catalogue takes input and the pop-up goes.
TEST_P(ControlBoxTest, APopUpClosedWhileItsControlsBoxIsUpGoesOnceTheBoxIsAnswered) {
  start();
  const HWND popup = open_loaded_popup();
  if (GetParam().request) request(control_in(popup), GetParam().request);
  if (!GetParam().request) ::PostMessageW(button_in(popup), BM_CLICK, 0, 0);
  const HWND box = box_titled(GetParam().title);
  ASSERT_NE(box, nullptr);
  EXPECT_FALSE(::IsWindowEnabled(catalogue_));
  ::PostMessageW(popup, WM_CLOSE, 0, 0);
  ASSERT_TRUE(eventually([&] { return ::IsWindowVisible(popup) == FALSE; }));
  answer(box, IDOK);
  EXPECT_TRUE(wait_for("B2 released"));
  EXPECT_FALSE(::IsWindow(popup));
  EXPECT_TRUE(eventually([&] { return ::IsWindowEnabled(catalogue_) != FALSE; }));
  close_catalogue();
  expect_torn_down_in_order(2);
}

INSTANTIATE_TEST_SUITE_P(Boxes, ControlBoxTest,
                         ::testing::Values(ControlBox{"PrintDialog", nullptr, L"Stampa"},
                                           ControlBox{"Alert", L"ScriptedBrowser.Alert",
                                                      L"Messaggio dalla pagina Web"}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// How the control brings its print dialog: inside ExecWB or after it has returned, with or without
// EnableModeless around it.
struct PrintMode {
  const char* name;
  bool later;
  bool announced;
};

class PrintModeTest : public SorvantaHostingTest, public ::testing::WithParamInterface<PrintMode> {};

// Whichever way the dialog comes, the other windows wait while it is up, and a pop-up prints once at
// a time: a double click, or Enter held down, brings one dialog. A pop-up closed before its print
// starts hides, and goes once its page has printed.
TEST_P(PrintModeTest, ThePrintDialogHoldsTheOtherWindowsAndComesOnceAPress) {
  start();
  const HWND popup = open_loaded_popup();
  const HWND control = control_in(popup);
  const HWND button = button_in(popup);
  if (GetParam().later) request(control, L"ScriptedBrowser.PrintLater");
  const std::function<void()> presses[] = {
      [&] { ::PostMessageW(button, BM_CLICK, 0, 0); },
      [&] { ::PostMessageW(button, WM_KEYDOWN, VK_RETURN, 0x40000001); }};
  int printed = 0;
  for (const auto& press_once : presses) {
    if (!GetParam().announced) request(control, L"ScriptedBrowser.DialogUnannounced");
    press_once();
    press_once();
    const HWND dialog = box_titled(L"Stampa");
    ASSERT_NE(dialog, nullptr);
    settle(control, "B2");
    EXPECT_FALSE(::IsWindowEnabled(catalogue_));
    EXPECT_EQ(count("B2 ExecWB 6 1 "), ++printed);
    answer(dialog, IDOK);
    ASSERT_TRUE(eventually([&] { return count("B2 print dialog closed") == printed; }));
    EXPECT_TRUE(eventually([&] { return ::IsWindowEnabled(catalogue_) != FALSE; }));
  }
  if (GetParam().later) {
    ::PostMessageW(button, BM_CLICK, 0, 0);
    ::PostMessageW(popup, WM_CLOSE, 0, 0);
    const HWND dialog = box_titled(L"Stampa");
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(::IsWindowVisible(popup));
    answer(dialog, IDOK);
    ASSERT_TRUE(wait_for("B2 released"));
  }
  close_catalogue();
  expect_torn_down_in_order(2);
}

INSTANTIATE_TEST_SUITE_P(Modes, PrintModeTest,
                         ::testing::Values(PrintMode{"InsideExecWB", false, true},
                                           PrintMode{"InsideExecWBUnannounced", false, false},
                                           PrintMode{"AfterExecWB", true, true},
                                           PrintMode{"AfterExecWBUnannounced", true, false}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// window.close() in a page closes its window as the user would: the pop-up goes; the catalogue
// thanks the user, then the program ends. The control neither asks nor destroys a window itself.
TEST_F(SorvantaHostingTest, APageThatClosesItsWindowClosesItAsTheUserWould) {
  start();
  const HWND popup = open_loaded_popup();
  request(control_in(popup), L"ScriptedBrowser.CloseWindow");
  ASSERT_TRUE(wait_for("B2 released"));
  EXPECT_FALSE(::IsWindow(popup));
  request(control_in(catalogue_), L"ScriptedBrowser.CloseWindow");
  const HWND box = box_titled(L"Veltrano S.r.l.");
  ASSERT_NE(box, nullptr);
  answer(box, IDOK);
  EXPECT_EQ(sorvanta_->wait(), 0u);
  EXPECT_EQ(count("B2 WindowClosing returned Cancel -1") + count("B1 WindowClosing returned Cancel -1"), 2);
  expect_torn_down_in_order(2);
}

// A control that keeps its site after the pop-up has let go of it, and calls it later, reaches
// nothing of the pop-up.
TEST_F(SorvantaHostingTest, ALateCallFromAControlLetGoReachesNothing) {
  start();
  const HWND popup = open_loaded_popup();
  request(control_in(popup), L"ScriptedBrowser.KeepSite");
  ::PostMessageW(popup, WM_CLOSE, 0, 0);
  ASSERT_TRUE(wait_for("B2 late EnableModeless(FALSE)"));
  settle(control_in(catalogue_), "B1");
  EXPECT_TRUE(::IsWindowEnabled(catalogue_));
  close_catalogue();
  expect_torn_down_in_order(2);
}

class StartStateTest : public SorvantaHostingTest, public ::testing::WithParamInterface<int> {};

// Started from a shortcut set to "Run: Maximized" (the browser filling the window) or "Minimized",
// the catalogue window opens so; restored, it has its design's size at its design's place.
TEST_P(StartStateTest, TheCatalogueOpensAsItsShortcutSaysAndRestoresToItsDesign) {
  start(L"catalogo", GetParam());
  const bool maximized = GetParam() == SW_SHOWMAXIMIZED;
  ASSERT_TRUE(
      eventually([&] { return (maximized ? ::IsZoomed(catalogue_) : ::IsIconic(catalogue_)) != FALSE; }));
  RECT outer{}, client{}, work{};
  ::GetWindowRect(catalogue_, &outer);
  if (maximized) {
    EXPECT_TRUE(wait_for("B1 SetObjectRects 0 0 " + std::to_string(outer.right - outer.left - pixels(150)) +
                         "x" + std::to_string(outer.bottom - outer.top - pixels(500))));
  }
  ::ShowWindow(catalogue_, SW_RESTORE);
  ASSERT_TRUE(eventually([&] { return !::IsZoomed(catalogue_) && !::IsIconic(catalogue_); }));
  ::GetClientRect(catalogue_, &client);
  EXPECT_EQ(client.right, pixels(8880));
  EXPECT_EQ(client.bottom, pixels(5865));
  ::GetWindowRect(catalogue_, &outer);
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_NEAR((outer.left + outer.right) / 2, (work.left + work.right) / 2, 1);
  EXPECT_NEAR((outer.top + outer.bottom) / 2, (work.top + work.bottom) / 2, 1);
  close_catalogue();
}

INSTANTIATE_TEST_SUITE_P(Shortcuts, StartStateTest, ::testing::Values(SW_SHOWMAXIMIZED, SW_SHOWMINNOACTIVE));

}  // namespace
