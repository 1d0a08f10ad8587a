#include "launcher/win32/browser_host.h"

#include <exdispid.h>
#include <mshtmhst.h>
#include <ocidl.h>
#include <olectl.h>

#include <new>
#include <optional>
#include <utility>

#include "launcher/run_error.h"

namespace sorvanta::windows {

namespace {

// CGID_DocHostCommandHandler, which no import library defines: what the control asks its host.
constexpr GUID kDocHostCommandHandler{
    0xf38bc242, 0xb950, 0x11d1, {0x89, 0x18, 0x00, 0xc0, 0x4f, 0xc2, 0xc8, 0x36}};
// The control starts its print template at once, or a moment after ExecWB has returned; one that
// never comes must not keep the pop-up printing for good.
constexpr ULONGLONG kPrintStartMs = 30'000;

}  // namespace

void check(HRESULT hr) {
  if (FAILED(hr)) throw RunError(runtime::automation_error(hr));
}

// The one object the control sees as its container. Each COM interface it needs is a small class
// of its own that hands IUnknown back to the site, so the site answers for the one identity.
class BrowserHost::Site {
 public:
  Site(HWND parent, const RECT& rect, BrowserHostEvents& events)
      : parent_(parent), rect_(rect), events_(&events) {}
  Site(const Site&) = delete;
  Site& operator=(const Site&) = delete;

  IOleClientSite* client_site() { return &client_site_; }
  IDispatch* event_sink() { return &event_sink_; }
  ULONG references() const { return references_; }
  const RECT& rect() const { return rect_; }
  void set_rect(const RECT& rect) { rect_ = rect; }
  // From now on the control's events and requests reach nobody, and the host counts the modal loops
  // it has running as ended: their ends, when they come, are this site's alone.
  void unhook() {
    BrowserHostEvents* events = std::exchange(events_, nullptr);
    for (int loop = 0; events && loop < modal_loops_; ++loop) events->enable_modeless(true);
  }
  void print_issued() { print_issued_at_ = ::GetTickCount64(); }
  void print_refused() { print_issued_at_.reset(); }
  bool printing() const {
    return print_templates_ > 0 ||
           (print_issued_at_ && ::GetTickCount64() - *print_issued_at_ < kPrintStartMs);
  }
  bool busy() const { return modal_loops_ > 0 || printing(); }

 private:
  HRESULT query(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
      *out = static_cast<IOleClientSite*>(&client_site_);
    } else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite)) {
      *out = static_cast<IOleInPlaceSite*>(&in_place_site_);
    } else if (IsEqualIID(iid, IID_IOleInPlaceUIWindow) || IsEqualIID(iid, IID_IOleInPlaceFrame)) {
      *out = static_cast<IOleInPlaceFrame*>(&frame_);
    } else if (IsEqualIID(iid, IID_IDispatch)) {
      *out = static_cast<IDispatch*>(&ambient_);
    } else if (IsEqualIID(iid, IID_IDocHostUIHandler)) {
      *out = static_cast<IDocHostUIHandler*>(&ui_handler_);
    } else if (IsEqualIID(iid, IID_IOleCommandTarget)) {
      *out = static_cast<IOleCommandTarget*>(&command_target_);
    } else {
      return E_NOINTERFACE;
    }
    add_ref();
    return S_OK;
  }
  ULONG add_ref() { return ++references_; }
  ULONG release() { return --references_; }  // the host owns the site; the count only tells it

  // IUnknown of every part, answered by the site.
  template <class Interface>
  class Part : public Interface {
   public:
    explicit Part(Site& site) : site_(site) {}
    virtual ~Part() = default;
    Part(const Part&) = delete;
    Part& operator=(const Part&) = delete;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
      return site_.query(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return site_.add_ref(); }
    ULONG STDMETHODCALLTYPE Release() override { return site_.release(); }

   protected:
    Site& site_;
  };

  class ClientSite final : public Part<IOleClientSite> {
   public:
    using Part::Part;
    HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
      if (moniker) *moniker = nullptr;
      return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
      if (container) *container = nullptr;
      return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
  };

  class InPlaceSite final : public Part<IOleInPlaceSite> {
   public:
    using Part::Part;
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
      if (!window) return E_POINTER;
      *window = site_.parent_;
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                               LPRECT position, LPRECT clip,
                                               LPOLEINPLACEFRAMEINFO info) override {
      if (!frame || !document || !position || !clip || !info) return E_POINTER;
      *frame = &site_.frame_;
      site_.add_ref();
      *document = nullptr;
      *position = site_.rect_;
      *clip = site_.rect_;
      info->fMDIApp = FALSE;
      info->hwndFrame = ::GetAncestor(site_.parent_, GA_ROOT);
      info->haccel = nullptr;
      info->cAccelEntries = 0;
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
    // The control stays where the window puts it.
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }
  };

  // The window the control sits in, seen as its frame: no menus, toolbars or status bar to share.
  class InPlaceFrame final : public Part<IOleInPlaceFrame> {
   public:
    using Part::Part;
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
      if (!window) return E_POINTER;
      *window = ::GetAncestor(site_.parent_, GA_ROOT);
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return OLE_E_INVALIDRECT; }
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override { return site_.enable_modeless(enable); }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }
  };

  // A dispatch interface answering nothing by name: the ambient properties and the event sink.
  template <class Base>
  class Dispatch : public Base {
   public:
    using Base::Base;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
      if (count) *count = 0;
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
      if (info) *info = nullptr;
      return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
      return E_NOTIMPL;
    }
  };

  // The ambient properties the control reads from its site: it shows pages (user mode); every other
  // one is the control's own default.
  class AmbientProperties final : public Dispatch<Part<IDispatch>> {
   public:
    using Dispatch::Dispatch;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                                     EXCEPINFO*, UINT*) override {
      if (id != DISPID_AMBIENT_USERMODE || !(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
      if (!result) return E_POINTER;
      ::VariantInit(result);
      result->vt = VT_BOOL;
      result->boolVal = VARIANT_TRUE;
      return S_OK;
    }
  };

  // The page is told the program is DPI-aware; everything else (context menu, accelerators) is left
  // to the control: S_FALSE and E_NOTIMPL mean "do your default".
  class UiHandler final : public Part<IDocHostUIHandler> {
   public:
    using Part::Part;
    HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override {
      return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* info) override {
      if (!info) return E_POINTER;
      info->dwFlags = DOCHOSTUIFLAG_DPI_AWARE;
      info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                                     IOleInPlaceUIWindow*) override {
      return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE HideUI() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE UpdateUI() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override { return site_.enable_modeless(enable); }
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, const GUID*, DWORD) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* key, DWORD) override {
      if (key) *key = nullptr;
      return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget*, IDropTarget** target) override {
      if (target) *target = nullptr;
      return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** external) override {
      if (external) *external = nullptr;
      return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD, LPWSTR, LPWSTR* out) override {
      if (out) *out = nullptr;
      return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject*, IDataObject** out) override {
      if (out) *out = nullptr;
      return S_FALSE;
    }
  };

  // What the control asks its host to do: a script error in a page goes by without the control's own
  // box, the page's scripts going on; every other command is the control's own to do.
  class CommandTarget final : public Part<IOleCommandTarget> {
   public:
    using Part::Part;
    HRESULT STDMETHODCALLTYPE QueryStatus(const GUID* group, ULONG count, OLECMD* commands,
                                          OLECMDTEXT*) override {
      if (const HRESULT unknown = known(group); unknown != S_OK) return unknown;
      for (ULONG i = 0; commands && i < count; ++i) {
        commands[i].cmdf =
            commands[i].cmdID == OLECMDID_SHOWSCRIPTERROR ? OLECMDF_SUPPORTED | OLECMDF_ENABLED : 0;
      }
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Exec(const GUID* group, DWORD id, DWORD, VARIANT*, VARIANT* out) override {
      if (const HRESULT unknown = known(group); unknown != S_OK) return unknown;
      if (id != OLECMDID_SHOWSCRIPTERROR) return OLECMDERR_E_NOTSUPPORTED;
      if (out) {
        ::VariantClear(out);
        out->vt = VT_BOOL;
        out->boolVal = VARIANT_TRUE;  // go on running the page's scripts
      }
      return S_OK;
    }

   private:
    static HRESULT known(const GUID* group) {
      if (!group) return OLECMDERR_E_NOTSUPPORTED;
      return IsEqualGUID(*group, kDocHostCommandHandler) ? S_OK : OLECMDERR_E_UNKNOWNGROUP;
    }
  };

  // DWebBrowserEvents2, a dispatch interface: the control calls Invoke by DISPID. An object of its
  // own, so that the site's IDispatch stays the ambient properties.
  class EventSink final : public Dispatch<IDispatch> {
   public:
    explicit EventSink(Site& site) : site_(site) {}
    virtual ~EventSink() = default;
    EventSink(const EventSink&) = delete;
    EventSink& operator=(const EventSink&) = delete;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
      if (!out) return E_POINTER;
      const bool mine = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
                        IsEqualIID(iid, DIID_DWebBrowserEvents2);
      *out = mine ? this : nullptr;
      if (!mine) return E_NOINTERFACE;
      AddRef();
      return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return site_.add_ref(); }
    ULONG STDMETHODCALLTYPE Release() override { return site_.release(); }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
      // Counted also once nobody listens: the control must not go while its page prints.
      if (id == DISPID_PRINTTEMPLATEINSTANTIATION) {
        site_.print_issued_at_.reset();
        ++site_.print_templates_;
        return S_OK;
      }
      if (id == DISPID_PRINTTEMPLATETEARDOWN) {
        if (site_.print_templates_ > 0) --site_.print_templates_;
        return S_OK;
      }
      BrowserHostEvents* events = site_.events_;
      // window.close(): the control would destroy its window itself (asking first where the page had
      // not opened it), leaving an empty frame. Never; the host closes its window instead.
      if (id == DISPID_WINDOWCLOSING && params && params->cArgs >= 2 &&
          params->rgvarg[0].vt == (VT_BYREF | VT_BOOL)) {
        *params->rgvarg[0].pboolVal = VARIANT_TRUE;
        if (events) events->window_closing();
        return S_OK;
      }
      if (!params || !events) return S_OK;
      try {
        // Arguments arrive last first.
        if (id == DISPID_TITLECHANGE && params->cArgs >= 1 && params->rgvarg[0].vt == VT_BSTR) {
          const BSTR text = params->rgvarg[0].bstrVal;
          events->title_change(text ? std::wstring(text, ::SysStringLen(text)) : std::wstring());
        } else if (id == DISPID_NEWWINDOW2 && params->cArgs >= 2 &&
                   params->rgvarg[1].vt == (VT_BYREF | VT_DISPATCH) &&
                   params->rgvarg[0].vt == (VT_BYREF | VT_BOOL)) {
          events->new_window2(params->rgvarg[1].ppdispVal, params->rgvarg[0].pboolVal);
        }
      } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
      } catch (...) {
        return E_FAIL;  // nothing may cross back into the control
      }
      return S_OK;
    }

   private:
    Site& site_;
  };

  // The control's modal loops, counted here: an end without its start means nothing.
  HRESULT enable_modeless(BOOL enable) {
    if (enable && modal_loops_ == 0) return S_OK;
    modal_loops_ += enable ? -1 : 1;
    if (events_) events_->enable_modeless(enable != FALSE);
    return S_OK;
  }

  HWND parent_;
  RECT rect_;
  BrowserHostEvents* events_;
  ULONG references_ = 0;
  int modal_loops_ = 0;
  int print_templates_ = 0;
  std::optional<ULONGLONG> print_issued_at_;  // a print command whose template has not started yet
  ClientSite client_site_{*this};
  InPlaceSite in_place_site_{*this};
  InPlaceFrame frame_{*this};
  AmbientProperties ambient_{*this};
  UiHandler ui_handler_{*this};
  CommandTarget command_target_{*this};
  EventSink event_sink_{*this};
};

BrowserHost::BrowserHost(HWND parent, const RECT& rect, BrowserHostEvents& events)
    : parent_(parent), site_(std::make_unique<Site>(parent, rect, events)) {
  try {
    check(::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                             object_.put_void()));
    check(object_->SetClientSite(site_->client_site()));
    RECT position = rect;
    check(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_->client_site(), 0, parent, &position));
    browser_ = object_.as<IWebBrowser2>(IID_IWebBrowser2);
    in_place_ = object_.as<IOleInPlaceObject>(IID_IOleInPlaceObject);
    const auto container = object_.as<IConnectionPointContainer>(IID_IConnectionPointContainer);
    if (!browser_ || !in_place_ || !container) check(E_NOINTERFACE);
    check(container->FindConnectionPoint(DIID_DWebBrowserEvents2, event_source_.put()));
    check(event_source_->Advise(site_->event_sink(), &event_cookie_));
  } catch (...) {
    teardown();
    throw;
  }
}

BrowserHost::~BrowserHost() {
  teardown();
}

void BrowserHost::teardown() noexcept {
  // First: nothing the control calls from now on may reach the browser object, which goes next.
  if (site_) site_->unhook();
  if (event_source_ && event_cookie_ != 0) event_source_->Unadvise(event_cookie_);
  event_cookie_ = 0;
  event_source_.reset();
  if (in_place_) in_place_->InPlaceDeactivate();
  in_place_.reset();
  if (object_) {
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
  }
  browser_.reset();
  object_.reset();
  // A control that still holds the site after all this would call into freed memory: the site
  // outlives it instead.
  if (site_ && site_->references() != 0) static_cast<void>(site_.release());
}

void BrowserHost::move(const RECT& rect) {
  site_->set_rect(rect);
  if (in_place_) in_place_->SetObjectRects(&rect, &rect);
}

void BrowserHost::focus() {
  RECT position = site_->rect();
  const HRESULT hr =
      object_->DoVerb(OLEIVERB_UIACTIVATE, nullptr, site_->client_site(), 0, parent_, &position);
  if (SUCCEEDED(hr) && owns(::GetFocus())) return;
  // A control without a page to activate (still loading, or no HTML engine) takes the keyboard into
  // its own window, so the page gets it when it comes; failing that too, the focus stays where it was.
  HWND control = nullptr;
  if (SUCCEEDED(in_place_->GetWindow(&control)) && control) ::SetFocus(control);
}

void BrowserHost::unhook() {
  site_->unhook();
}

HRESULT BrowserHost::print(OLECMDEXECOPT option, VARIANT* in, VARIANT* out) {
  site_->print_issued();
  const HRESULT hr = browser_->ExecWB(OLECMDID_PRINT, option, in, out);
  if (FAILED(hr)) site_->print_refused();
  return hr;
}

bool BrowserHost::translate_accelerator(MSG& message) {
  const auto active = browser_.as<IOleInPlaceActiveObject>(IID_IOleInPlaceActiveObject);
  return active && active->TranslateAccelerator(&message) == S_OK;
}

bool BrowserHost::printing() const {
  return site_->printing();
}

bool BrowserHost::busy() const {
  return site_->busy();
}

bool BrowserHost::owns(HWND window) const {
  HWND control = nullptr;
  if (!in_place_ || FAILED(in_place_->GetWindow(&control)) || !control) return false;
  return window == control || ::IsChild(control, window);
}

}  // namespace sorvanta::windows
