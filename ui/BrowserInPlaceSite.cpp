// In-place activation of the control in the web window: the site side.
#include "ui/BrowserParts.h"

namespace Volux {

VOLUX_SITE_UNKNOWN(BrowserInPlaceSite)

HRESULT STDMETHODCALLTYPE BrowserInPlaceSite::GetWindow(HWND* window) {
    if (window == nullptr)
        return E_POINTER;
    *window = mState->window;
    return mState->window != nullptr ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE BrowserInPlaceSite::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE BrowserInPlaceSite::CanInPlaceActivate() { return S_OK; }

HRESULT STDMETHODCALLTYPE BrowserInPlaceSite::OnInPlaceActivate() { return S_OK; }

HRESULT STDMETHODCALLTYPE BrowserInPlaceSite::OnUIActivate() { return S_OK; }

// The control sits in the whole client area, under the host's frame, with no document window
// and no accelerators of the host's own.
HRESULT STDMETHODCALLTYPE BrowserInPlaceSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                                               LPRECT position, LPRECT clip,
                                                               LPOLEINPLACEFRAMEINFO info) {
    if (frame == nullptr || document == nullptr)
        return E_POINTER;
    *frame = &mState->inPlaceFrame;
    mState->AddRef();
    *document = nullptr;
    RECT client = {};
    if (mState->window != nullptr)
        GetClientRect(mState->window, &client);
    if (position != nullptr)
        *position = client;
    if (clip != nullptr)
        *clip = client;
    if (info != nullptr) {
        info->fMDIApp = FALSE;
        info->hwndFrame = mState->window;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BrowserInPlaceSite::Scroll(SIZE) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE BrowserInPlaceSite::OnUIDeactivate(BOOL) { return S_OK; }

HRESULT STDMETHODCALLTYPE BrowserInPlaceSite::OnInPlaceDeactivate() { return S_OK; }

HRESULT STDMETHODCALLTYPE BrowserInPlaceSite::DiscardUndoState() { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE BrowserInPlaceSite::DeactivateAndUndo() { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE BrowserInPlaceSite::OnPosRectChange(LPCRECT position) {
    if (position == nullptr)
        return E_POINTER;
    if (mState->object == nullptr)
        return S_OK;
    IOleInPlaceObject* inPlace = nullptr;
    if (SUCCEEDED(mState->object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace))) &&
        inPlace != nullptr) {
        inPlace->SetObjectRects(position, position);
        inPlace->Release();
    }
    return S_OK;
}

} // namespace Volux
