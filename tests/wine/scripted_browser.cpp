// A scripted stand-in for the WebBrowser control, for the Wine tests only. Registered as
// CLSID_WebBrowser in the test prefix, it is what the real Sorvanta.exe creates there. It does what
// a host relies on (in-place activation in a window of its own, Navigate, TitleChange, DocumentComplete,
// NewWindow2, QueryStatusWB, ExecWB) and writes every call the host makes, one line each, to the file
// named by SCRIPTED_BROWSER_LOG. A line starting with "ERROR" is a broken hosting rule.
//
// Pages are files: the title is their <title>; a page holding "scripted-browser:hold" stays loading
// until the test posts "ScriptedBrowser.Complete" to the control's window; "ScriptedBrowser.NewWindow"
// asks for a new window showing the page's first href; "ScriptedBrowser.Mark" writes "mark", to tell
// that what was posted before has been handled.
//
// Printing, as the real control does it: a print template announced to the host
// (PrintTemplateInstantiation), the print dialog (Cancel makes ExecWB answer OLECMDERR_E_CANCELED),
// then the template let go (PrintTemplateTeardown). What the test can change for the next print:
// "ScriptedBrowser.PrintFails" (wParam: the HRESULT ExecWB answers at once), "ScriptedBrowser.
// PrintSlowly" (the page goes on printing after its dialog until "ScriptedBrowser.PrintDone"),
// "ScriptedBrowser.DialogUnannounced" (the dialog comes without EnableModeless around it). And for
// every print from then on, "ScriptedBrowser.PrintLater": ExecWB returns at once and the template
// starts, with its dialog, from the message loop, as the real control may do it. A page still
// loading prints what it has.
//
// What a page may do besides: "ScriptedBrowser.Alert" (an alert box), "ScriptedBrowser.CloseWindow"
// (window.close(): WindowClosing, and unless the host cancels, the control asks first in a window the
// page did not open, then destroys its own window), "ScriptedBrowser.ScriptError" (offered to the
// site's IOleCommandTarget; unless the host answers, the control's own "Errore di script" box). Every
// box of the control is modal, announced with EnableModeless(FALSE) and TRUE on the frame it had at
// the start, whatever the host did meanwhile. "ScriptedBrowser.KeepSite": the control keeps its site
// after the host has let go of it, and calls it once more a little later.
//
// Wine keeps no keyboard-cue state, so the WM_CHANGEUISTATE the host sends its windows is written
// down here too ("ChangeUIState ACTION FLAGS | CAPTION"), as real Windows would pass it on to the
// control's window.
#include <windows.h>  // first: the headers below need it

#include <exdisp.h>
#include <exdispid.h>
#include <mshtmdid.h>
#include <mshtmhst.h>
#include <ocidl.h>
#include <olectl.h>
#include <shlwapi.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "win32/scoped.h"
#include "win32/text.h"

namespace {

HMODULE this_module = nullptr;
HHOOK sent_messages = nullptr;
constexpr wchar_t kWindowClass[] = L"ScriptedBrowser";
constexpr UINT kLoadStep = WM_APP + 1;   // wParam: the step, lParam: the navigation it belongs to
constexpr UINT kPrintStep = WM_APP + 2;  // a print template starting after ExecWB has returned
constexpr UINT kLateCallMs = 200;
// CGID_DocHostCommandHandler, which no import library defines.
constexpr GUID kDocHostCommandHandler{
    0xf38bc242, 0xb950, 0x11d1, {0x89, 0x18, 0x00, 0xc0, 0x4f, 0xc2, 0xc8, 0x36}};
constexpr wchar_t kClassKey[] = L"CLSID\\{8856F961-340A-11D0-A96B-00C04FD705A2}\\InprocServer32";
constexpr wchar_t kSavedValue[] = L"ScriptedBrowserSaved";

void log(const std::wstring& line) {
  wchar_t file[MAX_PATH];
  if (!::GetEnvironmentVariableW(L"SCRIPTED_BROWSER_LOG", file, MAX_PATH)) return;
  std::ofstream(file, std::ios::app | std::ios::binary) << win32::to_utf8(line) << '\n';
}

std::wstring hex(long value) {
  wchar_t text[16];
  std::swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(value));
  return text;
}

// "VT_I2 0", "VT_BOOL -1", "VT_BSTR text", "VT_EMPTY", or the bare type number.
std::wstring describe(const VARIANT* v) {
  if (!v) return L"null";
  switch (v->vt) {
    case VT_EMPTY:
      return L"VT_EMPTY";
    case VT_I2:
      return L"VT_I2 " + std::to_wstring(v->iVal);
    case VT_I4:
      return L"VT_I4 " + std::to_wstring(v->lVal);
    case VT_BOOL:
      return L"VT_BOOL " + std::to_wstring(v->boolVal);
    case VT_BSTR:
      return L"VT_BSTR " + std::wstring(v->bstrVal ? v->bstrVal : L"");
    case VT_ERROR:
      return L"VT_ERROR " + hex(v->scode);
    default:
      return L"vt " + std::to_wstring(v->vt);
  }
}

std::wstring caption_of(HWND window) {
  wchar_t text[256] = L"";
  ::GetWindowTextW(::GetAncestor(window, GA_ROOT), text, 256);
  return text;
}

LRESULT CALLBACK watch_sent(int code, WPARAM wparam, LPARAM lparam) {
  const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lparam);
  if (code == HC_ACTION && sent->message == WM_CHANGEUISTATE && !::GetParent(sent->hwnd)) {
    log(L"ChangeUIState " + std::to_wstring(LOWORD(sent->wParam)) + L" " +
        std::to_wstring(HIWORD(sent->wParam)) + L" | " + caption_of(sent->hwnd));
  }
  return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

std::string between(const std::string& text, const std::string& open, const std::string& close) {
  const auto start = text.find(open);
  if (start == std::string::npos) return {};
  const auto end = text.find(close, start + open.size());
  return end == std::string::npos ? std::string()
                                  : text.substr(start + open.size(), end - start - open.size());
}

class ScriptedBrowser final : public IOleObject,
                              public IOleInPlaceObject,
                              public IOleInPlaceActiveObject,
                              public IWebBrowser2,
                              public IConnectionPointContainer,
                              public IConnectionPoint {
 public:
  ScriptedBrowser() : name_(L"B" + std::to_wstring(++made_)) {}

  // ---- IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleObject)) {
      *out = static_cast<IOleObject*>(this);
    } else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceObject)) {
      *out = static_cast<IOleInPlaceObject*>(this);
    } else if (IsEqualIID(iid, IID_IOleInPlaceActiveObject)) {
      *out = static_cast<IOleInPlaceActiveObject*>(this);
    } else if (IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IWebBrowser) ||
               IsEqualIID(iid, IID_IWebBrowserApp) || IsEqualIID(iid, IID_IWebBrowser2)) {
      *out = static_cast<IWebBrowser2*>(this);
    } else if (IsEqualIID(iid, IID_IConnectionPointContainer)) {
      *out = static_cast<IConnectionPointContainer*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;  // a COM object lives as long as its references
    return left;
  }

  // ---- IOleObject
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override {
    record(L"SetClientSite " + std::wstring(site ? L"site" : L"null"), site != nullptr);
    if (!site && keep_site_) {
      keep_until_late_call();
      return S_OK;
    }
    site_ = win32::ComPtr<IOleClientSite>::share(site);
    if (site) ask_site();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override {
    *site = win32::ComPtr<IOleClientSite>::share(site_.get()).detach();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Close(DWORD option) override {
    record(L"Close " + std::to_wstring(option));
    if (busy_) log(L"ERROR " + name_ + L" closed inside its own modal loop");
    if (printing_ || prints_queued_ > 0) log(L"ERROR " + name_ + L" closed while printing");
    closed_ = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) override {
    if (!record(L"DoVerb " + std::to_wstring(verb))) return E_UNEXPECTED;
    if (verb != OLEIVERB_INPLACEACTIVATE && verb != OLEIVERB_UIACTIVATE && verb != OLEIVERB_SHOW) return S_OK;
    if (!window_ && !activate_in_place()) return E_FAIL;
    if (verb == OLEIVERB_UIACTIVATE) ::SetFocus(window_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* id) override {
    *id = CLSID_WebBrowser;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD* status) override {
    *status = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // ---- IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    *window = window_;
    return window_ ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override {
    if (!record(L"InPlaceDeactivate")) return E_UNEXPECTED;
    if (window_) ::DestroyWindow(window_);
    window_ = nullptr;
    if (keep_site_) late_frame_ = std::move(frame_);
    frame_.reset();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UIDeactivate() override { return record(L"UIDeactivate") ? S_OK : E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT) override {
    if (!record(L"SetObjectRects " + std::to_wstring(position->left) + L" " + std::to_wstring(position->top) +
                L" " + std::to_wstring(position->right - position->left) + L"x" +
                std::to_wstring(position->bottom - position->top)))
      return E_UNEXPECTED;
    ::MoveWindow(window_, position->left, position->top, position->right - position->left,
                 position->bottom - position->top, TRUE);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override { return E_NOTIMPL; }
  // Offered the host's keys first; a real page would move its own focus with Tab. This one has
  // nothing to move to, so every key goes on to the host.
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message) override {
    if (message && message->message == WM_KEYDOWN)
      log(name_ + L" TranslateAccelerator " + hex(static_cast<long>(message->wParam)));
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }

  // ---- IDispatch: the host calls through the vtable
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

  // ---- IWebBrowser2: what a host uses
  HRESULT STDMETHODCALLTYPE Navigate(BSTR url, VARIANT* flags, VARIANT* frame, VARIANT* post,
                                     VARIANT* headers) override {
    if (!record(L"Navigate " + std::wstring(url ? url : L"") + L" | " + describe(flags) + L" | " +
                describe(frame) + L" | " + describe(post) + L" | " + describe(headers)))
      return E_UNEXPECTED;
    return start_loading(url ? url : L"");
  }
  HRESULT STDMETHODCALLTYPE Navigate2(VARIANT* url, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override {
    if (!record(L"Navigate2 " + describe(url))) return E_UNEXPECTED;
    return url && url->vt == VT_BSTR ? start_loading(url->bstrVal) : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE QueryStatusWB(OLECMDID command, OLECMDF* status) override {
    *status = loaded_ && command == OLECMDID_PRINT ? static_cast<OLECMDF>(OLECMDF_SUPPORTED | OLECMDF_ENABLED)
                                                   : OLECMDF_SUPPORTED;
    return record(L"QueryStatusWB " + std::to_wstring(command) + L" -> " + std::to_wstring(*status))
               ? S_OK
               : E_UNEXPECTED;
  }
  HRESULT STDMETHODCALLTYPE ExecWB(OLECMDID command, OLECMDEXECOPT option, VARIANT* in,
                                   VARIANT* out) override {
    if (!record(L"ExecWB " + std::to_wstring(command) + L" " + std::to_wstring(option) + L" | " +
                describe(in) + L" | " + describe(out)))
      return E_UNEXPECTED;
    if (command != OLECMDID_PRINT) return OLECMDERR_E_NOTSUPPORTED;
    if (const HRESULT answer = std::exchange(print_answer_, S_OK); answer != S_OK) return answer;
    if (option != OLECMDEXECOPT_PROMPTUSER) return S_OK;
    if (print_later_) {
      ++prints_queued_;
      ::PostMessageW(window_, kPrintStep, 0, 0);
      return S_OK;
    }
    return print_dialog() ? S_OK : OLECMDERR_E_CANCELED;
  }
  HRESULT STDMETHODCALLTYPE get_RegisterAsBrowser(VARIANT_BOOL* value) override {
    *value = register_as_browser_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_RegisterAsBrowser(VARIANT_BOOL value) override {
    if (!record(L"put_RegisterAsBrowser VT_BOOL " + std::to_wstring(value))) return E_UNEXPECTED;
    register_as_browser_ = value;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_LocationURL(BSTR* url) override {
    *url = ::SysAllocString(url_.c_str());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Busy(VARIANT_BOOL* busy) override {
    *busy = loaded_ ? VARIANT_FALSE : VARIANT_TRUE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_ReadyState(READYSTATE* state) override {
    *state = loaded_ ? READYSTATE_COMPLETE : READYSTATE_LOADING;
    return S_OK;
  }

  // ---- the rest of IWebBrowser2: not used by a host
  HRESULT STDMETHODCALLTYPE GoBack() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GoForward() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GoHome() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GoSearch() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Refresh() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Refresh2(VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Stop() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Application(IDispatch**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Parent(IDispatch**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Container(IDispatch**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Document(IDispatch**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_TopLevelContainer(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Type(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Left(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Left(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Top(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Top(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Width(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Width(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Height(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Height(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_LocationName(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Quit() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ClientToWindow(int*, int*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE PutProperty(BSTR, VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetProperty(BSTR, VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Name(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_HWND(SHANDLE_PTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_FullName(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Path(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_StatusBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_StatusBar(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_StatusText(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_StatusText(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ToolBar(int*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_ToolBar(int) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_MenuBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_MenuBar(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_FullScreen(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_FullScreen(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ShowBrowserBar(VARIANT*, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Offline(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Offline(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Silent(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Silent(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_RegisterAsDropTarget(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_RegisterAsDropTarget(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_TheaterMode(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_TheaterMode(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_AddressBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_AddressBar(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Resizable(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Resizable(VARIANT_BOOL) override { return E_NOTIMPL; }

  // ---- IConnectionPointContainer, IConnectionPoint: DWebBrowserEvents2 only
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
    *point = nullptr;
    if (!IsEqualIID(iid, DIID_DWebBrowserEvents2)) return CONNECT_E_NOCONNECTION;
    *point = this;
    AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
    *iid = DIID_DWebBrowserEvents2;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override {
    *container = this;
    AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
    // The site's own IUnknown must not be the sink's: the site also answers ambient properties.
    const auto sink_identity = win32::ComPtr<IUnknown>::share(sink).as<IUnknown>(IID_IUnknown);
    const auto site_identity = site_.as<IUnknown>(IID_IUnknown);
    if (!record(L"Advise " + std::wstring(sink_identity.get() == site_identity.get() ? L"site" : L"own") +
                L" identity"))
      return E_UNEXPECTED;
    sink->QueryInterface(IID_IDispatch, sink_.put_void());
    *cookie = 1;
    return sink_ ? S_OK : E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
    if (!record(L"Unadvise " + std::to_wstring(cookie))) return E_UNEXPECTED;
    if (printing_ || prints_queued_ > 0) log(L"ERROR " + name_ + L" disconnected while printing");
    sink_.reset();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

  static LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

 private:
  ~ScriptedBrowser() { log(name_ + L" released"); }

  // Logs a host call; false (with an ERROR line) when the control was closed already.
  bool record(const std::wstring& call, bool needs_open = true) {
    if (closed_ && needs_open) {
      log(L"ERROR " + name_ + L" " + call + L" after Close");
      return false;
    }
    log(name_ + L" " + call);
    return true;
  }

  // What the control asks of its site when it gets one: two ambient properties, the host's flags.
  void ask_site() {
    if (const auto ambient = site_.as<IDispatch>(IID_IDispatch)) {
      for (const auto& [id, name] : {std::pair{DISPID_AMBIENT_USERMODE, L"USERMODE"},
                                     std::pair{DISPID_AMBIENT_DLCONTROL, L"DLCONTROL"}}) {
        DISPPARAMS none{};
        win32::Variant value;
        const HRESULT hr = ambient->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                           value.get(), nullptr, nullptr);
        log(name_ + L" ambient " + name + L" " + hex(hr) + L" " + describe(value.get()));
      }
    }
    if (const auto handler = site_.as<IDocHostUIHandler>(IID_IDocHostUIHandler)) {
      DOCHOSTUIINFO info{};
      info.cbSize = sizeof info;
      const HRESULT hr = handler->GetHostInfo(&info);
      log(name_ + L" GetHostInfo " + hex(hr) + L" flags " + hex(static_cast<long>(info.dwFlags)));
    }
  }

  bool activate_in_place() {
    const auto site = site_.as<IOleInPlaceSite>(IID_IOleInPlaceSite);
    HWND parent = nullptr;
    if (!site || site->CanInPlaceActivate() != S_OK || FAILED(site->GetWindow(&parent))) return false;
    site->OnInPlaceActivate();
    win32::ComPtr<IOleInPlaceUIWindow> document;
    RECT position{}, clip{};
    OLEINPLACEFRAMEINFO info{};
    info.cb = sizeof info;
    site->GetWindowContext(frame_.put(), document.put(), &position, &clip, &info);
    if (!sent_messages)
      sent_messages = ::SetWindowsHookExW(WH_CALLWNDPROC, &watch_sent, nullptr, ::GetCurrentThreadId());
    window_ = ::CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_VISIBLE, position.left, position.top,
                                position.right - position.left, position.bottom - position.top, parent,
                                nullptr, this_module, this);
    return window_ != nullptr;
  }

  HRESULT start_loading(const std::wstring& url) {
    url_ = url;
    loaded_ = false;
    page_.clear();
    // Only a file URL names a file; anything else shows an empty page, its address as title.
    wchar_t path[MAX_PATH] = L"";
    DWORD size = MAX_PATH;
    if (::UrlIsW(url.c_str(), URLIS_FILEURL) &&
        SUCCEEDED(::PathCreateFromUrlW(url.c_str(), path, &size, 0))) {
      std::ifstream file(path, std::ios::binary);
      page_.assign(std::istreambuf_iterator<char>(file), {});
    }
    // Never inside the call: the page arrives later, from the message loop.
    ::PostMessageW(window_, kLoadStep, 1, ++navigation_);
    return S_OK;
  }

  void load_step(WPARAM step, LPARAM navigation) {
    if (navigation != navigation_ || closed_) return;
    const std::wstring title = win32::to_wide(between(page_, "<title>", "</title>"));
    if (step == 1) title_change(url_);
    if (step == 2 && !title.empty()) title_change(title);
    if (step < 3) ::PostMessageW(window_, kLoadStep, step + 1, navigation);
    if (step == 3 && page_.find("scripted-browser:hold") == std::string::npos) complete();
  }

  HRESULT fire(DISPID id, VARIANTARG* last_first, UINT count) {
    if (!sink_) return E_UNEXPECTED;
    DISPPARAMS parameters{last_first, nullptr, count, 0};
    return sink_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, nullptr, nullptr,
                         nullptr);
  }

  void title_change(const std::wstring& text) {
    const std::wstring before = caption_of(window_);
    const win32::Bstr title(text.c_str());
    VARIANTARG argument{};
    argument.vt = VT_BSTR;
    argument.bstrVal = title.get();
    fire(DISPID_TITLECHANGE, &argument, 1);
    log(name_ + L" TitleChange " + text + L" | caption " + before + L" -> " + caption_of(window_));
  }

  void complete() {
    loaded_ = true;
    win32::Variant url;
    url->vt = VT_BSTR;
    url->bstrVal = ::SysAllocString(url_.c_str());
    VARIANTARG arguments[2]{};
    arguments[0].vt = VT_BYREF | VT_VARIANT;
    arguments[0].pvarVal = url.get();
    arguments[1].vt = VT_DISPATCH;
    arguments[1].pdispVal = static_cast<IWebBrowser2*>(this);
    fire(DISPID_DOCUMENTCOMPLETE, arguments, 2);
    log(name_ + L" DocumentComplete");
  }

  // The page's first link opened in a new window: the host may hand over a browser for it.
  void new_window() {
    const std::wstring link = win32::to_wide(between(page_, "href=\"", "\""));
    const std::wstring target = url_.substr(0, url_.find_last_of(L'/') + 1) + link;
    IDispatch* answer = nullptr;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANTARG arguments[2]{};
    arguments[0].vt = VT_BYREF | VT_BOOL;
    arguments[0].pboolVal = &cancel;
    arguments[1].vt = VT_BYREF | VT_DISPATCH;
    arguments[1].ppdispVal = &answer;
    fire(DISPID_NEWWINDOW2, arguments, 2);
    const auto other = win32::ComPtr<IDispatch>::adopt(answer);
    log(name_ + L" NewWindow2 returned ppDisp " + (other ? L"set" : L"null") + L" Cancel " +
        std::to_wstring(cancel));
    const auto browser = other.as<IWebBrowser2>(IID_IWebBrowser2);
    if (!browser || cancel != VARIANT_FALSE) return;
    win32::Variant address, empty;
    address->vt = VT_BSTR;
    address->bstrVal = ::SysAllocString(target.c_str());
    browser->Navigate2(address.get(), empty.get(), empty.get(), empty.get(), empty.get());
  }

  // A box of the control's own over the host's window: modal, so the host's other windows must wait
  // (EnableModeless) until it goes, unless the control leaves that unsaid this once.
  int modal_box(const wchar_t* text, const wchar_t* title, UINT buttons) {
    const bool announced = std::exchange(announce_dialog_, true);
    const auto frame = win32::ComPtr<IOleInPlaceFrame>::share(frame_.get());
    busy_ = true;
    if (frame && announced) frame->EnableModeless(FALSE);
    const int answer = ::MessageBoxW(::GetAncestor(window_, GA_ROOT), text, title, buttons);
    if (frame && announced) frame->EnableModeless(TRUE);
    busy_ = false;
    return answer;
  }

  // The print dialog. The page prints through its template from before the dialog until the page
  // has printed. True when the user confirmed.
  bool print_dialog() {
    const bool slowly = std::exchange(print_slowly_, false);
    AddRef();  // the host may let go of the control while the page prints
    printing_ = true;
    print_template(DISPID_PRINTTEMPLATEINSTANTIATION, L"PrintTemplateInstantiation");
    const int answer = modal_box(L"Stampa", L"Stampa", MB_OKCANCEL);
    log(name_ + L" print dialog closed " + (answer == IDOK ? L"OK" : L"Cancel"));
    if (answer != IDOK || !slowly) finish_printing();
    return answer == IDOK;
  }

  void print_step() {
    if (closed_ || prints_queued_ == 0) return;
    --prints_queued_;
    print_dialog();
  }

  void alert() {
    modal_box(L"Avviso della pagina", L"Messaggio dalla pagina Web", MB_OK);
    log(name_ + L" alert closed");
  }

  // window.close(). A pop-up opened for a page (registered as a browser) goes without asking.
  void close_window() {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANTARG arguments[2]{};
    arguments[0].vt = VT_BYREF | VT_BOOL;
    arguments[0].pboolVal = &cancel;
    arguments[1].vt = VT_BOOL;
    arguments[1].boolVal = register_as_browser_;
    fire(DISPID_WINDOWCLOSING, arguments, 2);
    log(name_ + L" WindowClosing returned Cancel " + std::to_wstring(cancel));
    if (cancel != VARIANT_FALSE) return;
    if (!register_as_browser_ &&
        modal_box(
            L"La pagina Web visualizzata sta tentando di chiudere la finestra.\n\nChiudere la finestra?",
            L"Internet Explorer", MB_YESNO) != IDYES)
      return;
    log(name_ + L" destroyed its own window");
    ::DestroyWindow(std::exchange(window_, nullptr));
  }

  void script_error() {
    const auto target = site_.as<IOleCommandTarget>(IID_IOleCommandTarget);
    win32::Variant document, go_on;
    document->vt = VT_UNKNOWN;
    document->punkVal = static_cast<IOleObject*>(this);
    AddRef();
    const HRESULT hr = target ? target->Exec(&kDocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR, 0,
                                             document.get(), go_on.get())
                              : E_NOINTERFACE;
    log(name_ + L" script error: host " + hex(hr) + L" " + describe(go_on.get()));
    if (hr != S_OK)
      modal_box(L"Errore nella pagina. Continuare ad eseguire gli script?", L"Errore di script", MB_YESNO);
  }

  // Kept alive with the site the host let go of, for one more call to it.
  void keep_until_late_call() {
    AddRef();
    kept_ = this;
    ::SetTimer(nullptr, 0, kLateCallMs, &ScriptedBrowser::late_call);
  }

  static void CALLBACK late_call(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    ScriptedBrowser* self = std::exchange(kept_, nullptr);
    if (!self) return;
    const HRESULT hr = self->late_frame_ ? self->late_frame_->EnableModeless(FALSE) : E_UNEXPECTED;
    log(self->name_ + L" late EnableModeless(FALSE) " + hex(hr));
    self->late_frame_.reset();
    self->site_.reset();
    self->Release();
  }

  void finish_printing() {
    if (!printing_) return;
    printing_ = false;
    print_template(DISPID_PRINTTEMPLATETEARDOWN, L"PrintTemplateTeardown");
    Release();
  }

  void print_template(DISPID id, const wchar_t* event) {
    VARIANTARG argument{};
    argument.vt = VT_DISPATCH;
    argument.pdispVal = static_cast<IWebBrowser2*>(this);
    const HRESULT hr = fire(id, &argument, 1);
    log(name_ + L" " + event + L" " + hex(hr));
  }

  static inline int made_ = 0;
  static inline ScriptedBrowser* kept_ = nullptr;
  const std::wstring name_;
  ULONG references_ = 1;
  win32::ComPtr<IOleClientSite> site_;
  win32::ComPtr<IOleInPlaceFrame> frame_;
  win32::ComPtr<IOleInPlaceFrame> late_frame_;
  win32::ComPtr<IDispatch> sink_;
  HWND window_ = nullptr;
  std::wstring url_;
  std::string page_;
  LPARAM navigation_ = 0;
  VARIANT_BOOL register_as_browser_ = VARIANT_FALSE;
  bool loaded_ = false;
  bool closed_ = false;
  bool busy_ = false;  // inside the print dialog
  bool printing_ = false;
  HRESULT print_answer_ = S_OK;
  bool print_slowly_ = false;
  bool announce_dialog_ = true;
  bool print_later_ = false;
  int prints_queued_ = 0;
  bool keep_site_ = false;
};

LRESULT CALLBACK ScriptedBrowser::window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  static const UINT new_window_request = ::RegisterWindowMessageW(L"ScriptedBrowser.NewWindow");
  static const UINT complete_request = ::RegisterWindowMessageW(L"ScriptedBrowser.Complete");
  static const UINT mark_request = ::RegisterWindowMessageW(L"ScriptedBrowser.Mark");
  static const UINT print_fails = ::RegisterWindowMessageW(L"ScriptedBrowser.PrintFails");
  static const UINT print_slowly = ::RegisterWindowMessageW(L"ScriptedBrowser.PrintSlowly");
  static const UINT print_done = ::RegisterWindowMessageW(L"ScriptedBrowser.PrintDone");
  static const UINT dialog_unannounced = ::RegisterWindowMessageW(L"ScriptedBrowser.DialogUnannounced");
  static const UINT print_later = ::RegisterWindowMessageW(L"ScriptedBrowser.PrintLater");
  static const UINT alert = ::RegisterWindowMessageW(L"ScriptedBrowser.Alert");
  static const UINT close_window = ::RegisterWindowMessageW(L"ScriptedBrowser.CloseWindow");
  static const UINT script_error = ::RegisterWindowMessageW(L"ScriptedBrowser.ScriptError");
  static const UINT keep_site = ::RegisterWindowMessageW(L"ScriptedBrowser.KeepSite");
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<ScriptedBrowser*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self || message == WM_NCDESTROY) return ::DefWindowProcW(window, message, wparam, lparam);
  if (message == kLoadStep) self->load_step(wparam, lparam);
  if (message == new_window_request) self->new_window();
  if (message == complete_request) self->complete();
  if (message == mark_request) log(self->name_ + L" mark");
  if (message == print_fails) self->print_answer_ = static_cast<HRESULT>(static_cast<ULONG>(wparam));
  if (message == print_slowly) self->print_slowly_ = true;
  if (message == print_done) self->finish_printing();
  if (message == dialog_unannounced) self->announce_dialog_ = false;
  if (message == print_later) self->print_later_ = true;
  if (message == kPrintStep) self->print_step();
  if (message == alert) self->alert();
  if (message == close_window) self->close_window();
  if (message == script_error) self->script_error();
  if (message == keep_site) self->keep_site_ = true;
  if (message == WM_SETFOCUS) log(self->name_ + L" has the focus");
  if (message == WM_KEYDOWN) log(self->name_ + L" key " + hex(static_cast<long>(wparam)));
  return ::DefWindowProcW(window, message, wparam, lparam);
}

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory) ? this : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // static: never freed
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* browser = new ScriptedBrowser();  // its references own it
    const HRESULT hr = browser->QueryInterface(iid, out);
    browser->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

LSTATUS set_value(HKEY key, const wchar_t* name, const std::wstring& value) {
  return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

std::wstring get_value(HKEY key, const wchar_t* name) {
  wchar_t value[MAX_PATH] = L"";
  DWORD size = sizeof value - sizeof(wchar_t);
  return ::RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) ==
                 ERROR_SUCCESS
             ? value
             : L"";
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  this_module = instance;
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = &ScriptedBrowser::window_procedure;
  window_class.hInstance = instance;
  window_class.lpszClassName = kWindowClass;
  ::RegisterClassW(&window_class);
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID id, REFIID iid, void** out) {
  static Factory factory;
  if (!IsEqualCLSID(id, CLSID_WebBrowser)) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return S_FALSE;
}

// Takes the WebBrowser class over, keeping the registered server to give it back.
extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, kClassKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
    return SELFREG_E_CLASS;
  wchar_t module[MAX_PATH];
  ::GetModuleFileNameW(this_module, module, MAX_PATH);
  if (get_value(key, kSavedValue).empty()) set_value(key, kSavedValue, get_value(key, nullptr));
  const LSTATUS status = set_value(key, nullptr, module) | set_value(key, L"ThreadingModel", L"Apartment");
  ::RegCloseKey(key);
  return status == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, kClassKey, 0, KEY_ALL_ACCESS, &key)) return SELFREG_E_CLASS;
  const std::wstring saved = get_value(key, kSavedValue);
  if (!saved.empty()) set_value(key, nullptr, saved);
  ::RegDeleteValueW(key, kSavedValue);
  ::RegCloseKey(key);
  return S_OK;
}
