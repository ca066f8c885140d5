// The page document over the control's IWebBrowser2: navigation, ready state, address, form
// fields and reload. What a page holds is untrusted: every text read from it is cut to its
// ceiling, and walks over its forms and frames are bounded.
#include "ui/BrowserParts.h"

#include <mshtml.h>
#include <servprov.h>

#include "Common/Log.h"

namespace Volux {

namespace {

// Frames read below each window, and how deep frames within frames are followed.
constexpr long _MAX_FRAMES = 5;
constexpr int _MAX_FRAME_DEPTH = 4;
// Forms per document and elements per form looked at; the buffer ceiling ends it sooner.
constexpr long _MAX_FORMS = 256;
constexpr long _MAX_ELEMENTS = 1024;

// The position argument of a collection's item().
VARIANT IndexVariant(long i) {
    VARIANT index;
    VariantInit(&index);
    index.vt = VT_I4;
    index.lVal = i;
    return index;
}

WString BstrText(BSTR text, int limit) {
    VARIANT value;
    value.vt = VT_BSTR;
    value.bstrVal = text;
    return VariantText(&value, limit);
}

WString Attribute(IHTMLElement* element, const wchar_t* name) {
    BSTR attribute = SysAllocString(name);
    if (attribute == nullptr)
        return WString();
    VARIANT value;
    VariantInit(&value);
    WString text;
    if (SUCCEEDED(element->getAttribute(attribute, 0, &value)))
        text = VariantText(&value, _MAX_FORM_FIELDS);
    VariantClear(&value);
    SysFreeString(attribute);
    return text;
}

// Appends "name\nvalue\n" while the buffer has room; false once it is full.
bool AppendField(WString& out, const WString& name, const WString& value) {
    if (out.Length() + name.Length() + value.Length() + 2 > _MAX_FORM_FIELDS)
        return false;
    out.Append(name);
    out.AppendChar(u'\n');
    out.Append(value);
    out.AppendChar(u'\n');
    return true;
}

bool CollectForm(IHTMLFormElement* form, WString& out) {
    long count = 0;
    if (FAILED(form->get_length(&count)))
        return true;
    if (count > _MAX_ELEMENTS)
        count = _MAX_ELEMENTS;
    for (long i = 0; i < count; i++) {
        VARIANT index = IndexVariant(i);
        VARIANT unused;
        VariantInit(&unused);
        IDispatch* item = nullptr;
        if (FAILED(form->item(index, unused, &item)) || item == nullptr)
            continue;
        IHTMLElement* element = nullptr;
        bool room = true;
        if (SUCCEEDED(item->QueryInterface(IID_IHTMLElement, reinterpret_cast<void**>(&element))) && element != nullptr) {
            room = AppendField(out, Attribute(element, L"name"), Attribute(element, L"value"));
            element->Release();
        }
        item->Release();
        if (!room)
            return false;
    }
    return true;
}

IHTMLDocument2* FrameDocument(IHTMLWindow2* window) {
    IHTMLDocument2* document = nullptr;
    if (SUCCEEDED(window->get_document(&document)) && document != nullptr)
        return document;
    // A frame of another site refuses direct access; its browser still hands out the document.
    IServiceProvider* provider = nullptr;
    if (FAILED(window->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(&provider))) || provider == nullptr)
        return nullptr;
    IWebBrowser2* browser = nullptr;
    provider->QueryService(IID_IWebBrowserApp, IID_IWebBrowser2, reinterpret_cast<void**>(&browser));
    provider->Release();
    if (browser == nullptr)
        return nullptr;
    IDispatch* dispatch = nullptr;
    if (SUCCEEDED(browser->get_Document(&dispatch)) && dispatch != nullptr) {
        dispatch->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&document));
        dispatch->Release();
    }
    browser->Release();
    return document;
}

bool CollectDocument(IHTMLDocument2* document, WString& out, int depth) {
    IHTMLElementCollection* forms = nullptr;
    if (SUCCEEDED(document->get_forms(&forms)) && forms != nullptr) {
        long count = 0;
        forms->get_length(&count);
        if (count > _MAX_FORMS)
            count = _MAX_FORMS;
        bool room = true;
        for (long i = 0; i < count && room; i++) {
            VARIANT index = IndexVariant(i);
            VARIANT unused;
            VariantInit(&unused);
            IDispatch* item = nullptr;
            if (FAILED(forms->item(index, unused, &item)) || item == nullptr)
                continue;
            IHTMLFormElement* form = nullptr;
            if (SUCCEEDED(item->QueryInterface(IID_IHTMLFormElement, reinterpret_cast<void**>(&form))) && form != nullptr) {
                room = CollectForm(form, out);
                form->Release();
            }
            item->Release();
        }
        forms->Release();
        if (!room)
            return false;
    }
    if (depth >= _MAX_FRAME_DEPTH)
        return true;
    IHTMLFramesCollection2* frames = nullptr;
    if (FAILED(document->get_frames(&frames)) || frames == nullptr)
        return true;
    long count = 0;
    frames->get_length(&count);
    if (count > _MAX_FRAMES)
        count = _MAX_FRAMES;
    bool room = true;
    for (long i = 0; i < count && room; i++) {
        VARIANT index = IndexVariant(i);
        VARIANT frame;
        VariantInit(&frame);
        if (SUCCEEDED(frames->item(&index, &frame)) && frame.vt == VT_DISPATCH && frame.pdispVal != nullptr) {
            IHTMLWindow2* window = nullptr;
            if (SUCCEEDED(frame.pdispVal->QueryInterface(IID_IHTMLWindow2, reinterpret_cast<void**>(&window))) &&
                window != nullptr) {
                IHTMLDocument2* inner = FrameDocument(window);
                if (inner != nullptr) {
                    room = CollectDocument(inner, out, depth + 1);
                    inner->Release();
                }
                window->Release();
            }
        }
        VariantClear(&frame);
    }
    frames->Release();
    return room;
}

} // namespace

int BrowserDocument::Navigate(const char16_t* url) {
    if (mState->object == nullptr) {
        PrintLine(u"[MC] Navigate without a browser control");
        return -1;
    }
    if (mState->browser == nullptr) {
        PrintLine(u"[MC] Navigate without IWebBrowser2");
        return -5;
    }
    VARIANT address;
    VariantInit(&address);
    address.vt = VT_BSTR;
    address.bstrVal = SysAllocString(reinterpret_cast<const OLECHAR*>(NonNull(url)));
    if (address.bstrVal == nullptr) {
        PrintLine(u"[MC] Navigate: no memory for the address");
        return -6;
    }
    VARIANT empty;
    VariantInit(&empty);
    HRESULT result = mState->browser->Navigate2(&address, &empty, &empty, &empty, &empty);
    VariantClear(&address);
    if (FAILED(result))
        PrintLine(u"[MC] Navigate to %ls refused, 0x%x", NonNull(url), unsigned(result));
    return 0;
}

bool BrowserDocument::IsReady() {
    READYSTATE state = READYSTATE_UNINITIALIZED;
    return mState->browser != nullptr && SUCCEEDED(mState->browser->get_ReadyState(&state)) &&
           state == READYSTATE_COMPLETE;
}

WString BrowserDocument::Location() {
    if (mState->browser == nullptr)
        return WString();
    BSTR location = nullptr;
    if (FAILED(mState->browser->get_LocationURL(&location)))
        return WString();
    WString text = BstrText(location, _MAX_PAGE_LOCATION);
    SysFreeString(location);
    return text;
}

WString BrowserDocument::FormFields() {
    WString fields;
    if (mState->browser == nullptr)
        return fields;
    IDispatch* dispatch = nullptr;
    if (FAILED(mState->browser->get_Document(&dispatch)) || dispatch == nullptr)
        return fields;
    IHTMLDocument2* document = nullptr;
    if (SUCCEEDED(dispatch->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&document))) &&
        document != nullptr) {
        CollectDocument(document, fields, 0);
        document->Release();
    }
    dispatch->Release();
    return fields;
}

bool BrowserDocument::Reload() { return mState->browser != nullptr && SUCCEEDED(mState->browser->Refresh()); }

} // namespace Volux
