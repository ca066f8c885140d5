// window.external of every page: four members a page calls to talk to the launcher, and the
// ambient properties the control asks its site for. The notices go to the top-level window
// the page sits in (the frame, the main window or the popup itself), not to the web window.
//
// Page script is untrusted: arguments may be missing, of any type, null or very long.
#include "ui/BrowserParts.h"

namespace Volux {

namespace {

constexpr DISPID _GET_NEW_MSG = 8000;
constexpr DISPID _GET_GS_NAME = 8001;
constexpr DISPID _CONSOLE_MSG = 8002;
constexpr DISPID _IS_MC = 8003;
constexpr DISPID _AMBIENT_DOWNLOAD_CONTROL = -5512;

// DLCTL_DLIMAGES | DLCTL_VIDEOS | DLCTL_NO_DLACTIVEXCTLS, and DLCTL_NO_RUNACTIVEXCTLS with it.
constexpr LONG _DOWNLOAD_WITH_ACTIVE_CONTENT = 0x430;
constexpr LONG _DOWNLOAD_WITHOUT_ACTIVE_CONTENT = 0x630;

struct Member {
    const wchar_t* name;
    DISPID id;
};
constexpr Member _MEMBERS[] = {
    {L"ismc", _IS_MC}, {L"getNewMsg", _GET_NEW_MSG}, {L"getGsName", _GET_GS_NAME}, {L"consoleMsg", _CONSOLE_MSG}};

// Names from script are NUL-terminated but of any length: compared only up to the longest member.
bool SameName(const wchar_t* name, const wchar_t* member) {
    for (int i = 0; i < 32; i++) {
        if (name[i] != member[i])
            return false;
        if (name[i] == 0)
            return true;
    }
    return false;
}

} // namespace

WString VariantText(const VARIANT* value, int limit) {
    if (value == nullptr || limit <= 0)
        return WString();
    const VARIANT* source = value;
    VARIANT converted;
    VariantInit(&converted);
    if (source->vt == (VT_BYREF | VT_VARIANT) && source->pvarVal != nullptr)
        source = source->pvarVal;
    // A reference to nothing is no value; the conversion below is never asked to follow it.
    if ((source->vt & VT_BYREF) != 0 && source->byref == nullptr)
        return WString();
    BSTR text = nullptr;
    if (source->vt == VT_BSTR) {
        text = source->bstrVal;
    } else if (source->vt == (VT_BYREF | VT_BSTR) && source->pbstrVal != nullptr) {
        text = *source->pbstrVal;
    } else if (source->vt != VT_EMPTY && source->vt != VT_NULL &&
               SUCCEEDED(VariantChangeType(&converted, const_cast<VARIANT*>(source), 0, VT_BSTR)) &&
               converted.vt == VT_BSTR) {
        text = converted.bstrVal;
    }
    WString result;
    if (text != nullptr) {
        // A BSTR may hold NULs; the text ends at the first one.
        UINT length = SysStringLen(text);
        int count = 0;
        while (UINT(count) < length && count < limit && text[count] != 0)
            count++;
        result.Assign(reinterpret_cast<const char16_t*>(text), count);
    }
    VariantClear(&converted);
    return result;
}

WString FirstArgumentText(const DISPPARAMS* params, int limit) {
    if (params == nullptr || params->cArgs == 0 || params->rgvarg == nullptr)
        return WString();
    // Arguments are stored last first.
    return VariantText(&params->rgvarg[params->cArgs - 1], limit);
}

HRESULT STDMETHODCALLTYPE PageExternal::QueryInterface(REFIID iid, void** out) {
    if (mSiteIdentity)
        return mState->QuerySite(iid, out);
    if (out == nullptr)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
        *out = static_cast<IDispatch*>(this);
        mState->AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE PageExternal::AddRef() { return mState->AddRef(); }

ULONG STDMETHODCALLTYPE PageExternal::Release() { return mState->Release(); }

HRESULT STDMETHODCALLTYPE PageExternal::GetTypeInfoCount(UINT* count) {
    if (count == nullptr)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PageExternal::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE PageExternal::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (names == nullptr || ids == nullptr)
        return E_POINTER;
    HRESULT result = S_OK;
    // The first name is the member; the members take no named arguments.
    for (UINT i = 0; i < count; i++) {
        ids[i] = DISPID_UNKNOWN;
        if (i == 0 && names[0] != nullptr) {
            for (const Member& member : _MEMBERS) {
                if (SameName(names[0], member.name))
                    ids[0] = member.id;
            }
        }
        if (ids[i] == DISPID_UNKNOWN)
            result = DISP_E_UNKNOWNNAME;
    }
    return result;
}

HRESULT STDMETHODCALLTYPE PageExternal::Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                               EXCEPINFO*, UINT*) {
    HWND target = mState->window != nullptr ? GetAncestor(mState->window, GA_ROOT) : nullptr;
    switch (member) {
    case _IS_MC:
        if (result != nullptr) {
            VariantInit(result);
            result->vt = VT_BOOL;
            result->boolVal = VARIANT_TRUE;
        }
        return S_OK;
    case _GET_NEW_MSG:
        if (target != nullptr)
            SendMessageW(target, _WM_PAGE_NEW_MESSAGE, 0, 0);
        return S_OK;
    case _GET_GS_NAME:
    case _CONSOLE_MSG: {
        WString text = FirstArgumentText(params, _MAX_PAGE_TEXT);
        if (target != nullptr) {
            // The receiver reads the text during the call only.
            mState->AddRef();
            if (member == _GET_GS_NAME)
                SendMessageW(target, _WM_PAGE_TITLE, reinterpret_cast<WPARAM>(text.Text()), 1);
            else
                SendMessageW(target, _WM_PAGE_LOG, reinterpret_cast<WPARAM>(text.Text()), 0);
            mState->Release();
        }
        return S_OK;
    }
    case _AMBIENT_DOWNLOAD_CONTROL:
        if (result != nullptr) {
            VariantInit(result);
            result->vt = VT_I4;
            result->lVal = mState->activeContent ? _DOWNLOAD_WITH_ACTIVE_CONTENT : _DOWNLOAD_WITHOUT_ACTIVE_CONTENT;
        }
        return S_OK;
    default:
        return DISP_E_PARAMNOTOPTIONAL;
    }
}

} // namespace Volux
