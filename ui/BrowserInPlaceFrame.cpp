// The frame the control is activated under: the web window again. It keeps the control's
// in-place active object, through which key messages reach the control.
#include "ui/BrowserParts.h"

namespace Volux {

HRESULT STDMETHODCALLTYPE BrowserInPlaceFrame::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceUIWindow) ||
        IsEqualIID(iid, IID_IOleInPlaceFrame)) {
        *out = static_cast<IOleInPlaceFrame*>(this);
        mState->AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE BrowserInPlaceFrame::AddRef() { return mState->AddRef(); }

ULONG STDMETHODCALLTYPE BrowserInPlaceFrame::Release() { return mState->Release(); }

HRESULT STDMETHODCALLTYPE BrowserInPlaceFrame::GetWindow(HWND* window) {
    if (window == nullptr)
        return E_POINTER;
    *window = mState->window;
    return mState->window != nullptr ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE BrowserInPlaceFrame::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE BrowserInPlaceFrame::GetBorder(LPRECT) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE BrowserInPlaceFrame::RequestBorderSpace(LPCBORDERWIDTHS) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE BrowserInPlaceFrame::SetBorderSpace(LPCBORDERWIDTHS) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE BrowserInPlaceFrame::SetActiveObject(IOleInPlaceActiveObject* active, LPCOLESTR) {
    // After Close the host holds nothing of the control any more.
    if (active != nullptr && mState->object == nullptr)
        return S_OK;
    if (active != nullptr)
        active->AddRef();
    IOleInPlaceActiveObject* previous = mState->activeObject;
    mState->activeObject = active;
    if (previous != nullptr)
        previous->Release();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BrowserInPlaceFrame::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE BrowserInPlaceFrame::SetMenu(HMENU, HOLEMENU, HWND) { return S_OK; }

HRESULT STDMETHODCALLTYPE BrowserInPlaceFrame::RemoveMenus(HMENU) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE BrowserInPlaceFrame::SetStatusText(LPCOLESTR) { return S_OK; }

HRESULT STDMETHODCALLTYPE BrowserInPlaceFrame::EnableModeless(BOOL) { return S_OK; }

HRESULT STDMETHODCALLTYPE BrowserInPlaceFrame::TranslateAccelerator(LPMSG, WORD) { return E_NOTIMPL; }

} // namespace Volux
