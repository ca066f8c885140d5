#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakePage.h"
#include "Support/LogCapture.h"
#include "launcher/Frames.h"
#include "launcher/MainWindowHooks.h"
#include "launcher/PageEvents.h"
#include "launcher/PageTurns.h"
#include "launcher/StartUp.h"

namespace Volux {

namespace {

// The frame mode with its game frame shown and the frame page listed with id -1; the page's
// document is a fake that reports the addresses the test walks through.
class PageEventsTest : public testing::Test {
protected:
    void SetUp() override {
        state.frameURLs.Append(WString(u"http://frame.example/"));
        state.quietURLs.Append(WString(u"/play"));
        state.mcType = 1;
        ASSERT_TRUE(CreateGameFrame(state));
        page = VoluxTest::MakeFakePage(state.frames[0]->window, document);
        ASSERT_NE(page, nullptr);
        AddGamePage(state.pages, page);
    }
    void TearDown() override {
        ShutDown(state);
        QuitPosted();
    }
    bool QuitPosted() {
        MSG message;
        return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
    }
    void Visit(const char16_t* address) {
        document.location = address;
        OnPageNavigateComplete(*page);
    }

    LauncherState state;
    VoluxTest::FakeDocument document;
    WebWindow* page = nullptr;
};

TEST_F(PageEventsTest, TheGamePageLeavesTheFrameWhenItsAddressIsFound) {
    struct Step {
        const char16_t* address;
        bool found;  // "Found game url" logged for this step
        bool leaves; // the page becomes the game page and the frame's loop ends
    } steps[] = {
        {u"http://frame.example/login", false, false},
        {u"http://frame.example/play", true, false},  // a frame address stays in the frame
        {u"http://frame.example/play", false, false},  // the same address again: nothing new
        {u"http://cdn.example/news", false, false},
        {u"http://cdn.example/play?w=1024&h=768", true, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(WString(step.address).Length(), '.'));
        VoluxTest::LogCapture log;
        Visit(step.address);
        EXPECT_NE(log.trace.find(u"[MC] Preload page at: "), std::u16string::npos);
        EXPECT_EQ(log.trace.find(u"[MC] Found game url, ") != std::u16string::npos, step.found);
        EXPECT_EQ(QuitPosted(), step.leaves);
        EXPECT_EQ(state.gamePage == page, step.leaves);
        EXPECT_EQ(state.lastPageURL, step.address);
    }
    EXPECT_EQ(state.gameShown, 1);
    EXPECT_EQ(state.gameStage, 1);
    EXPECT_EQ(state.loadingWidth, 1024);
    EXPECT_EQ(state.loadingHeight, 768);
    EXPECT_FALSE(IsWindowVisible(page->window));
}

TEST_F(PageEventsTest, AShownMainWindowOrTheWebModeKeepsThePageWhereItIs) {
    ASSERT_TRUE(EnsureMainWindow(state));
    ShowWindow(state.mainWindowRecord.window, SW_SHOW);
    Visit(u"http://cdn.example/play");
    EXPECT_EQ(state.gamePage, nullptr);
    EXPECT_FALSE(QuitPosted());

    ShowWindow(state.mainWindowRecord.window, SW_HIDE);
    state.mcType = 0;
    Visit(u"http://cdn.example/play?again");
    EXPECT_EQ(state.gamePage, nullptr);
    EXPECT_FALSE(QuitPosted());
}

TEST_F(PageEventsTest, BackgroundPagesHideWhenTheirDocumentCompletes) {
    VoluxTest::FakeDocument otherDocument;
    otherDocument.location = u"http://news.example/";
    WebWindow* other = VoluxTest::MakeFakePage(state.frames[0]->window, otherDocument);
    ASSERT_NE(other, nullptr);
    PageEntry entry;
    entry.id = 7;
    entry.page = other;
    state.pages.Append(entry);
    ShowWindow(other->window, SW_SHOW);
    ShowWindow(page->window, SW_SHOW);

    VoluxTest::LogCapture log;
    OnPageDocumentComplete(*other);
    OnPageDocumentComplete(*page);  // the game page stays
    EXPECT_NE(log.trace.find(u"[MC] Onload called: http://news.example/"), std::u16string::npos);
    // The frame itself is hidden: the pages' own visibility is what counts.
    EXPECT_EQ(GetWindowLongPtrW(other->window, GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_NE(GetWindowLongPtrW(page->window, GWL_STYLE) & WS_VISIBLE, 0);
}

TEST_F(PageEventsTest, LocationSwitchIntoAndOutOfFrameAddresses) {
    struct Case {
        int mcTypeBefore;
        const char16_t* address;
        bool restart;
        int mcTypeAfter;
        bool frameLine;
    } cases[] = {
        {0, u"http://frame.example/lobby", false, 1, true},
        {1, u"http://cdn.example/play", false, 0, false},
        {1, u"http://frame.example/lobby", true, 1, true},
        {0, u"HTTP://FRAME.EXAMPLE/lobby", true, 0, false},  // prefixes are case-sensitive
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        state.mcType = c.mcTypeBefore;
        state.gameStage = 2;
        state.refreshing = 1;
        VoluxTest::LogCapture log;
        WebWindow* before = FindGamePage(state.pages);
        ASSERT_NE(before, nullptr);
        HWND parentBefore = GetParent(before->window);
        SwitchLocation(state, c.address, c.restart);
        WebWindow* after = FindGamePage(state.pages);
        ASSERT_NE(after, nullptr);
        EXPECT_EQ(state.mcType, c.mcTypeAfter);
        EXPECT_EQ(log.trace.find(u"[MC] Switching to frame url ") != std::u16string::npos, c.frameLine);
        EXPECT_EQ(state.gameStage, c.frameLine ? 0 : 2);
        EXPECT_EQ(state.refreshing, c.frameLine ? 0 : 1);
        if (c.restart) {
            // A new page in the old one's place, with the launcher's events, sent to the address.
            EXPECT_EQ(GetParent(after->window), parentBefore);
            EXPECT_EQ(after->onNavigateComplete, &OnPageNavigateComplete);
            EXPECT_EQ(state.pages.Count(), 1u);
            // The new page has its host's document, not the fake: the address is asked of it.
            after->document = &document;
            page = after;
        } else {
            EXPECT_EQ(after, before);
            EXPECT_EQ(document.location, c.address);
        }
    }
}

LauncherState* sSwitching = nullptr;
void SwitchWithRestart(WebWindow&) { SwitchLocation(*sSwitching, u"http://frame.example/again", true); }

// The page's own navigate-complete may replace it: the window procedure that delivered the event
// must not touch the page afterwards, and the new page takes its place.
TEST_F(PageEventsTest, ARestartFromThePagesOwnEventReplacesIt) {
    sSwitching = &state;
    page->onNavigateComplete = &SwitchWithRestart;
    HWND old = page->window;
    SendMessageW(old, _WM_NAVIGATE_COMPLETE, 0, 0);
    EXPECT_FALSE(IsWindow(old));
    WebWindow* after = FindGamePage(state.pages);
    ASSERT_NE(after, nullptr);
    EXPECT_NE(after->window, nullptr);
    EXPECT_EQ(state.pages.Count(), 1u);
    EXPECT_EQ(state.mcType, 1);
    page = after;
}

// Over a layered game frame the page floats as a window of its own, with no parent window; a
// restart still makes its successor where it was, in the frame it belongs to.
TEST_F(PageEventsTest, ARestartOfAPageFloatingOverTheFrameKeepsAGamePage) {
    AttachToGameFrame(*page, *state.frames[0]);
    ASSERT_EQ(GetParent(page->window), nullptr);
    MoveWindow(page->window, 30, 40, 200, 150, FALSE);
    SwitchLocation(state, u"http://frame.example/again", true);
    WebWindow* after = FindGamePage(state.pages);
    ASSERT_NE(after, nullptr);
    ASSERT_NE(after->window, nullptr);
    EXPECT_EQ(after->parent, state.frames[0]->window);
    EXPECT_EQ(after->width, 200);
    EXPECT_EQ(after->height, 150);
    EXPECT_EQ(state.frames[0]->attachedWindow, nullptr);  // not the old, destroyed window
    page = after;
}

TEST_F(PageEventsTest, NoGamePageNoSwitch) {
    for (_dword i = 0; i < state.pages.Count(); i++)
        DestroyWebWindow(state.pages[i].page);
    state.pages.Clear();
    VoluxTest::LogCapture log;
    SwitchLocation(state, u"http://frame.example/", false);
    EXPECT_NE(log.trace.find(u"[MC] Switch location to: http://frame.example/, restart 0"), std::u16string::npos);
    EXPECT_EQ(state.mcType, 1);  // unchanged
}

TEST(GameSizeTest, AddressesCarryTheGameSize) {
    struct Case {
        const char16_t* address;
        bool found;
        int width;
        int height;
    } cases[] = {
        {u"http://g.example/play?w=1024&h=768", true, 1024, 768},
        {u"http://g.example/play?w=0&h=768", false, 0, 0},
        {u"http://g.example/play?w=1024", false, 1024, 0},
        {u"http://g.example/play?w=abc&h=768", false, 0, 0},
        {u"http://g.example/play?w=9999999&h=768", false, 0, 0},  // no such screen
        {u"http://g.example/show=800&h=600", true, 800, 600},     // the leftmost "w=" wins
        {u"", false, 0, 0},
    };
    for (const Case& c : cases) {
        int width = -1;
        int height = -1;
        EXPECT_EQ(ReadGameSize(c.address, width, height), c.found) << (&c - cases);
        if (c.found) {
            EXPECT_EQ(width, c.width);
            EXPECT_EQ(height, c.height);
        }
    }
}

} // namespace
} // namespace Volux
