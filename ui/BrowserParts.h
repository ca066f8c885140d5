// Inside the browser host: the shared state and one small COM class per interface the
// control talks to. Only the host's own files include this.
//
// Identity: the client site, in-place site, UI handler, command target and ambient-property
// dispatch are one COM object (the "site"): each answers QueryInterface through the state's
// site table, and IUnknown is always the client site. The in-place frame, the event sink and
// window.external are objects of their own, each answering only for its own interfaces.
// Every piece counts its references on the state, so the memory stays while any piece is held.
#pragma once

#include <windows.h>

#include <ole2.h>
#include <docobj.h>
#include <exdisp.h>
#include <mshtmhst.h>
#include <ocidl.h>

#include "Common/WString.h"
#include "ui/WebWindow.h"

namespace Volux {

struct BrowserHostState;

// Longest text taken from a page for a title or a log line.
constexpr int _MAX_PAGE_TEXT = 1024;

// A page's argument as text: a BSTR as it is, other types converted where OLE can, anything
// else empty; cut to `limit` characters. Never fails on what a page may pass.
WString VariantText(const VARIANT* value, int limit);
// The first argument of a script call, empty when there is none.
WString FirstArgumentText(const DISPPARAMS* params, int limit);

class BrowserClientSite : public IOleClientSite {
public:
    explicit BrowserClientSite(BrowserHostState* state) : mState(state) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE SaveObject() override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override;
    HRESULT STDMETHODCALLTYPE ShowObject() override;
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override;
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override;

private:
    BrowserHostState* mState;
};

class BrowserInPlaceSite : public IOleInPlaceSite {
public:
    explicit BrowserInPlaceSite(BrowserHostState* state) : mState(state) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override;
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnUIActivate() override;
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                               LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override;
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override;
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override;
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT position) override;

private:
    BrowserHostState* mState;
};

class BrowserInPlaceFrame : public IOleInPlaceFrame {
public:
    explicit BrowserInPlaceFrame(BrowserHostState* state) : mState(state) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override;
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override;
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override;
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override;
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* active, LPCOLESTR) override;
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override;
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override;
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override;
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override;

private:
    BrowserHostState* mState;
};

class BrowserUIHandler : public IDocHostUIHandler {
public:
    explicit BrowserUIHandler(BrowserHostState* state) : mState(state) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override;
    HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* info) override;
    HRESULT STDMETHODCALLTYPE ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                                     IOleInPlaceUIWindow*) override;
    HRESULT STDMETHODCALLTYPE HideUI() override;
    HRESULT STDMETHODCALLTYPE UpdateUI() override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message, const GUID*, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* key, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget*, IDropTarget** target) override;
    HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** external) override;
    HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD, LPWSTR, LPWSTR* translated) override;
    HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject*, IDataObject** filtered) override;

private:
    BrowserHostState* mState;
};

class BrowserCommandTarget : public IOleCommandTarget {
public:
    explicit BrowserCommandTarget(BrowserHostState* state) : mState(state) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE QueryStatus(const GUID*, ULONG, OLECMD*, OLECMDTEXT*) override;
    HRESULT STDMETHODCALLTYPE Exec(const GUID*, DWORD command, DWORD, VARIANT*, VARIANT* out) override;

private:
    BrowserHostState* mState;
};

class BrowserEventSink : public IDispatch {
public:
    explicit BrowserEventSink(BrowserHostState* state) : mState(state) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override;

private:
    BrowserHostState* mState;
};

// window.external, and the same answers as the site's ambient-property dispatch. With
// `siteIdentity` set the object is the site's IDispatch and answers QueryInterface as the
// site; otherwise it is an object of its own.
class PageExternal : public IDispatch {
public:
    PageExternal(BrowserHostState* state, bool siteIdentity) : mState(state), mSiteIdentity(siteIdentity) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT*) override;

private:
    BrowserHostState* mState;
    bool mSiteIdentity;
};

// The page document over the control's IWebBrowser2.
class BrowserDocument : public PageDocument {
public:
    explicit BrowserDocument(BrowserHostState* state) : mState(state) {}
    int Navigate(const char16_t* url) override;
    bool IsReady() override;
    WString Location() override;
    WString FormFields() override;
    bool Reload() override;

private:
    BrowserHostState* mState;
};

struct BrowserHostState {
    explicit BrowserHostState(HWND hostWindow);

    ULONG AddRef();
    ULONG Release();
    // QueryInterface of the site object (see the top of this file).
    HRESULT QuerySite(REFIID iid, void** out);
    // Lets the control go: events disconnected, in-place object deactivated, closed, released.
    // The window is forgotten, so late calls of the control reach nothing.
    void Close();

    ULONG references = 1;  // the owner's, dropped by BrowserHost::Destroy
    HWND window;
    IOleObject* object = nullptr;
    IWebBrowser2* browser = nullptr;
    IOleInPlaceActiveObject* activeObject = nullptr;
    IConnectionPoint* eventPoint = nullptr;
    DWORD eventCookie = 0;
    int scrollBars = 1;
    int activeContent = 1;
    int pageMessages = 1;
    int contextMenu = 1;

    BrowserClientSite clientSite;
    BrowserInPlaceSite inPlaceSite;
    BrowserInPlaceFrame inPlaceFrame;
    BrowserUIHandler uiHandler;
    BrowserCommandTarget commandTarget;
    PageExternal ambient;
    PageExternal external;
    BrowserEventSink eventSink;
    BrowserDocument document;
};

// Answers for the site's pieces: forward to the state.
#define VOLUX_SITE_UNKNOWN(Class)                                                                        \
    HRESULT STDMETHODCALLTYPE Class::QueryInterface(REFIID iid, void** out) { return mState->QuerySite(iid, out); } \
    ULONG STDMETHODCALLTYPE Class::AddRef() { return mState->AddRef(); }                                  \
    ULONG STDMETHODCALLTYPE Class::Release() { return mState->Release(); }

} // namespace Volux
