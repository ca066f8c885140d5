// The control's client site: the root of the site object (see BrowserParts.h).
#include "ui/BrowserParts.h"

namespace Volux {

VOLUX_SITE_UNKNOWN(BrowserClientSite)

HRESULT STDMETHODCALLTYPE BrowserClientSite::SaveObject() { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE BrowserClientSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker != nullptr)
        *moniker = nullptr;
    return E_NOTIMPL;
}

// The page has no container to walk: it is alone in its window.
HRESULT STDMETHODCALLTYPE BrowserClientSite::GetContainer(IOleContainer** container) {
    if (container != nullptr)
        *container = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE BrowserClientSite::ShowObject() { return S_OK; }

HRESULT STDMETHODCALLTYPE BrowserClientSite::OnShowWindow(BOOL) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE BrowserClientSite::RequestNewObjectLayout() { return E_NOTIMPL; }

} // namespace Volux
