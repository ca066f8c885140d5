#include <gtest/gtest.h>

#include <string>

#include "FakePage.h"
#include "Support/LogCapture.h"
#include "launcher/ExitQuestion.h"
#include "launcher/Frames.h"
#include "launcher/LauncherScript.h"
#include "launcher/StartUp.h"

namespace Volux {
namespace {

int sAsked = 0;
bool sAnswer = false;
int sQuitStateWhileAsking = -1;
bool Answer(HWND, const char16_t*, const char16_t*) {
    sAsked++;
    if (LauncherState* state = LauncherState::Instance()) {
        sQuitStateWhileAsking = state->quitState;
        // A second question while this one is open (a close arriving inside the box's loop).
        EXPECT_FALSE(AskExit(*state, nullptr, u""));
    }
    return sAnswer;
}

class ExitQuestionTest : public testing::Test {
protected:
    void SetUp() override {
        sAsked = 0;
        sQuitStateWhileAsking = -1;
        SetConfirmFunction(&Answer);
    }
    void TearDown() override {
        SetConfirmFunction(nullptr);
        ShutDown(state);
    }

    LauncherState state;
};

TEST_F(ExitQuestionTest, AnswersByQuitStateAndTheBox) {
    struct Case {
        int quitState;
        bool answer;
        bool yes;
        int asked;
        int quitStateAfter;
    } cases[] = {
        {1, false, true, 0, 1},  // already quitting
        {2, false, true, 0, 2},
        {3, true, false, 0, 3},  // already asking: no
        {0, true, true, 1, 1},
        {0, false, false, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        sAsked = 0;
        sAnswer = c.answer;
        state.quitState = c.quitState;
        EXPECT_EQ(AskExit(state, nullptr, u""), c.yes);
        EXPECT_EQ(sAsked, c.asked);
        EXPECT_EQ(state.quitState, c.quitStateAfter);
        if (c.asked != 0) {
            EXPECT_EQ(sQuitStateWhileAsking, 3);
        }
    }
}

TEST_F(ExitQuestionTest, AnExitAddressIsOpenedInsteadOfAsking) {
    ASSERT_TRUE(CreateGameFrame(state));
    VoluxTest::FakeDocument document;
    WebWindow* page = VoluxTest::MakeFakePage(state.frames[0]->window, document);
    ASSERT_NE(page, nullptr);
    AddGamePage(state.pages, page);
    VoluxTest::LogCapture log;
    EXPECT_TRUE(AskExit(state, nullptr, u"http://game.example/bye"));
    EXPECT_EQ(sAsked, 0);
    EXPECT_EQ(document.location, u"http://game.example/bye");
    EXPECT_EQ(state.quitState, 0);
}

TEST_F(ExitQuestionTest, TheConfirmationFrameAsksLater) {
    ASSERT_NE(CreateFrame(state, 3, u"Confirm", 0, 0, 200, 100, 1), nullptr);
    EXPECT_FALSE(AskExit(state, nullptr, u""));
    EXPECT_EQ(sAsked, 0);
    EXPECT_EQ(state.pendingConfirmation, 1);
    EXPECT_TRUE(IsWindowVisible(state.frames[3]->window));

    // Its yes: the box hides and the launcher quits.
    AcceptConfirmation(state, 3, nullptr);
    EXPECT_FALSE(IsWindowVisible(state.frames[3]->window));
    EXPECT_EQ(state.quitState, 1);
    EXPECT_EQ(state.pendingConfirmation, 0);
    MSG message;
    EXPECT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

} // namespace
} // namespace Volux
