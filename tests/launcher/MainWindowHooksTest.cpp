#include <gtest/gtest.h>

#include <windows.h>

#include "Support/LogCapture.h"
#include "launcher/Frames.h"
#include "launcher/LauncherScript.h"
#include "launcher/MainWindowHooks.h"
#include "launcher/StartUp.h"
#include "ui/MainWindow.h"

namespace Volux {
namespace {

bool sAnswer = false;
int sAsked = 0;
bool Answer(HWND, const char16_t*, const char16_t*) {
    sAsked++;
    return sAnswer;
}

// A launcher record with its main window; everything goes again after each test.
class MainWindowHooksTest : public testing::Test {
protected:
    void SetUp() override {
        sAsked = 0;
        SetConfirmFunction(&Answer);
        state.title = u"Game";
        state.width = 400;
        state.height = 300;
        ASSERT_TRUE(EnsureMainWindow(state));
        window = state.mainWindowRecord.window;
    }
    void TearDown() override {
        SetConfirmFunction(nullptr);
        ShutDown(state);
    }
    bool QuitPosted() {
        MSG message;
        return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
    }

    LauncherState state;
    HWND window = nullptr;
};

TEST_F(MainWindowHooksTest, ClosingAsksAndOnlyYesEndsTheTurn) {
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(state.mainWindow, &state.mainWindowRecord);

    sAnswer = false;
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(sAsked, 1);
    EXPECT_EQ(state.quitState, 0);
    EXPECT_FALSE(QuitPosted());
    EXPECT_TRUE(IsWindow(window));

    sAnswer = true;
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(sAsked, 2);
    EXPECT_EQ(state.quitState, 1);
    EXPECT_TRUE(QuitPosted());
    // Once quitting, closing again asks nothing.
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(sAsked, 2);
    QuitPosted();
}

TEST_F(MainWindowHooksTest, ConfirmationFrameAsksInsteadOfABox) {
    ASSERT_NE(CreateFrame(state, 3, u"Confirm", 0, 0, 200, 100, 1), nullptr);
    FrameLabel text;
    text.id = 1;
    state.frames[3]->AddLabel(std::move(text));
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(sAsked, 0);
    EXPECT_EQ(state.pendingConfirmation, 1);
    EXPECT_TRUE(IsWindowVisible(state.frames[3]->window));
    EXPECT_EQ(state.frames[3]->labels[0].text, state.exitPrompt);
    EXPECT_EQ(state.quitState, 0);
}

TEST_F(MainWindowHooksTest, BossKeySettingsToggleWithTheStoredKey) {
    ASSERT_NE(CreateFrame(state, 2, u"Boss key", 0, 0, 300, 200, 1), nullptr);
    FrameWindow* frame = state.frames[2];
    frame->AddCheckBox(0, MakeFrameRect(10, 10, 16, 16), false);
    FrameFieldControl hotkey;
    hotkey.rect = MakeFrameRect(10, 40, 120, 20);
    frame->AddHotkeyBox(std::move(hotkey), 0);
    state.bossKeyEnabled = 1;
    state.bossHotkey = 0;

    OnMainCommand(1015, u"", u"");
    EXPECT_TRUE(IsWindowVisible(frame->window));
    EXPECT_TRUE(frame->IsChecked(0));
    EXPECT_EQ(frame->Hotkey(0), 512);  // no key stored: Ctrl alone is offered
    OnMainCommand(1015, u"", u"");
    EXPECT_FALSE(IsWindowVisible(frame->window));
}

TEST_F(MainWindowHooksTest, MenuAddressesGoToTheShellOnlyWhenTheyAreWebAddresses) {
    struct Case {
        const char16_t* value;
        bool refused;
    } cases[] = {
        {u"file:///c:/windows/system32/calc.exe", true},
        {u"cmd.exe /c echo", true},
        {u"javascript:alert(1)", true},
        {u"", false},  // nothing to open, nothing to say
    };
    for (const Case& c : cases) {
        VoluxTest::LogCapture log;
        OnMainCommand(0, u"", c.value);
        EXPECT_EQ(log.trace.find(u"[MC] Menu address refused") != std::u16string::npos, c.refused);
    }
}

} // namespace
} // namespace Volux
