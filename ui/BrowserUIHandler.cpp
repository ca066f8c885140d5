// What the control asks of its host about the page's surroundings: borders and scroll bars,
// the context menu, keys it may take, and the object pages reach as window.external.
#include "ui/BrowserParts.h"

namespace Volux {

namespace {

// DOCHOSTUIFLAG_NO3DBORDER, and with it DOCHOSTUIFLAG_SCROLL_NO.
constexpr DWORD _FLAGS_WITH_SCROLL_BARS = 0x4;
constexpr DWORD _FLAGS_WITHOUT_SCROLL_BARS = 0xC;

} // namespace

VOLUX_SITE_UNKNOWN(BrowserUIHandler)

// S_FALSE lets the control show its own menu; S_OK tells it the host has handled it.
HRESULT STDMETHODCALLTYPE BrowserUIHandler::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) {
    return mState->contextMenu ? S_FALSE : S_OK;
}

HRESULT STDMETHODCALLTYPE BrowserUIHandler::GetHostInfo(DOCHOSTUIINFO* info) {
    if (info == nullptr)
        return E_POINTER;
    info->dwFlags = mState->scrollBars ? _FLAGS_WITH_SCROLL_BARS : _FLAGS_WITHOUT_SCROLL_BARS;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BrowserUIHandler::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*,
                                                   IOleInPlaceFrame*, IOleInPlaceUIWindow*) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BrowserUIHandler::HideUI() { return S_OK; }

HRESULT STDMETHODCALLTYPE BrowserUIHandler::UpdateUI() { return S_OK; }

HRESULT STDMETHODCALLTYPE BrowserUIHandler::EnableModeless(BOOL) { return S_OK; }

HRESULT STDMETHODCALLTYPE BrowserUIHandler::OnDocWindowActivate(BOOL) { return S_OK; }

HRESULT STDMETHODCALLTYPE BrowserUIHandler::OnFrameWindowActivate(BOOL) { return S_OK; }

HRESULT STDMETHODCALLTYPE BrowserUIHandler::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }

// Backspace would go back a page and Left/Right would leave it in some documents: the game
// keeps these keys. S_OK tells the control the key is handled.
HRESULT STDMETHODCALLTYPE BrowserUIHandler::TranslateAccelerator(LPMSG message, const GUID*, DWORD) {
    if (message != nullptr && message->message == WM_KEYDOWN &&
        (message->wParam == VK_BACK || message->wParam == VK_LEFT || message->wParam == VK_RIGHT))
        return S_OK;
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE BrowserUIHandler::GetOptionKeyPath(LPOLESTR* key, DWORD) {
    if (key != nullptr)
        *key = nullptr;
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE BrowserUIHandler::GetDropTarget(IDropTarget*, IDropTarget** target) {
    if (target != nullptr)
        *target = nullptr;
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE BrowserUIHandler::GetExternal(IDispatch** external) {
    if (external == nullptr)
        return E_POINTER;
    *external = &mState->external;
    mState->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BrowserUIHandler::TranslateUrl(DWORD, LPWSTR, LPWSTR* translated) {
    if (translated != nullptr)
        *translated = nullptr;
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE BrowserUIHandler::FilterDataObject(IDataObject*, IDataObject** filtered) {
    if (filtered != nullptr)
        *filtered = nullptr;
    return S_FALSE;
}

} // namespace Volux
