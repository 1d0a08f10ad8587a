#pragma once
// Hosts one WebBrowser ActiveX control in a window through COM, without ATL or MFC: one site object
// for the control (client site, in-place site and frame, the DWebBrowserEvents2 sink), reporting to
// a callback interface.
#include <windows.h>  // first: the headers below need it

#include <exdisp.h>
#include <oleidl.h>

#include <memory>
#include <string>

#include "win32/scoped.h"

namespace sorvanta::windows {

// A failed HRESULT of the control raised as the runtime's automation error.
void check(HRESULT hr);

// What the control reports, on the window's thread, from inside its own calls.
class BrowserHostEvents {
 public:
  virtual void title_change(const std::wstring& text) = 0;
  // NewWindow2: set *pp_disp (with a reference of its own) to another browser to take the new window.
  virtual void new_window2(IDispatch** pp_disp, VARIANT_BOOL* cancel) = 0;
  // The control starts (false) or ends (true) a modal loop of its own: a dialog or a page's alert.
  // Each end comes after its start.
  virtual void enable_modeless(bool enable) = 0;
  // The page asks to close its window (window.close()); the control's own closing is cancelled.
  virtual void window_closing() = 0;

 protected:
  ~BrowserHostEvents() = default;
};

class BrowserHost {
 public:
  // Creates the control, in-place active in `parent` at `rect` (client pixels); throws RunError
  // with the HRESULT when the control can't be made.
  BrowserHost(HWND parent, const RECT& rect, BrowserHostEvents& events);
  BrowserHost(const BrowserHost&) = delete;
  BrowserHost& operator=(const BrowserHost&) = delete;
  // Unhooks the site, disconnects the events, closes the control and lets go of it, in that order.
  ~BrowserHost();

  IWebBrowser2* browser() const { return browser_.get(); }
  void move(const RECT& rect);
  // UI activation: the keyboard goes to the page. A control that refuses it leaves the focus as it was.
  void focus();
  // The control's events and requests go nowhere from now on (the host is being let go late). The
  // modal loops it has started and not yet ended are given back as ended.
  void unhook();
  // Offers a keyboard message to the control (Tab, arrows, shortcuts inside the page); true when
  // it took it.
  bool translate_accelerator(MSG& message);
  // Whether `window` is the control's own window or one inside it.
  bool owns(HWND window) const;
  // ExecWB(OLECMDID_PRINT). The page counts as printing from now on: the control may start its
  // print template (and its dialog) after this has returned.
  HRESULT print(OLECMDEXECOPT option, VARIANT* in, VARIANT* out);
  // Whether a page is printing: from the print command to the control's PrintTemplateTeardown, which
  // may come long after its print dialog has closed.
  bool printing() const;
  // Whether the control can't be let go yet: it prints, or one of its modal loops is running.
  bool busy() const;

 private:
  class Site;
  void teardown() noexcept;

  HWND parent_;
  std::unique_ptr<Site> site_;
  win32::ComPtr<IOleObject> object_;
  win32::ComPtr<IOleInPlaceObject> in_place_;
  win32::ComPtr<IWebBrowser2> browser_;
  win32::ComPtr<IConnectionPoint> event_source_;
  DWORD event_cookie_ = 0;
};

}  // namespace sorvanta::windows
