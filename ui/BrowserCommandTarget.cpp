// Commands the control asks the host about: its script-error dialog and page message boxes.
#include "ui/BrowserParts.h"

namespace Volux {

namespace {

// "Not handled here": the control goes on with its own default. Written as the number, since
// mingw's OLECMDERR_E_NOTSUPPORTED is 0x80040100, which the control does not take for this.
const HRESULT _NOT_HANDLED = HRESULT(0x80040104);

} // namespace

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
        return mState->pageMessages ? S_OK : _NOT_HANDLED;
    default:
        return _NOT_HANDLED;
    }
}

} // namespace Volux
