// The control's DWebBrowserEvents2 arrive here and go on to the web window as private
// messages numbered WM_USER + the event's DISPID; the window keeps the page state.
#include "ui/BrowserParts.h"

namespace Volux {

HRESULT STDMETHODCALLTYPE BrowserEventSink::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, DIID_DWebBrowserEvents2)) {
        *out = static_cast<IDispatch*>(this);
        mState->AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE BrowserEventSink::AddRef() { return mState->AddRef(); }

ULONG STDMETHODCALLTYPE BrowserEventSink::Release() { return mState->Release(); }

HRESULT STDMETHODCALLTYPE BrowserEventSink::GetTypeInfoCount(UINT* count) {
    if (count == nullptr)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BrowserEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE BrowserEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE BrowserEventSink::Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                                   EXCEPINFO*, UINT*) {
    switch (member) {
    case 250:  // BeforeNavigate2
    case 252:  // NavigateComplete2
    case 259:  // DocumentComplete
    case 271:  // NavigateError
    case 290:  // the page is about to run its scripts: it is "done"
        if (mState->window != nullptr) {
            // The window's hooks may destroy the page, and the host with it, meanwhile.
            mState->AddRef();
            SendMessageW(mState->window, WM_USER + UINT(member), 0, 0);
            mState->Release();
        }
        break;
    default:
        break;
    }
    return S_OK;
}

} // namespace Volux
