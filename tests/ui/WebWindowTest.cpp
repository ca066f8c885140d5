#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "Support/LogCapture.h"
#include "WebTestSupport.h"
#include "ui/BrowserHost.h"
#include "ui/GdiplusSession.h"
#include "ui/WebWindow.h"

namespace Volux {
namespace {

using VoluxTest::CountNotices;
using VoluxTest::RecordingDocument;
using VoluxTest::IsShown;
using VoluxTest::Notices;

bool Contains(const std::u16string& text, const char16_t* part) { return text.find(part) != std::u16string::npos; }

std::u16string WindowText(HWND window) {
    wchar_t text[4096];
    int length = GetWindowTextW(window, text, 4096);
    return std::u16string(reinterpret_cast<const char16_t*>(text), size_t(length));
}

class WebWindowTest : public testing::Test {
protected:
    void SetUp() override {
        parent = VoluxTest::CreateRecordingParent(100, 100, 800, 600);
        ASSERT_NE(parent, nullptr);
    }
    void TearDown() override {
        for (WebWindow* page : made)
            DestroyWebWindow(page);
        DestroyWindow(parent);
    }

    // A page whose events and document come from the test alone.
    WebWindow* Make(int kind, int x, int y, int width, int height) {
        WebWindow* page = CreateWebWindow(kind, parent, x, y, width, height);
        if (page == nullptr)
            return nullptr;
        made.push_back(page);
        BrowserHost::Destroy(page->host);
        page->host = BrowserHost::CreateWithoutControl(page->window);
        page->document = &document;
        return page;
    }

    HWND parent = nullptr;
    std::vector<WebWindow*> made;
    RecordingDocument document;
    VoluxTest::LogCapture log;
};

TEST_F(WebWindowTest, CreationByKindSetsStylesOwnersAndPositions) {
    RECT parentRect = {};
    GetWindowRect(parent, &parentRect);
    struct Case {
        int kind;
        bool child, popup, visible, toolWindow, owned;  // visible: right after creation
        bool offset;  // placed relative to the parent's window rectangle
        bool showLine;
    } cases[] = {
        {0, true, false, false, false, false, false, true}, {1, false, false, false, true, true, false, true},
        {2, false, true, false, true, false, true, true},   {3, false, false, false, false, false, false, false},
        {4, false, false, false, true, false, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        log.Clear();
        WebWindow* page = CreateWebWindow(c.kind, parent, 30, 40, 200, 150);
        ASSERT_NE(page, nullptr);
        HWND window = page->window;
        LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
        LONG_PTR extended = GetWindowLongPtrW(window, GWL_EXSTYLE);
        EXPECT_EQ((style & WS_CHILD) != 0, c.child);
        EXPECT_EQ((style & WS_POPUP) != 0, c.popup);
        EXPECT_EQ((style & WS_VISIBLE) != 0, c.visible);
        EXPECT_EQ((extended & WS_EX_TOOLWINDOW) != 0, c.toolWindow);
        EXPECT_EQ(GetWindow(window, GW_OWNER) == parent, c.owned);
        if (c.child) {
            EXPECT_EQ(GetParent(window), parent);
        }
        RECT rect = {};
        GetWindowRect(window, &rect);
        if (!c.child) {
            EXPECT_EQ(rect.left, 30 + (c.offset ? parentRect.left : 0));
            EXPECT_EQ(rect.top, 40 + (c.offset ? parentRect.top : 0));
        }
        EXPECT_EQ(page->x, 30);
        EXPECT_EQ(page->kind, c.kind);
        EXPECT_EQ(page->parent, parent);
        EXPECT_EQ(page->wantVisible, 1);
        EXPECT_EQ(page->borderWidth, GetSystemMetrics(SM_CXDLGFRAME));
        EXPECT_EQ(Contains(log.trace, u"[MC] Show page 0x"), c.showLine);
        EXPECT_EQ(WebWindowOf(window), page);
        wchar_t className[64];
        GetClassNameW(window, className, 64);
        EXPECT_STREQ(className, L"Volux3D Web Window");
        DestroyWebWindow(page);
        EXPECT_FALSE(IsWindow(window));
    }
    EXPECT_EQ(WebWindowOf(parent), nullptr);
    EXPECT_EQ(WebWindowOf(nullptr), nullptr);
    EXPECT_EQ(CreateWebWindow(5, parent, 0, 0, 10, 10), nullptr);
    EXPECT_EQ(CreateWebWindow(-1, parent, 0, 0, 10, 10), nullptr);
    DestroyWebWindow(nullptr);
}

TEST_F(WebWindowTest, PageOperationsGoThroughTheDocument) {
    WebWindow* page = Make(0, 0, 0, 200, 100);
    ASSERT_NE(page, nullptr);
    Array<WString> names, values;

    page->document = nullptr;
    EXPECT_EQ(Navigate(*page, u"http://game.example/"), -1);
    EXPECT_FALSE(IsDocumentReady(*page));
    EXPECT_TRUE(PageLocation(*page).IsEmpty());
    PageFormFields(*page, names, values);
    EXPECT_EQ(names.Count(), 0u);

    page->document = &document;
    document.navigateAnswer = -5;
    EXPECT_EQ(Navigate(*page, u"http://game.example/"), -5);
    EXPECT_EQ(Navigate(*page, nullptr), -5);
    ASSERT_EQ(document.navigated.size(), 2u);
    EXPECT_EQ(document.navigated[0], u"http://game.example/");
    EXPECT_EQ(document.navigated[1], u"");
    document.ready = false;
    EXPECT_FALSE(IsDocumentReady(*page));
    document.ready = true;
    EXPECT_TRUE(IsDocumentReady(*page));

    // A document that reports more than the ceilings is cut to them.
    document.location = std::u16string(3000, u'a');
    EXPECT_EQ(PageLocation(*page).Length(), _MAX_PAGE_LOCATION);

    struct Case {
        std::u16string fields;
        std::vector<std::u16string> names, values;
    } cases[] = {
        {u"user\nbob\npass\nsecret\n", {u"user", u"pass"}, {u"bob", u"secret"}},
        {u"empty\n\nlast\n", {u"empty", u"last"}, {u"", u""}},
        {u"", {}, {}},
        {u"\n\n", {u""}, {u""}},
    };
    for (const Case& c : cases) {
        document.fields = c.fields;
        PageFormFields(*page, names, values);
        ASSERT_EQ(names.Count(), c.names.size());
        ASSERT_EQ(values.Count(), c.values.size());
        for (size_t i = 0; i < c.names.size(); i++) {
            EXPECT_EQ(std::u16string(names[_dword(i)].Text()), c.names[i]);
            EXPECT_EQ(std::u16string(values[_dword(i)].Text()), c.values[i]);
        }
    }
    std::u16string many;
    while (many.size() < 20000)
        many += u"name\nvalue\n";
    document.fields = many;
    PageFormFields(*page, names, values);
    EXPECT_EQ(names.Count(), _dword(_MAX_FORM_FIELDS / 11 + 1));
}

TEST_F(WebWindowTest, CloseOfAnEmbeddedPageGoesToItsParent) {
    for (int kind : {0, 1, 2}) {
        WebWindow* page = Make(kind, 0, 0, 200, 100);
        ASSERT_NE(page, nullptr);
        Notices().clear();
        SendMessageW(page->window, WM_CLOSE, 0, 0);
        EXPECT_EQ(CountNotices(WM_CLOSE), 1) << kind;
        EXPECT_TRUE(IsWindow(page->window)) << kind;
    }
}

TEST_F(WebWindowTest, PageListShowsOneIdAndHidesTheRest) {
    Array<PageEntry> pages;
    WebWindow* first = Make(0, 0, 0, 100, 100);
    WebWindow* second = Make(0, 0, 0, 100, 100);
    ASSERT_TRUE(first != nullptr && second != nullptr);
    pages.Append(PageEntry{1, first});
    pages.Append(PageEntry{2, second});
    first->ready = 1;
    second->ready = 1;

    log.Clear();
    EXPECT_EQ(ShowPageById(pages, 2, parent, nullptr, false, nullptr), second);
    EXPECT_TRUE(IsShown(second->window));
    EXPECT_FALSE(IsShown(first->window));
    EXPECT_EQ(first->wantVisible, 0);
    EXPECT_TRUE(Contains(log.trace, u"[MC] Show web page id 2"));
    EXPECT_TRUE(Contains(log.trace, u"[MC] Hide web page id 1"));
    EXPECT_TRUE(Contains(log.trace, u"[MC] Hide page 0x"));

    // An unknown id without creation hides everything and gives nothing.
    EXPECT_EQ(ShowPageById(pages, 7, parent, nullptr, false, nullptr), nullptr);
    EXPECT_FALSE(IsShown(second->window));
    EXPECT_EQ(pages.Count(), 2u);

    // With creation a kind-0 page filling the parent joins the list.
    WebWindowHook hook = [](WebWindow&) {};
    WebWindow* created = ShowPageById(pages, 7, parent, nullptr, true, hook);
    ASSERT_NE(created, nullptr);
    made.push_back(created);
    EXPECT_EQ(created->kind, 0);
    EXPECT_EQ(created->onReady, hook);
    RECT client = {}, rect = {};
    GetClientRect(parent, &client);
    GetClientRect(created->window, &rect);
    EXPECT_EQ(rect.right, client.right);
    EXPECT_EQ(rect.bottom, client.bottom);
    ASSERT_EQ(pages.Count(), 3u);
    EXPECT_EQ(pages[2].id, 7);

    EXPECT_EQ(FindGamePage(pages), nullptr);
    AddGamePage(pages, second);
    EXPECT_EQ(pages.Count(), 3u);
    EXPECT_EQ(pages[1].id, -1);
    EXPECT_EQ(FindGamePage(pages), second);
    WebWindow* third = Make(0, 0, 0, 10, 10);
    AddGamePage(pages, third);
    AddGamePage(pages, nullptr);
    ASSERT_EQ(pages.Count(), 4u);
    EXPECT_EQ(pages[3].id, -1);
    EXPECT_EQ(FindGamePage(pages), second);

    SizePages(pages, 320, 200);
    for (_dword i = 0; i < pages.Count(); i++) {
        GetClientRect(pages[i].page->window, &rect);
        EXPECT_EQ(rect.right, 320);
        EXPECT_EQ(rect.bottom, 200);
    }
}

TEST_F(WebWindowTest, PopupClosesByHidingAndTellsItsParent) {
    WebWindow* page = Make(3, 50, 50, 300, 200);
    ASSERT_NE(page, nullptr);
    page->hideOnClose = 1;
    ShowPage(*page, true);
    ASSERT_TRUE(IsShown(page->window));
    Notices().clear();
    SendMessageW(page->window, WM_CLOSE, 5, 6);
    EXPECT_FALSE(IsShown(page->window));
    EXPECT_EQ(page->wantVisible, 0);
    ASSERT_EQ(CountNotices(_WM_PAGE_RESTORED), 1);
    EXPECT_EQ(Notices()[0].wparam, 5u);
    EXPECT_EQ(Notices()[0].lparam, 6);

    Notices().clear();
    SendMessageW(page->window, WM_SYSCOMMAND, SC_RESTORE, 0);
    ASSERT_EQ(CountNotices(_WM_PAGE_RESTORED), 1);
    EXPECT_EQ(Notices()[0].wparam, WPARAM(SC_RESTORE));

    // Without hideOnClose the popup really closes; the record forgets its window.
    page->hideOnClose = 0;
    SendMessageW(page->window, WM_CLOSE, 0, 0);
    EXPECT_EQ(page->window, nullptr);
}

TEST_F(WebWindowTest, PopupTitlesLogsAndNewMessages) {
    WebWindow* page = Make(3, 50, 50, 300, 200);
    ASSERT_NE(page, nullptr);
    page->titleSuffix = u" - Chat";
    const std::u16string longTitle(5000, u't');
    struct Case {
        const char16_t* text;
        std::u16string title;
    } cases[] = {{u"Room 5", u"Room 5 - Chat"}, {nullptr, u" - Chat"}, {longTitle.c_str(), std::u16string(1024, u't') + u" - Chat"}};
    for (const Case& c : cases) {
        Notices().clear();
        SendMessageW(page->window, _WM_PAGE_TITLE, reinterpret_cast<WPARAM>(c.text), 1);
        EXPECT_EQ(WindowText(page->window), c.title);
        EXPECT_EQ(CountNotices(_WM_PAGE_TITLE), 1);
    }

    log.Clear();
    SendMessageW(page->window, _WM_PAGE_LOG, reinterpret_cast<WPARAM>(u"hello from the page"), 0);
    SendMessageW(page->window, _WM_PAGE_LOG, 0, 0);
    EXPECT_TRUE(Contains(log.trace, u" LOG: hello from the page"));
    EXPECT_TRUE(Contains(log.trace, u"[MC] WEB 0x"));

    // A hidden popup with a new message shows minimised and passes the notice on.
    HidePage(*page);
    Notices().clear();
    SendMessageW(page->window, _WM_PAGE_NEW_MESSAGE, 0, 0);
    EXPECT_EQ(CountNotices(_WM_PAGE_NEW_MESSAGE), 1);
    EXPECT_TRUE(IsShown(page->window));
    EXPECT_TRUE(IsIconic(page->window));
}

struct CrossThreadNotice {
    HWND window;
    UINT message;
    WPARAM wparam;
};

DWORD WINAPI SendNoticeFromAnotherThread(void* parameter) {
    const auto* notice = static_cast<const CrossThreadNotice*>(parameter);
    SendMessageW(notice->window, notice->message, notice->wparam, 1);
    return 0;
}

// Another thread's or process's pointer means nothing here: a popup must not read it, nor pass
// it on to its parent as if it came from its own page.
TEST_F(WebWindowTest, PopupNoticesFromAnotherThreadAreNotRead) {
    WebWindow* page = Make(3, 50, 50, 300, 200);
    ASSERT_NE(page, nullptr);
    SetWindowTextW(page->window, L"Chat");
    for (UINT message : {_WM_PAGE_TITLE, _WM_PAGE_LOG}) {
        Notices().clear();
        log.Clear();
        // A pointer that would fault if read.
        CrossThreadNotice notice = {page->window, message, WPARAM(0x10)};
        HANDLE thread = CreateThread(nullptr, 0, &SendNoticeFromAnotherThread, &notice, 0, nullptr);
        ASSERT_NE(thread, nullptr);
        while (MsgWaitForMultipleObjects(1, &thread, FALSE, 5000, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
            MSG pending;
            PeekMessageW(&pending, nullptr, 0, 0, PM_NOREMOVE);
        }
        CloseHandle(thread);
        EXPECT_EQ(WindowText(page->window), u"Chat");
        EXPECT_EQ(CountNotices(_WM_PAGE_TITLE), 0);
        EXPECT_FALSE(Contains(log.trace, u" LOG: "));
        EXPECT_TRUE(Contains(log.trace, u"from another thread or process refused")) << message;
    }
}

TEST_F(WebWindowTest, KindFourPopupIsKeptInsideItsParentAndRemembersItsOffset) {
    WebWindow* page = Make(4, 40, 60, 200, 150);
    ASSERT_NE(page, nullptr);
    RECT parentRect = {};
    GetWindowRect(parent, &parentRect);
    struct Case {
        int x, y;
        int keptX, keptY;  // relative to the parent's top-left corner
    } cases[] = {{-500, -500, 0, 50}, {5000, 5000, 800 - 200, 600 - 150}, {120, 130, 120, 130}};
    for (const Case& c : cases) {
        SetWindowPos(page->window, nullptr, parentRect.left + c.x, parentRect.top + c.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT rect = {};
        GetWindowRect(page->window, &rect);
        EXPECT_EQ(rect.left - parentRect.left, c.keptX) << c.x;
        EXPECT_EQ(rect.top - parentRect.top, c.keptY) << c.y;
        EXPECT_EQ(page->x, c.keptX);
        EXPECT_EQ(page->y, c.keptY);
    }
}

// Reads the window's frame as it is on the screen.
COLORREF FramePixel(HWND window, int x, int y) {
    HDC dc = GetWindowDC(window);
    COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return colour;
}

TEST_F(WebWindowTest, PopupCaptionIsPaintedWithBorderImageAndCloseButton) {
    GdiplusSession gdiplus;
    ASSERT_TRUE(gdiplus.IsStarted());
    WebWindow* page = Make(3, 60, 60, 300, 200);
    ASSERT_NE(page, nullptr);
    PopupSettings look;
    look.captionColour = 0x102030;
    look.captionTextColour = 0xFFFFFF;
    look.captionFont = u"Arial";
    look.titleSuffix = u"!";
    look.captionImage = u"filled.png";  // 100 x 10, (0, 200, 0)
    look.closeImage = u"up.png";        // 4 x 4 red
    look.closeHoverImage = u"hover.png";  // 4 x 4 green
    look.closeTop = 2;
    look.closeRight = 5;

    // One close look missing: no close button at all.
    look.closeHoverImage = u"missing.png";
    ApplyPopupLook(*page, look);
    EXPECT_NE(page->captionImage, nullptr);
    EXPECT_EQ(page->closeImage, nullptr);
    EXPECT_EQ(page->closeHoverImage, nullptr);
    look.closeHoverImage = u"hover.png";
    ApplyPopupLook(*page, look);
    ASSERT_NE(page->closeImage, nullptr);
    ASSERT_NE(page->closeHoverImage, nullptr);
    EXPECT_EQ(page->captionColour, 0x102030);
    EXPECT_EQ(page->titleSuffix, u"!");

    page->hideOnClose = 1;
    ShowPage(*page, true);
    SetWindowPos(page->window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SendMessageW(page->window, WM_NCPAINT, 1, 0);
    GdiFlush();

    const int b = page->borderWidth;
    RECT window = {};
    GetWindowRect(page->window, &window);
    const int w = window.right - window.left;
    // The close button sits at w - closeRight - b, b + closeTop, at its own size.
    EXPECT_EQ(page->closeRect.right, w - 5 - b);
    EXPECT_EQ(page->closeRect.left, w - 5 - b - 4);
    EXPECT_EQ(page->closeRect.top, b + 2);
    EXPECT_EQ(page->closeRect.bottom, b + 2 + 4);
    const int closeX = page->closeRect.left + 2;
    const int closeY = page->closeRect.top + 2;
    if (b > 0) {
        EXPECT_EQ(FramePixel(page->window, 0, 100), RGB(0x10, 0x20, 0x30));
    }
    EXPECT_EQ(FramePixel(page->window, b + 1, b + 8), RGB(0, 200, 0));
    EXPECT_EQ(FramePixel(page->window, closeX, closeY), RGB(255, 0, 0));

    // The cursor over the button: the hover look.
    SendMessageW(page->window, WM_NCMOUSEMOVE, HTCAPTION, MAKELPARAM(window.left + closeX, window.top + closeY));
    GdiFlush();
    EXPECT_TRUE(page->closeHover);
    EXPECT_EQ(FramePixel(page->window, closeX, closeY), RGB(0, 255, 0));
    SendMessageW(page->window, WM_NCMOUSEMOVE, HTCAPTION, MAKELPARAM(window.left + 40, window.top + b + 5));
    EXPECT_FALSE(page->closeHover);

    // A click on its edge is no click; inside, the popup hides. (HTNOWHERE: a click on the
    // caption itself would start the system's move loop.)
    Notices().clear();
    SendMessageW(page->window, WM_NCLBUTTONDOWN, HTNOWHERE,
                 MAKELPARAM(window.left + page->closeRect.left, window.top + closeY));
    EXPECT_TRUE(IsShown(page->window));
    SendMessageW(page->window, WM_NCLBUTTONDOWN, HTNOWHERE, MAKELPARAM(window.left + closeX, window.top + closeY));
    EXPECT_FALSE(IsShown(page->window));
    EXPECT_EQ(CountNotices(_WM_PAGE_RESTORED), 1);

    // The images go with the page; the session outlives it.
    DestroyWebWindow(page);
    made.pop_back();
}

} // namespace
} // namespace Volux
