#include <gtest/gtest.h>

#include "FakePage.h"
#include "launcher/MainWindowHooks.h"
#include "launcher/PageTurns.h"
#include "launcher/StartUp.h"
#include "ui/FrameWindow.h"

namespace Volux {
namespace {

// The frame mode after a game turn: the game page sits in the main window, the popups exist.
class PageTurnsTest : public testing::Test {
protected:
    void SetUp() override {
        state.mcType = 1;
        state.width = 400;
        state.height = 300;
        ASSERT_TRUE(CreateGameFrame(state));
        ASSERT_TRUE(EnsureMainWindow(state));
        page = VoluxTest::MakeFakePage(state.mainWindowRecord.window, document);
        ASSERT_NE(page, nullptr);
        AddGamePage(state.pages, page);
        state.imPage = VoluxTest::MakeFakePage(nullptr, document, 3);
        state.videoPage = VoluxTest::MakeFakePage(state.mainWindowRecord.window, document, 4);
    }
    void TearDown() override { ShutDown(state); }

    LauncherState state;
    VoluxTest::FakeDocument document;
    WebWindow* page = nullptr;
};

TEST_F(PageTurnsTest, TheGamePageReturnsToTheFrameByTheFramesShape) {
    struct Case {
        const char16_t* region;
        bool child;
    } cases[] = {{u"", false}, {u"FRAME_REGION.BIN", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.child ? "region" : "no region");
        FrameWindow* frame = state.frames[0];
        frame->region = c.region;
        frame->attachedWindow = nullptr;
        SetParent(page->window, state.mainWindowRecord.window);
        EndPageTurn(state);
        const LONG_PTR style = GetWindowLongPtrW(page->window, GWL_STYLE);
        const LONG_PTR extended = GetWindowLongPtrW(page->window, GWL_EXSTYLE);
        if (c.child) {
            EXPECT_EQ(GetParent(page->window), frame->window);
            EXPECT_EQ(style & (WS_CHILD | WS_POPUP), LONG_PTR(WS_CHILD));
            EXPECT_EQ(extended & WS_EX_TOOLWINDOW, 0);
            EXPECT_EQ(frame->attachedWindow, nullptr);
        } else {
            EXPECT_EQ(GetAncestor(page->window, GA_PARENT), GetDesktopWindow());
            EXPECT_EQ(style & (WS_CHILD | WS_POPUP), LONG_PTR(WS_POPUP));
            EXPECT_EQ(extended & WS_EX_TOOLWINDOW, LONG_PTR(WS_EX_TOOLWINDOW));
            EXPECT_EQ(frame->attachedWindow, page->window);
        }
        EXPECT_EQ(state.imPage, nullptr);
        EXPECT_EQ(state.videoPage, nullptr);
    }
}

TEST_F(PageTurnsTest, CustomEntriesGetTheirTurnStartTexts) {
    MainWindow& main = state.mainWindowRecord;
    for (int id : {1010, 1011, 1012, 1013}) {
        TitleBarButton button;
        button.id = id;
        button.text = u"changed";
        main.AddButton(_ROW_RIGHT, std::move(button));
    }
    state.vipMenuText = u"VIP";
    EndPageTurn(state);
    EXPECT_EQ(main.FindButton(1010)->text, u"VIP");
    for (int id : {1011, 1012, 1013})
        EXPECT_TRUE(main.FindButton(id)->text.IsEmpty()) << id;
}

TEST_F(PageTurnsTest, ReleasingTakesEveryPageOnce) {
    // The game page is both listed and gamePage: it must go exactly once.
    state.gamePage = page;
    HWND window = page->window;
    ReleasePages(state);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(state.pages.Count(), 0u);
    EXPECT_EQ(state.gamePage, nullptr);
    EXPECT_EQ(state.imPage, nullptr);
    EXPECT_EQ(state.videoPage, nullptr);
}

} // namespace
} // namespace Volux
