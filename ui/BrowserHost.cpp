#include "ui/BrowserHost.h"

#include <stdint.h>

#include "Common/Log.h"
#include "ui/BrowserParts.h"

namespace Volux {

namespace {

// Each made interface is released at most once, through here.
template <class T>
void ReleaseInterface(T*& pointer) {
    if (pointer != nullptr) {
        T* held = pointer;
        pointer = nullptr;
        held->Release();
    }
}

bool Failed(HRESULT result, const char16_t* step, HWND window) {
    if (SUCCEEDED(result))
        return false;
    PrintLine(u"[MC] Browser control in window 0x%x: %ls failed, 0x%x", unsigned(uintptr_t(window)), step,
              unsigned(result));
    return true;
}

} // namespace

BrowserHostState::BrowserHostState(HWND hostWindow)
    : window(hostWindow), clientSite(this), inPlaceSite(this), inPlaceFrame(this), uiHandler(this),
      commandTarget(this), ambient(this, true), external(this, false), eventSink(this), document(this) {}

ULONG BrowserHostState::AddRef() { return ++references; }

ULONG BrowserHostState::Release() {
    if (references == 0)
        return 0;  // a release too many from a peer: the memory is already on its way out
    ULONG left = --references;
    if (left == 0)
        delete this;
    return left;
}

HRESULT BrowserHostState::QuerySite(REFIID iid, void** out) {
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
        *out = static_cast<IOleClientSite*>(&clientSite);
    else if (IsEqualIID(iid, IID_IOleInPlaceSite) || IsEqualIID(iid, IID_IOleWindow))
        *out = static_cast<IOleInPlaceSite*>(&inPlaceSite);
    else if (IsEqualIID(iid, IID_IDocHostUIHandler))
        *out = static_cast<IDocHostUIHandler*>(&uiHandler);
    else if (IsEqualIID(iid, IID_IOleCommandTarget))
        *out = static_cast<IOleCommandTarget*>(&commandTarget);
    else if (IsEqualIID(iid, IID_IDispatch))
        *out = static_cast<IDispatch*>(&ambient);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

void BrowserHostState::Close() {
    if (eventPoint != nullptr) {
        eventPoint->Unadvise(eventCookie);
        ReleaseInterface(eventPoint);
    }
    ReleaseInterface(activeObject);
    ReleaseInterface(browser);
    if (object != nullptr) {
        IOleInPlaceObject* inPlace = nullptr;
        if (SUCCEEDED(object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace))) &&
            inPlace != nullptr) {
            inPlace->InPlaceDeactivate();
            inPlace->Release();
        }
        object->Close(OLECLOSE_NOSAVE);
        object->SetClientSite(nullptr);
        ReleaseInterface(object);
    }
    window = nullptr;
}

BrowserHost* BrowserHost::Create(HWND window) {
    if (window == nullptr)
        return nullptr;
    BrowserHost* host = CreateWithoutControl(window);
    BrowserHostState* state = host->mState;

    IClassFactory* factory = nullptr;
    HRESULT result = CoGetClassObject(CLSID_WebBrowser, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER, nullptr,
                                      IID_IClassFactory, reinterpret_cast<void**>(&factory));
    bool made = !Failed(result, u"class factory", window) && factory != nullptr;
    if (made) {
        result = factory->CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(&state->object));
        factory->Release();
        made = !Failed(result, u"IOleObject", window) && state->object != nullptr;
    }
    if (made)
        made = !Failed(state->object->SetClientSite(&state->clientSite), u"SetClientSite", window);
    if (made)
        made = !Failed(state->object->SetHostNames(L"My Host Name", nullptr), u"SetHostNames", window);
    if (made)
        made = !Failed(OleSetContainedObject(state->object, TRUE), u"OleSetContainedObject", window);
    RECT client = {};
    GetClientRect(window, &client);
    if (made) {
        result = state->object->DoVerb(OLEIVERB_SHOW, nullptr, &state->clientSite, -1, window, &client);
        made = !Failed(result, u"DoVerb", window);
    }
    if (made) {
        result = state->object->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&state->browser));
        made = !Failed(result, u"IWebBrowser2", window) && state->browser != nullptr;
    }
    if (made) {
        state->browser->put_Left(0);
        state->browser->put_Top(0);
        state->browser->put_Width(client.right - client.left);
        state->browser->put_Height(client.bottom - client.top);
        IOleInPlaceActiveObject* active = nullptr;
        if (state->activeObject == nullptr &&
            SUCCEEDED(state->object->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&active))))
            state->activeObject = active;
        IConnectionPointContainer* container = nullptr;
        result = state->object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container));
        made = !Failed(result, u"IConnectionPointContainer", window) && container != nullptr;
        if (made) {
            result = container->FindConnectionPoint(DIID_DWebBrowserEvents2, &state->eventPoint);
            container->Release();
            made = !Failed(result, u"events connection point", window) && state->eventPoint != nullptr;
        }
        if (made)
            made = !Failed(state->eventPoint->Advise(&state->eventSink, &state->eventCookie), u"Advise", window);
    }
    if (!made) {
        Destroy(host);
        return nullptr;
    }
    return host;
}

BrowserHost* BrowserHost::CreateWithoutControl(HWND window) {
    auto* host = new BrowserHost;
    host->mState = new BrowserHostState(window);
    return host;
}

void BrowserHost::Destroy(BrowserHost* host) {
    if (host == nullptr)
        return;
    BrowserHostState* state = host->mState;
    host->mState = nullptr;
    delete host;
    state->Close();
    state->Release();
}

PageDocument* BrowserHost::Document() { return mState->browser != nullptr ? &mState->document : nullptr; }

void BrowserHost::Resize(int width, int height) {
    if (mState->browser == nullptr)
        return;
    mState->browser->put_Width(width < 0 ? 0 : width);
    mState->browser->put_Height(height < 0 ? 0 : height);
}

void BrowserHost::SetOption(char letter, int value) {
    switch (letter) {
    case 's': mState->scrollBars = value; break;
    case 'a': mState->activeContent = value; break;
    case 'm': mState->pageMessages = value; break;
    case 'c': mState->contextMenu = value; break;
    default: break;
    }
}

int BrowserHost::Option(char letter) const {
    switch (letter) {
    case 's': return mState->scrollBars;
    case 'a': return mState->activeContent;
    case 'm': return mState->pageMessages;
    case 'c': return mState->contextMenu;
    default: return 0;
    }
}

bool BrowserHost::TranslateKey(const MSG& message) {
    if (mState->activeObject == nullptr)
        return false;
    MSG copy = message;
    return mState->activeObject->TranslateAccelerator(&copy) == S_OK;
}

HWND BrowserHost::Window() const { return mState->window; }

IUnknown* BrowserHost::QueryPart(REFIID iid) {
    void* part = nullptr;
    if (FAILED(mState->QuerySite(iid, &part)))
        return nullptr;
    return static_cast<IUnknown*>(part);
}

IDispatch* BrowserHost::EventSink() {
    mState->AddRef();
    return &mState->eventSink;
}

IDispatch* BrowserHost::External() {
    mState->AddRef();
    return &mState->external;
}

ULONG BrowserHost::References() const { return mState->references; }

} // namespace Volux
