// Commands the control asks the host about: its script-error dialog and page message boxes.
#include "ui/BrowserParts.h"

namespace Volux {

VOLUX_SITE_UNKNOWN(BrowserCommandTarget)

HRESULT STDMETHODCALLTYPE BrowserCommandTarget::QueryStatus(const GUID*, ULONG, OLECMD*, OLECMDTEXT*) {
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE BrowserCommandTarget::Exec(const GUID*, DWORD command, DWORD, VARIANT*, VARIANT* out) {
    switch (command) {
    case OLECMDID_SHOWSCRIPTERROR:
        // True means "go on running scripts" and no dialog is raised.
        if (out != nullptr) {
            VariantClear(out);
            out->vt = VT_BOOL;
            out->boolVal = VARIANT_TRUE;
        }
        return S_OK;
    case OLECMDID_SHOWMESSAGE:
        return mState->pageMessages ? S_OK : OLECMDERR_E_NOTSUPPORTED;
    default:
        return OLECMDERR_E_NOTSUPPORTED;
    }
}

} // namespace Volux
