// Sorvanta's Win32 window system for real, under Wine on a virtual display: the windows made from
// the designs, the hosted browser's events reaching the windows' handlers, the button, activation
// and closing. (Wine has no HTML engine here: the control's events are fired at our sink by hand,
// as the control would fire them.)
#include <gtest/gtest.h>

#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>

#include <string>
#include <vector>

#include "launcher/frm_vb.h"
#include "launcher/frm_vbp.h"
#include "launcher/run_error.h"
#include "launcher/win32/navigation_address.h"
#include "launcher/win32/win32_window.h"
#include "launcher/window_system.h"
#include "tests/wine/wine_support.h"
#include "win32/scoped.h"

namespace {

using namespace sorvanta;
using wine_test::utf8;

HWND handle_of(Window& window) {
  return dynamic_cast<windows::Win32Window&>(window).handle();
}

std::wstring text_of(HWND window) {
  wchar_t text[256] = L"";
  ::GetWindowTextW(window, text, 256);
  return text;
}

SIZE client_size(HWND window) {
  RECT client{};
  ::GetClientRect(window, &client);
  return {client.right, client.bottom};
}

IWebBrowser2* control_of(Browser& browser) {
  return static_cast<IWebBrowser2*>(static_cast<IDispatch*>(browser.automation().get()));
}

// The DWebBrowserEvents2 sink the control would call: the one connection of its event source.
win32::ComPtr<IDispatch> event_sink_of(Browser& browser) {
  win32::ComPtr<IConnectionPointContainer> container;
  control_of(browser)->QueryInterface(IID_IConnectionPointContainer, container.put_void());
  win32::ComPtr<IConnectionPoint> point;
  if (!container || FAILED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.put()))) return {};
  win32::ComPtr<IEnumConnections> connections;
  if (FAILED(point->EnumConnections(connections.put()))) return {};
  CONNECTDATA data{};
  if (connections->Next(1, &data, nullptr) != S_OK) return {};
  auto sink = win32::ComPtr<IUnknown>::adopt(data.pUnk).as<IDispatch>(IID_IDispatch);
  return sink;
}

HRESULT fire(IDispatch& sink, DISPID id, std::vector<VARIANTARG> arguments_last_first) {
  DISPPARAMS parameters{arguments_last_first.data(), nullptr, static_cast<UINT>(arguments_last_first.size()),
                        0};
  return sink.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, nullptr, nullptr,
                     nullptr);
}

// Presses OK in the box titled `title` as soon as it shows, from inside its modal loop.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(const wchar_t* title) {
    title_ = title;
    timer_ = ::SetTimer(nullptr, 0, 100, &BoxAnswerer::tick);
  }
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;
  ~BoxAnswerer() { ::KillTimer(nullptr, timer_); }
  static int answered() { return answered_; }

 private:
  static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
    if (HWND box = ::FindWindowW(L"#32770", title_)) {
      ++answered_;
      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
  }
  static inline const wchar_t* title_ = nullptr;
  static inline int answered_ = 0;
  UINT_PTR timer_;
};

class Win32WindowSystemTest : public ::testing::Test {
 protected:
  std::unique_ptr<WindowSystem> system = make_platform_window_system();
};

TEST_F(Win32WindowSystemTest, TheCatalogueWindowIsMadeFromItsDesignAndTheBrowserFitsIt) {
  FrmVB& catalogue = system->load<FrmVB>();
  const HWND window = handle_of(catalogue.window());
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(text_of(window), L"  Catalogo Veltrano");
  EXPECT_FALSE(::IsWindowVisible(window));  // created hidden
  const LONG style = ::GetWindowLongW(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_THICKFRAME);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_TRUE(style & WS_MAXIMIZEBOX);
  const SIZE client = client_size(window);
  EXPECT_EQ(client.cx, 592);  // 8880 x 5865 twips at 96 dpi
  EXPECT_EQ(client.cy, 391);

  RECT outer{}, work{};
  ::GetWindowRect(window, &outer);
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_NEAR((outer.left + outer.right) / 2, (work.left + work.right) / 2, 1);
  EXPECT_NEAR((outer.top + outer.bottom) / 2, (work.top + work.bottom) / 2, 1);

  catalogue.window().show();
  EXPECT_TRUE(::IsWindowVisible(window));
  // The browser's own window, as the size-changed handler left it.
  win32::ComPtr<IOleWindow> browser_window;
  control_of(catalogue.web())->QueryInterface(IID_IOleWindow, browser_window.put_void());
  HWND browser = nullptr;
  ASSERT_TRUE(browser_window && SUCCEEDED(browser_window->GetWindow(&browser)));
  RECT placed{};
  ::GetWindowRect(browser, &placed);
  EXPECT_EQ(placed.right - placed.left, (outer.right - outer.left) - 10);  // the width margin, 150 twips
  EXPECT_EQ(placed.bottom - placed.top, (outer.bottom - outer.top) - 33);  // the height margin, 500 twips
  EXPECT_EQ(::GetParent(browser), window);
}

TEST_F(Win32WindowSystemTest, APopUpIsAFixedFrameWithItsPrintButtonInPlace) {
  FrmVBP& popup = system->load<FrmVBP>();
  const HWND window = handle_of(popup.window());
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(text_of(window), L"Caricamento...");
  const LONG style = ::GetWindowLongW(window, GWL_STYLE);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_TRUE(style & WS_SYSMENU);
  const SIZE client = client_size(window);
  EXPECT_EQ(client.cx, 641);  // 9615 x 7995 twips
  EXPECT_EQ(client.cy, 533);

  const HWND button = ::FindWindowExW(window, nullptr, L"BUTTON", nullptr);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(text_of(button), L"Stampa pagina");
  RECT placed{};
  ::GetWindowRect(button, &placed);
  ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(placed.left, 536);  // 8040, 7560, 1455 x 375 twips
  EXPECT_EQ(placed.top, 504);
  EXPECT_EQ(placed.right - placed.left, 97);
  EXPECT_EQ(placed.bottom - placed.top, 25);
}

TEST_F(Win32WindowSystemTest, ANewWindowRequestIsAnsweredWithThePopUpsRegisteredBrowser) {
  FrmVB& catalogue = system->load<FrmVB>();
  catalogue.window().show();
  const auto sink = event_sink_of(catalogue.web());
  ASSERT_TRUE(sink) << "the control lists no event connection";

  IDispatch* answer = nullptr;
  VARIANT_BOOL cancel = VARIANT_FALSE;
  std::vector<VARIANTARG> arguments(2);
  arguments[0].vt = VT_BYREF | VT_BOOL;
  arguments[0].pboolVal = &cancel;
  arguments[1].vt = VT_BYREF | VT_DISPATCH;
  arguments[1].ppdispVal = &answer;
  ASSERT_EQ(fire(*sink.get(), DISPID_NEWWINDOW2, arguments), S_OK);

  ASSERT_EQ(system->windows().size(), 2u);
  Window& popup_window = *system->windows().back();
  Browser& web2 = popup_window.browser("web2");
  ASSERT_NE(answer, nullptr);
  const auto owned = win32::ComPtr<IDispatch>::adopt(answer);
  EXPECT_EQ(answer, static_cast<IDispatch*>(web2.automation().get()));
  VARIANT_BOOL registered = VARIANT_FALSE;
  ASSERT_EQ(control_of(web2)->get_RegisterAsBrowser(&registered), S_OK);
  EXPECT_EQ(registered, VARIANT_TRUE);
  EXPECT_EQ(cancel, VARIANT_FALSE);
  EXPECT_TRUE(::IsWindowVisible(handle_of(popup_window)));

  // Its page's title becomes its caption, exactly; the catalogue window keeps its own.
  const auto popup_sink = event_sink_of(web2);
  ASSERT_TRUE(popup_sink);
  const win32::Bstr title(L"  Listino prezzi — 2026 ");
  std::vector<VARIANTARG> text(1);
  text[0].vt = VT_BSTR;
  text[0].bstrVal = title.get();
  ASSERT_EQ(fire(*popup_sink.get(), DISPID_TITLECHANGE, text), S_OK);
  EXPECT_EQ(text_of(handle_of(popup_window)), L"  Listino prezzi — 2026 ");
  EXPECT_EQ(popup_window.caption(), "  Listino prezzi — 2026 ");
  EXPECT_EQ(text_of(handle_of(catalogue.window())), L"  Catalogo Veltrano");
}

TEST_F(Win32WindowSystemTest, ComingBackToAPopUpPutsTheKeyboardIntoItsPage) {
  FrmVB& catalogue = system->load<FrmVB>();
  catalogue.window().show();
  FrmVBP& popup = system->load<FrmVBP>();
  popup.window().show();
  const HWND popup_window = handle_of(popup.window());
  win32::ComPtr<IOleWindow> browser_window;
  control_of(popup.web2())->QueryInterface(IID_IOleWindow, browser_window.put_void());
  HWND browser = nullptr;
  ASSERT_TRUE(browser_window && SUCCEEDED(browser_window->GetWindow(&browser)));

  ::SetForegroundWindow(handle_of(catalogue.window()));
  ::SetFocus(handle_of(catalogue.window()));
  ASSERT_EQ(system->active_window(), &catalogue.window());
  ::SetForegroundWindow(popup_window);
  EXPECT_EQ(system->active_window(), &popup.window());
  const HWND focus = ::GetFocus();
  EXPECT_TRUE(focus == browser || ::IsChild(browser, focus)) << "focus on " << focus;
}

TEST_F(Win32WindowSystemTest, PrintingWithoutAPageDoesNothingOtherCommandsStillFail) {
  FrmVBP& popup = system->load<FrmVBP>();
  popup.window().show();
  const HWND button = ::FindWindowExW(handle_of(popup.window()), nullptr, L"BUTTON", nullptr);
  // No page (and no HTML engine): the control can't print yet, and the click leaves all as it was.
  ::SendMessageW(button, BM_CLICK, 0, 0);
  EXPECT_FALSE(system->ending());
  EXPECT_TRUE(::IsWindow(handle_of(popup.window())));
  try {
    popup.web2().exec_wb(7, 0, 0, 0);  // OLECMDID_PRINTPREVIEW, OLECMDEXECOPT_DODEFAULT
    ADD_FAILURE() << "a command the control refuses went through";
  } catch (const RunError& error) {
    EXPECT_LT(runtime::value(error.number()), 0) << "an HRESULT from ExecWB";
  }
}

struct AddressCase {
  const char* address;
  const wchar_t* url;
};

TEST(NavigationAddress, FilePathsBecomeFileUrlsByTheShellsConversion) {
  const AddressCase cases[] = {
      {"C:\\Catalogo/index.html", L"file:///C:/Catalogo/index.html"},
      {"C:\\/index.html", L"file:///C:/index.html"},  // a drive root
      {"C:\\Cat#1 50%/index.html", L"file:///C:/Cat%231%2050%25/index.html"},
      {"\\\\server\\share/index.html", L"file://server/share/index.html"},
      {"http://example.com/a.html", L"http://example.com/a.html"},
      {"index.html", L"index.html"},
  };
  for (const AddressCase& c : cases) EXPECT_EQ(windows::navigation_address(c.address), c.url) << c.address;
}

TEST_F(Win32WindowSystemTest, ClosingAPopUpLeavesTheRestClosingTheCatalogueWindowEndsWithOneBox) {
  FrmVB& catalogue = system->load<FrmVB>();
  catalogue.window().show();
  std::vector<HWND> popups;
  for (int i = 0; i < 2; ++i) {
    FrmVBP& popup = system->load<FrmVBP>();
    popup.window().show();
    popups.push_back(handle_of(popup.window()));
  }
  const HWND catalogue_window = handle_of(catalogue.window());

  ::SendMessageW(popups[0], WM_CLOSE, 0, 0);
  EXPECT_FALSE(::IsWindow(popups[0]));
  EXPECT_TRUE(::IsWindow(popups[1]));
  EXPECT_TRUE(::IsWindow(catalogue_window));
  EXPECT_EQ(system->windows().size(), 2u);

  const int before = BoxAnswerer::answered();
  {
    const BoxAnswerer answerer(L"Veltrano S.r.l.");
    ::PostMessageW(catalogue_window, WM_CLOSE, 0, 0);
    EXPECT_THROW(system->run(), ProgramEnd);
  }
  EXPECT_EQ(BoxAnswerer::answered() - before, 1);
  EXPECT_FALSE(::IsWindow(catalogue_window));
  EXPECT_FALSE(::IsWindow(popups[1]));
  EXPECT_TRUE(system->windows().empty());
}

}  // namespace
