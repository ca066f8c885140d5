#include <gtest/gtest.h>

#include <windows.h>

#include <ole2.h>
#include <docobj.h>
#include <exdisp.h>
#include <mshtmhst.h>

#include <string>
#include <vector>

#include "Support/LogCapture.h"
#include "WebTestSupport.h"
#include "ui/BrowserHost.h"
#include "ui/WebWindow.h"

namespace Volux {
namespace {

using VoluxTest::CountNotices;
using VoluxTest::RecordingDocument;
using VoluxTest::IsShown;
using VoluxTest::Notices;

// The command group the control uses for script errors (not in every import library).
const GUID _DOC_HOST_COMMANDS = {0xf38bc242, 0xb950, 0x11d1, {0x89, 0x18, 0x00, 0xc0, 0x4f, 0xc2, 0xc8, 0x36}};

template <class T>
T* Part(BrowserHost* host, REFIID iid) {
    return static_cast<T*>(static_cast<void*>(host->QueryPart(iid)));
}

// A kind-0 page in a recording parent, hosted by a host without control, so every event the
// test fires is the only one the window sees.
class BrowserHostTest : public testing::Test {
protected:
    void SetUp() override {
        parent = VoluxTest::CreateRecordingParent(40, 40, 400, 300);
        ASSERT_NE(parent, nullptr);
        page = CreateWebWindow(0, parent, 0, 0, 400, 300);
        ASSERT_NE(page, nullptr);
        BrowserHost::Destroy(page->host);
        page->host = BrowserHost::CreateWithoutControl(page->window);
        page->document = &document;
        Notices().clear();
    }
    void TearDown() override {
        DestroyWebWindow(page);
        DestroyWindow(parent);
    }

    HRESULT Fire(IDispatch* sink, DISPID event) {
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        return sink->Invoke(event, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
    }

    // Calls window.external.name(args...) as page script does; the result in `out`.
    HRESULT CallExternal(const wchar_t* name, std::vector<VARIANT> args, VARIANT* out) {
        IDispatch* external = page->host->External();
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        HRESULT result = external->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (SUCCEEDED(result)) {
            // Script passes the arguments last first.
            std::vector<VARIANT> reversed(args.rbegin(), args.rend());
            DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(), nullptr, UINT(reversed.size()), 0};
            result = external->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, out, nullptr,
                                      nullptr);
        }
        external->Release();
        return result;
    }

    HWND parent = nullptr;
    WebWindow* page = nullptr;
    RecordingDocument document;
    VoluxTest::LogCapture log;
};

struct HookCalls {
    int before = 0;
    int complete = 0;
    int ready = 0;
};
void CountBefore(WebWindow& page) { static_cast<HookCalls*>(page.user)->before++; }
void CountComplete(WebWindow& page) { static_cast<HookCalls*>(page.user)->complete++; }
void CountReady(WebWindow& page) { static_cast<HookCalls*>(page.user)->ready++; }

// Event orders a real page load produces, and ones it should never leave in a wrong state.
TEST_F(BrowserHostTest, EventSequencesDecideReadinessVisibilityAndHooks) {
    struct Case {
        const char* name;
        std::vector<DISPID> events;
        bool showWhenDone;
        bool wantVisible;  // the launcher asked for the page before it loaded
        bool documentReady;
        int ready, pageDone;
        bool shown;
        int before, complete, readyCalls;
    } cases[] = {
        {"plain load", {250, 252, 259}, false, true, true, 1, 0, true, 0, 1, 1},
        {"no document-complete stays hidden", {250, 252}, false, true, true, 0, 0, false, 0, 1, 0},
        {"done shows with showWhenDone", {250, 252, 290}, true, true, true, 0, 1, true, 0, 1, 0},
        {"done without showWhenDone stays hidden", {250, 252, 290}, false, true, true, 0, 0, false, 0, 1, 0},
        {"second navigation resets and reloads", {250, 252, 259, 290, 250, 252, 259}, true, true, true, 1, 0, true, 1,
         2, 2},
        {"second navigation half way", {250, 252, 259, 250}, false, true, true, 0, 0, true, 1, 1, 1},
        {"document not ready: no onReady, still shown", {250, 252, 259}, false, true, false, 1, 0, true, 0, 1, 0},
        {"hidden-wanted page never shows", {250, 252, 259, 290}, true, false, true, 1, 1, false, 0, 1, 1},
        {"out of order, hidden-wanted", {259, 290, 259, 250, 271, 252, 290}, true, false, true, 0, 1, false, 1, 1, 1},
        {"navigate error alone", {271}, true, true, true, 0, 0, false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HidePage(*page);
        page->ready = 0;
        page->pageDone = 0;
        page->wantVisible = c.wantVisible ? 1 : 0;
        page->showWhenDone = c.showWhenDone ? 1 : 0;
        document.ready = c.documentReady;
        HookCalls calls;
        page->user = &calls;
        page->onBeforeNavigate = &CountBefore;
        page->onNavigateComplete = &CountComplete;
        page->onReady = &CountReady;

        IDispatch* sink = page->host->EventSink();
        for (DISPID event : c.events)
            EXPECT_EQ(Fire(sink, event), S_OK);
        sink->Release();

        EXPECT_EQ(page->ready, c.ready);
        EXPECT_EQ(page->pageDone, c.pageDone);
        EXPECT_EQ(IsShown(page->window), c.shown);
        EXPECT_EQ(calls.before, c.before);
        EXPECT_EQ(calls.complete, c.complete);
        EXPECT_EQ(calls.ready, c.readyCalls);
    }
}

WebWindow** sDestroying = nullptr;
void DestroyOwnPage(WebWindow& page) {
    DestroyWebWindow(&page);
    *sDestroying = nullptr;
}

// A hook may free its own page, host and all, while the control's event is still being delivered.
TEST_F(BrowserHostTest, AHookThatDestroysItsOwnPageEndsTheEventSafely) {
    struct Case {
        const char* name;
        DISPID event;
        WebWindowHook WebWindow::*hook;
    } cases[] = {
        {"before navigate", 250, &WebWindow::onBeforeNavigate},
        {"navigate complete", 252, &WebWindow::onNavigateComplete},
        {"document complete", 259, &WebWindow::onReady},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (page == nullptr) {
            page = CreateWebWindow(0, parent, 0, 0, 400, 300);
            ASSERT_NE(page, nullptr);
            BrowserHost::Destroy(page->host);
            page->host = BrowserHost::CreateWithoutControl(page->window);
            page->document = &document;
        }
        document.ready = true;
        page->ready = c.event == 250 ? 1 : 0;
        page->*c.hook = &DestroyOwnPage;
        sDestroying = &page;
        HWND window = page->window;
        IDispatch* sink = page->host->EventSink();
        EXPECT_EQ(Fire(sink, c.event), S_OK);
        EXPECT_EQ(page, nullptr);
        EXPECT_FALSE(IsWindow(window));
        // The sink held on its own outlives the page; events to it now go nowhere.
        EXPECT_EQ(Fire(sink, 252), S_OK);
        sink->Release();
    }
}

TEST_F(BrowserHostTest, EventsOtherThanThePageEventsAreIgnored) {
    IDispatch* sink = page->host->EventSink();
    HidePage(*page);
    page->wantVisible = 1;
    for (DISPID event : {DISPID(102), DISPID(104), DISPID(113), DISPID(-1), DISPID(0x7FFFFFFF)})
        EXPECT_EQ(Fire(sink, event), S_OK);
    // Invoke with no arguments at all, as a careless caller might.
    EXPECT_EQ(sink->Invoke(259, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), S_OK);
    sink->Release();
    EXPECT_EQ(page->ready, 1);
    EXPECT_TRUE(IsShown(page->window));
}

TEST_F(BrowserHostTest, LogLinesOfTheStateMachine) {
    HidePage(*page);
    page->wantVisible = 1;
    page->showWhenDone = 0;
    IDispatch* sink = page->host->EventSink();
    log.Clear();
    Fire(sink, 290);
    Fire(sink, 271);
    Fire(sink, 259);
    sink->Release();
    EXPECT_NE(log.trace.find(u"[MC] Start to load page, but not shown"), std::u16string::npos);
    EXPECT_NE(log.trace.find(u"visit error, pagedone 0, ready 0"), std::u16string::npos);
    EXPECT_NE(log.trace.find(u"ready in window 0x"), std::u16string::npos);
    EXPECT_NE(log.trace.find(u", doc ready 1"), std::u16string::npos);
    EXPECT_NE(log.trace.find(u"[MC] Show page 0x"), std::u16string::npos);
}

TEST_F(BrowserHostTest, SiteInterfacesShareOneIdentityAndBalanceReferences) {
    BrowserHost* host = page->host;
    const ULONG before = host->References();
    const IID* site[] = {&IID_IUnknown,         &IID_IOleClientSite,    &IID_IOleInPlaceSite, &IID_IOleWindow,
                         &IID_IDocHostUIHandler, &IID_IOleCommandTarget, &IID_IDispatch};
    IUnknown* identity = host->QueryPart(IID_IUnknown);
    ASSERT_NE(identity, nullptr);
    for (const IID* from : site) {
        IUnknown* part = host->QueryPart(*from);
        ASSERT_NE(part, nullptr);
        IUnknown* unknown = nullptr;
        ASSERT_EQ(part->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
        EXPECT_EQ(unknown, identity);
        unknown->Release();
        // Every other site interface is reachable from each one.
        for (const IID* to : site) {
            IUnknown* other = nullptr;
            EXPECT_EQ(part->QueryInterface(*to, reinterpret_cast<void**>(&other)), S_OK);
            if (other != nullptr)
                other->Release();
        }
        IUnknown* none = reinterpret_cast<IUnknown*>(1);
        EXPECT_EQ(part->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&none)), E_NOINTERFACE);
        EXPECT_EQ(none, nullptr);
        part->Release();
    }
    identity->Release();
    EXPECT_EQ(host->References(), before);

    // The in-place frame, the event sink and window.external are objects of their own.
    IOleInPlaceSite* inPlace = Part<IOleInPlaceSite>(host, IID_IOleInPlaceSite);
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* documentWindow = reinterpret_cast<IOleInPlaceUIWindow*>(1);
    RECT position = {}, clip = {};
    OLEINPLACEFRAMEINFO info = {};
    info.cb = sizeof(info);
    ASSERT_EQ(inPlace->GetWindowContext(&frame, &documentWindow, &position, &clip, &info), S_OK);
    EXPECT_EQ(documentWindow, nullptr);
    EXPECT_EQ(info.hwndFrame, page->window);
    EXPECT_EQ(info.cAccelEntries, 0u);
    EXPECT_EQ(position.right, 400);
    HWND window = nullptr;
    EXPECT_EQ(inPlace->GetWindow(&window), S_OK);
    EXPECT_EQ(window, page->window);
    EXPECT_EQ(frame->GetWindow(&window), S_OK);
    EXPECT_EQ(window, page->window);
    IDispatch* sink = host->EventSink();
    IDispatch* external = host->External();
    struct Own {
        IUnknown* object;
        const IID* answered;
    } owns[] = {{frame, &IID_IOleInPlaceFrame}, {sink, &DIID_DWebBrowserEvents2}, {external, &IID_IDispatch}};
    for (const Own& own : owns) {
        IUnknown* unknown = nullptr;
        ASSERT_EQ(own.object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
        EXPECT_EQ(unknown, own.object);
        EXPECT_NE(unknown, identity);
        unknown->Release();
        IUnknown* same = nullptr;
        EXPECT_EQ(own.object->QueryInterface(*own.answered, reinterpret_cast<void**>(&same)), S_OK);
        if (same != nullptr)
            same->Release();
        IUnknown* site = nullptr;
        EXPECT_EQ(own.object->QueryInterface(IID_IOleClientSite, reinterpret_cast<void**>(&site)), E_NOINTERFACE);
    }
    frame->Release();
    sink->Release();
    external->Release();
    inPlace->Release();
    EXPECT_EQ(host->References(), before);
}

TEST_F(BrowserHostTest, PiecesHeldAfterTheHostGoesKeepItsMemoryUntilReleased) {
    IDispatch* external = page->host->External();
    IDispatch* sink = page->host->EventSink();
    BrowserHost::Destroy(page->host);
    page->host = nullptr;
    // The window is forgotten: late calls reach nothing and do not crash.
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(sink->Invoke(259, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(external->Invoke(8000, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(CountNotices(_WM_PAGE_NEW_MESSAGE), 0);
    EXPECT_EQ(sink->Release(), 1u);
    EXPECT_EQ(external->Release(), 0u);
}

TEST_F(BrowserHostTest, OptionLettersDecideTheAnswersToTheControl) {
    BrowserHost* host = page->host;
    IDocHostUIHandler* handler = Part<IDocHostUIHandler>(host, IID_IDocHostUIHandler);
    IOleCommandTarget* target = Part<IOleCommandTarget>(host, IID_IOleCommandTarget);
    IDispatch* ambient = Part<IDispatch>(host, IID_IDispatch);
    ASSERT_TRUE(handler != nullptr && target != nullptr && ambient != nullptr);
    struct Case {
        int value;
        DWORD hostFlags;
        LONG download;
        HRESULT message;
        HRESULT menu;
    } cases[] = {{1, 4, 1072, S_OK, S_FALSE}, {0, 12, 1584, HRESULT(0x80040104), S_OK}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        for (char letter : {'s', 'a', 'm', 'c'})
            SetPageOption(*page, letter, c.value);
        SetPageOption(*page, 'x', 7);  // ignored

        DOCHOSTUIINFO info = {};
        info.cbSize = sizeof(info);
        EXPECT_EQ(handler->GetHostInfo(&info), S_OK);
        EXPECT_EQ(info.dwFlags, c.hostFlags);
        EXPECT_EQ(info.dwDoubleClick, DWORD(DOCHOSTUIDBLCLK_DEFAULT));

        VARIANT download;
        VariantInit(&download);
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        EXPECT_EQ(ambient->Invoke(-5512, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &download, nullptr, nullptr), S_OK);
        EXPECT_EQ(download.vt, VT_I4);
        EXPECT_EQ(download.lVal, c.download);

        EXPECT_EQ(target->Exec(nullptr, OLECMDID_SHOWMESSAGE, 0, nullptr, nullptr), c.message);
        EXPECT_EQ(handler->ShowContextMenu(0, nullptr, nullptr, nullptr), c.menu);

        // Script errors never raise a dialog, whatever the switches.
        VARIANT go;
        VariantInit(&go);
        EXPECT_EQ(target->Exec(&_DOC_HOST_COMMANDS, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, &go), S_OK);
        EXPECT_EQ(go.vt, VT_BOOL);
        EXPECT_EQ(go.boolVal, VARIANT_TRUE);
        EXPECT_EQ(target->Exec(nullptr, OLECMDID_PRINT, 0, nullptr, nullptr), HRESULT(0x80040104));
    }
    EXPECT_EQ(host->Option('x'), 0);

    IDispatch* external = nullptr;
    ASSERT_EQ(handler->GetExternal(&external), S_OK);
    IDispatch* direct = host->External();
    EXPECT_EQ(external, direct);
    direct->Release();
    external->Release();
    wchar_t* none = reinterpret_cast<wchar_t*>(1);
    EXPECT_EQ(handler->TranslateUrl(0, nullptr, &none), S_FALSE);
    EXPECT_EQ(none, nullptr);
    handler->Release();
    target->Release();
    ambient->Release();
}

TEST_F(BrowserHostTest, AcceleratorHandlerSwallowsBackspaceLeftAndRightKeyDowns) {
    IDocHostUIHandler* handler = Part<IDocHostUIHandler>(page->host, IID_IDocHostUIHandler);
    struct Case {
        UINT message;
        WPARAM key;
        HRESULT answer;
    } cases[] = {{WM_KEYDOWN, VK_BACK, S_OK},   {WM_KEYDOWN, VK_LEFT, S_OK},    {WM_KEYDOWN, VK_RIGHT, S_OK},
                 {WM_KEYDOWN, VK_UP, S_FALSE},  {WM_KEYDOWN, VK_DOWN, S_FALSE}, {WM_KEYDOWN, VK_F5, S_FALSE},
                 {WM_KEYDOWN, 'A', S_FALSE},    {WM_KEYUP, VK_BACK, S_FALSE},   {WM_CHAR, 8, S_FALSE}};
    for (const Case& c : cases) {
        MSG message = {page->window, c.message, c.key, 0, 0, {0, 0}};
        EXPECT_EQ(handler->TranslateAccelerator(&message, nullptr, 0), c.answer) << c.message << " " << c.key;
    }
    EXPECT_EQ(handler->TranslateAccelerator(nullptr, nullptr, 0), S_FALSE);
    handler->Release();

    // Without a control there is nothing to translate keys for.
    MSG key = {page->window, WM_KEYDOWN, VK_BACK, 0, 0, {0, 0}};
    EXPECT_FALSE(ForwardPageKey(key));
}

VARIANT Text(const wchar_t* text) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = text != nullptr ? SysAllocString(text) : nullptr;
    return value;
}

VARIANT Number(LONG number) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = number;
    return value;
}

TEST_F(BrowserHostTest, ExternalMembersAsPageScriptCallsThem) {
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(CallExternal(L"ismc", {}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_BOOL);
    EXPECT_EQ(result.boolVal, VARIANT_TRUE);

    // getNewMsg from the child page reaches the top-level window.
    ASSERT_EQ(CallExternal(L"getNewMsg", {}, nullptr), S_OK);
    EXPECT_EQ(CountNotices(_WM_PAGE_NEW_MESSAGE), 1);

    const std::wstring longText(5000, L'x');
    VARIANT nested = Text(L"inner");
    VARIANT byReference;
    VariantInit(&byReference);
    byReference.vt = VT_BYREF | VT_VARIANT;
    byReference.pvarVal = &nested;
    VARIANT dispatch;
    VariantInit(&dispatch);
    dispatch.vt = VT_DISPATCH;
    dispatch.pdispVal = nullptr;
    // References that lead nowhere, as a broken caller could pass them.
    VARIANT nowhereText;
    VariantInit(&nowhereText);
    nowhereText.vt = VT_BYREF | VT_BSTR;
    nowhereText.pbstrVal = nullptr;
    VARIANT nowhereVariant;
    VariantInit(&nowhereVariant);
    nowhereVariant.vt = VT_BYREF | VT_VARIANT;
    nowhereVariant.pvarVal = nullptr;
    VARIANT nowhereNumber;
    VariantInit(&nowhereNumber);
    nowhereNumber.vt = VT_BYREF | VT_I4;
    nowhereNumber.plVal = nullptr;
    VARIANT empty;
    VariantInit(&empty);
    struct Case {
        const char* name;
        std::vector<VARIANT> args;
        std::u16string text;
    } cases[] = {
        {"text", {Text(L"Server 1")}, u"Server 1"},
        {"null text", {Text(nullptr)}, u""},
        {"number", {Number(42)}, u"42"},
        {"no argument", {}, u""},
        {"second argument ignored", {Text(L"first"), Text(L"second")}, u"first"},
        {"variant by reference", {byReference}, u"inner"},
        {"null object", {dispatch}, u""},
        {"empty", {empty}, u""},
        {"text reference to nothing", {nowhereText}, u""},
        {"variant reference to nothing", {nowhereVariant}, u""},
        {"number reference to nothing", {nowhereNumber}, u""},
        {"over-long text is cut", {Text(longText.c_str())}, std::u16string(1024, u'x')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const wchar_t* member : {L"getGsName", L"consoleMsg"}) {
            Notices().clear();
            ASSERT_EQ(CallExternal(member, c.args, nullptr), S_OK);
            ASSERT_EQ(Notices().size(), 1u);
            const bool title = member[0] == L'g';
            EXPECT_EQ(Notices()[0].message, title ? _WM_PAGE_TITLE : _WM_PAGE_LOG);
            EXPECT_EQ(Notices()[0].lparam, title ? 1 : 0);
            EXPECT_EQ(Notices()[0].text, c.text);
        }
    }
    for (Case& c : cases) {
        for (VARIANT& arg : c.args) {
            if (arg.vt == VT_BSTR)
                VariantClear(&arg);
        }
    }
    VariantClear(&nested);
}

TEST_F(BrowserHostTest, UnknownExternalMembersFail) {
    IDispatch* external = page->host->External();
    struct Case {
        const wchar_t* name;
    } names[] = {{L"ISMC"}, {L"ismcx"}, {L"getnewmsg"}, {L""}, {L"a-very-long-member-name-that-is-no-member-at-all"}};
    for (const Case& c : names) {
        DISPID id = 0;
        LPOLESTR name[] = {const_cast<LPOLESTR>(c.name)};
        EXPECT_EQ(external->GetIDsOfNames(IID_NULL, name, 1, 0, &id), DISP_E_UNKNOWNNAME);
        EXPECT_EQ(id, DISPID_UNKNOWN);
    }
    LPOLESTR nullName[] = {nullptr};
    DISPID id = 0;
    EXPECT_EQ(external->GetIDsOfNames(IID_NULL, nullName, 1, 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(external->GetIDsOfNames(IID_NULL, nullptr, 1, 0, &id), E_POINTER);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    for (DISPID member : {DISPID(0), DISPID(7999), DISPID(8004), DISPID(-5513), DISPID(DISPID_VALUE)})
        EXPECT_EQ(external->Invoke(member, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
                  DISP_E_PARAMNOTOPTIONAL);
    // ismc without a place for the result still answers.
    EXPECT_EQ(external->Invoke(8003, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), S_OK);
    external->Release();
    EXPECT_TRUE(Notices().empty());
}

// The real control where this system has one; Wine without an HTML engine may still make it.
TEST(BrowserHostControlTest, RealControlIsActivatedInPlaceAndSizedOrThePageIsHostless) {
    HWND parent = VoluxTest::CreateRecordingParent(20, 20, 360, 280);
    ASSERT_NE(parent, nullptr);
    WebWindow* page = CreateWebWindow(0, parent, 0, 0, 320, 240);
    ASSERT_NE(page, nullptr);
    if (page->host == nullptr) {
        EXPECT_EQ(page->document, nullptr);
        EXPECT_EQ(Navigate(*page, u"about:blank"), -1);
        EXPECT_FALSE(IsDocumentReady(*page));
        EXPECT_TRUE(PageLocation(*page).IsEmpty());
        DestroyWebWindow(page);
        DestroyWindow(parent);
        GTEST_SKIP() << "no WebBrowser control on this system: the page is hostless as it should be";
    }
    EXPECT_NE(page->document, nullptr);
    // The control holds references on the host while it runs.
    EXPECT_GT(page->host->References(), 1u);
    // The control's window fills the web window and follows its size.
    HWND control = GetWindow(page->window, GW_CHILD);
    if (control != nullptr) {
        RECT rect = {};
        GetWindowRect(control, &rect);
        EXPECT_EQ(rect.right - rect.left, 320);
        EXPECT_EQ(rect.bottom - rect.top, 240);
        MoveWindow(page->window, 0, 0, 200, 150, TRUE);
        GetWindowRect(control, &rect);
        EXPECT_EQ(rect.right - rect.left, 200);
        EXPECT_EQ(rect.bottom - rect.top, 150);
    }
    // Destroying the host lets the control go; it gives back every reference it took.
    IDispatch* sink = page->host->EventSink();
    BrowserHost::Destroy(page->host);
    page->host = nullptr;
    page->document = nullptr;
    EXPECT_EQ(sink->Release(), 0u);
    DestroyWebWindow(page);
    DestroyWindow(parent);
}

} // namespace
} // namespace Volux
