// The script object through the real script manager: what snippets of config.lua and
// launcher.lua leave in the launcher record, the frame records and the main-window record.
#include <gtest/gtest.h>

#include <vector>

#include <functional>
#include <string>

#include "Common/StringEncoding.h"
#include "Script/LuaScriptManager.h"
#include "Support/LogCapture.h"
#include "launcher/Frames.h"
#include "launcher/LauncherScript.h"
// After windows.h: it takes back the DeleteFile macro.
#include "Platform/File.h"

namespace Volux {
namespace {

using VoluxTest::LogCapture;

std::string Narrow(const char16_t* text) {
    std::string out;
    for (; *text != 0; text++)
        out += *text < 0x80 ? char(*text) : '?';
    return out;
}

class LauncherScriptTest : public testing::Test {
protected:
    void SetUp() override {
        state.mainWindow = &state.mainWindowRecord;
        ASSERT_TRUE(RegisterLauncherClasses(scripts));
        ASSERT_TRUE(CreateLauncherObject(scripts));
        RegisterLauncherGlobals(scripts);
    }
    void TearDown() override {
        // Frames hold their buttons' script objects: they go while the manager is there.
        for (int slot = 0; slot < LauncherState::_FRAME_SLOTS; slot++)
            DestroyFrame(state, slot);
        SetConfirmFunction(nullptr);
    }
    void Run(const char16_t* text) {
        Variable ignored;
        EXPECT_TRUE(scripts.RunString(ignored, text, u"test.lua", _RUN_DISCARD)) << Narrow(scripts.GetLastError().Text());
    }
    std::u16string Eval(const char16_t* text) {
        Variable result;
        EXPECT_TRUE(scripts.RunString(result, text, u"test.lua", _RUN_CONVERT)) << Narrow(scripts.GetLastError().Text());
        return std::u16string(result.AsText().Text());
    }

    LauncherState state;
    LuaScriptManager scripts;
};

struct SnippetCase {
    const char* name;
    const char16_t* script;
    std::function<void(const LauncherState&)> check;
};

TEST_F(LauncherScriptTest, SnippetsLeaveTheirSettingsInTheRecord) {
    const SnippetCase cases[] = {
        {"appName fills the empty names", u"_launcher.appName = 'game'",
         [](const LauncherState& s) {
             EXPECT_EQ(s.appName, u"game");
             EXPECT_EQ(s.fileName, u"game");
             EXPECT_EQ(s.resName, u"game");
         }},
        {"a second appName changes only appName", u"_launcher.appName = 'other'",
         [](const LauncherState& s) {
             EXPECT_EQ(s.appName, u"other");
             EXPECT_EQ(s.fileName, u"game");
         }},
        {"empty and nil leave filtered names", u"_launcher.appName = '' _launcher.appName = nil _launcher.resName = 'nil'",
         [](const LauncherState& s) {
             EXPECT_EQ(s.appName, u"other");
             EXPECT_EQ(s.resName, u"game");
         }},
        {"fileName fills only resName", u"_launcher.resName = 'r' _launcher.fileName = 'f'",
         [](const LauncherState& s) {
             EXPECT_EQ(s.fileName, u"f");
             EXPECT_EQ(s.resName, u"r");
         }},
        {"title is not filtered", u"_launcher.title = 'T' _launcher.title = ''",
         [](const LauncherState& s) { EXPECT_EQ(s.title, u""); }},
        {"flag fields switch their bits", u"_launcher.resizable = false _launcher.maximAtStart = true",
         [](const LauncherState& s) { EXPECT_EQ(s.windowFlags, 0x71u | 0x80u | 0x100u); }},
        {"button switches clear and set their bits",
         u"_launcher.resizable = true _launcher.maximAtStart = false _launcher:enableMaxButton(false) "
         u"_launcher:enableMinButton(false) _launcher:enableSystemButton(true)",
         [](const LauncherState& s) { EXPECT_EQ(s.windowFlags, 0x01u | 0x10u); }},
        {"border colour keeps 24 bits", u"_launcher.borderColor = 0x12345678 _launcher.borderWidth = 3",
         [](const LauncherState& s) {
             EXPECT_EQ(s.mainWindowRecord.borderColour, 0x345678);
             EXPECT_EQ(s.mainWindowRecord.borderWidth, 3);
         }},
        {"shortcut flags 0 store 1", u"_launcher:createShortcut('ignored', 0)",
         [](const LauncherState& s) { EXPECT_EQ(s.shortcutFlags, 1); }},
        {"copyTo trims spaces", u"_launcher:copyTo('   C:\\\\old dir\\\\mc.exe  ')",
         [](const LauncherState& s) {
             EXPECT_EQ(s.fileOperation, 1);
             EXPECT_EQ(s.fileOperationPath, u"C:\\old dir\\mc.exe");
         }},
        {"deleteFile with nothing", u"_launcher:deleteFile()",
         [](const LauncherState& s) {
             EXPECT_EQ(s.fileOperation, 2);
             EXPECT_EQ(s.fileOperationPath, u"");
         }},
        {"startLoader without a file changes nothing", u"_launcher:startGame('http://g/') _launcher:startLoader('')",
         [](const LauncherState& s) {
             EXPECT_EQ(s.mcType, 0);
             EXPECT_EQ(s.gameURL, u"http://g/");
             EXPECT_EQ(s.loaderFile, u"");
         }},
        {"numbers where texts belong and texts where numbers belong",
         u"_launcher.width = 'wide' _launcher.height = 640.9 _launcher:setLoadingSize('a')",
         [](const LauncherState& s) {
             EXPECT_EQ(s.width, 0);
             EXPECT_EQ(s.height, 640);
             EXPECT_EQ(s.loadingWidth, 0);
         }},
        {"prompts: empty texts keep the old ones", u"_launcher:setPrompts('', 'VIP', nil)",
         [](const LauncherState& s) {
             EXPECT_EQ(s.exitPrompt, u"是否确定退出微端？");
             EXPECT_EQ(s.vipMenuText, u"VIP");
         }},
        {"address lists take the given texts in order",
         u"_launcher:setFrameURLs('a', '', 'c') _launcher:setQuietURLs() _launcher:setKickFunc('') "
         u"_launcher:setKickFunc('kick')",
         [](const LauncherState& s) {
             ASSERT_EQ(s.frameURLs.Count(), 2u);
             EXPECT_EQ(s.frameURLs[1], u"c");
             EXPECT_EQ(s.quietURLs.Count(), 0u);
             EXPECT_EQ(s.kickFunction, u"kick");
         }},
        {"checkMC stores nothing unless both addresses are usable",
         u"_launcher:checkMC('http://up/', 'nil') _launcher:setupPlugin('') _launcher:setupPlugin('http://p/')",
         [](const LauncherState& s) {
             EXPECT_EQ(s.upgradeURL, u"");
             EXPECT_EQ(s.pluginURL, u"http://p/");
         }},
        {"info server needs its template", u"_launcher:setInfoServer('', 'id') _launcher:setInfoServer('t', 'id', 'alt')",
         [](const LauncherState& s) {
             EXPECT_EQ(s.infoServer.urlTemplate, u"t");
             EXPECT_EQ(s.infoServer.altIdKey, u"alt");
             EXPECT_EQ(s.infoServer.errorKey, u"");
         }},
        {"game margins and loader size", u"_launcher:setGameMargins(1, 2, 3) _launcher:setLoadingSize(640, 480)",
         [](const LauncherState& s) {
             EXPECT_EQ(s.gameMargins[2], 3);
             EXPECT_EQ(s.gameMargins[3], 0);
             EXPECT_EQ(s.loadingHeight, 480);
         }},
        {"a method called with '.' instead of ':' still works", u"_launcher.startGame('http://dot/')",
         [](const LauncherState& s) { EXPECT_EQ(s.gameURL, u"http://dot/"); }},
    };
    // The rows run in order on one record: later rows see what earlier ones set.
    for (const SnippetCase& row : cases) {
        SCOPED_TRACE(row.name);
        Run(row.script);
        row.check(state);
    }
}

TEST_F(LauncherScriptTest, FieldsReadBackAsScriptsExpect) {
    state.exeName = u"mc.exe";
    state.cmd = u"mc.exe /install";
    Run(u"_launcher.appName = 'game' _launcher.borderColor = 0x1FFFFFF _launcher.appAutoStart = true");
    struct ReadCase {
        const char16_t* expression;
        const char16_t* expected;
    };
    const ReadCase cases[] = {
        {u"_launcher.exeName", u"mc.exe"},
        {u"_launcher.cmd", u"mc.exe /install"},
        {u"_launcher.resName", u"game"},
        {u"tostring(_launcher.borderColor)", u"16777215"},
        {u"tostring(_launcher.resizable)", u"true"},
        {u"tostring(_launcher.appAutoStart)", u"true"},
        {u"_launcher.width .. 'x' .. _launcher.height", u"1200x900"},
        {u"_launcher.appSize .. ',' .. _launcher.appTimeout", u"900,3000"},
        {u"_Launcher.typeid .. _launcher.typestr", u"30_Launcher"},
        {u"_LauncherButton.typeid .. _LauncherButton.typestr", u"31_LauncherButton"},
        {u"tostring(_launcher.screenWidth > 0 and _launcher.tick >= 0)", u"true"},
    };
    for (const ReadCase& row : cases) {
        SCOPED_TRACE(Narrow(row.expression));
        EXPECT_EQ(Eval((std::u16string(u"return ") + row.expression).c_str()), row.expected);
    }
}

TEST_F(LauncherScriptTest, MainWindowFieldsAreEmptyWithoutTheRecord) {
    state.mainWindow = nullptr;
    Run(u"_launcher.titleFont = 'Arial' _launcher.borderWidth = 4 _launcher:setMinSize(800, 600) "
        u"_launcher:addGameMenu('Game')");
    EXPECT_EQ(Eval(u"return _launcher.titleFont .. '|' .. _launcher.borderWidth"), u"|0");
    EXPECT_TRUE(state.mainWindowRecord.titleFontFace.IsEmpty());
    EXPECT_EQ(state.mainWindowRecord.minWidth, 0);
    EXPECT_EQ(state.mainWindowRecord.menuCommands.Count(), 0u);
    EXPECT_EQ(state.commands.Count(), 0u);
}

TEST_F(LauncherScriptTest, FramesCollectTheirControls) {
    Run(u"_launcher:newFrameWin(2, 'Boss key', 10, 20, 300, 200, 0) "
        u"_launcher:setBackground('up.png', 2) _launcher:setBackground('missing.png', 2) "
        u"_launcher:addCloseButton(270, 4, 24, 24, 'up.png', 'hover.png', 'down.png', 2) "
        u"_launcher:addLabel(7, 10, 10, 200, 20, 'Hello', 'Arial', 0xFF0000, 16, 9, 2) "
        u"_launcher:addProgressBar(0, 10, 150, 280, 12, 'Arial', 0xFFFFFF, 12, 1, 'up.png', 'down.png', 2) "
        u"_launcher:addCheckBox(1, 10, 40, 16, 16, 2) "
        u"_launcher:addHotkeyBox(2, 30, 40, 100, 20, 'Arial', 5, 14, 6, 2) "
        u"_launcher:addComboBox(3, 10, 70, 100, -20, 'Arial', 1, 14, 2, 2)");
    FrameWindow* frame = state.frames[2];
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(IsWindow(frame->window));
    EXPECT_EQ(frame->background.name, u"up.png");  // the missing one left it
    EXPECT_NE(frame->background.image, nullptr);
    ASSERT_EQ(frame->buttons.Count(), 1u);
    EXPECT_EQ(frame->buttons[0].kind, 0);
    EXPECT_EQ(frame->buttons[0].rect.right, 294);
    EXPECT_EQ(frame->buttons[0].imageHover.name, u"hover.png");
    ASSERT_EQ(frame->labels.Count(), 1u);
    EXPECT_EQ(frame->labels[0].text, u"Hello");
    EXPECT_EQ(frame->labels[0].alignment, 0);  // 9 is no alignment
    ASSERT_EQ(frame->progressBars.Count(), 1u);
    EXPECT_TRUE(frame->SetProgress(0.5f));
    EXPECT_FLOAT_EQ(frame->progressBars[0].progress, 0.5f);
    EXPECT_EQ(frame->checkBoxes.Count(), 1u);
    ASSERT_EQ(frame->hotkeyBoxes.Count(), 1u);
    EXPECT_EQ(frame->hotkeyBoxes[0].value2, 6);
    ASSERT_EQ(frame->comboBoxes.Count(), 1u);
    EXPECT_EQ(frame->comboBoxes[0].rect.bottom, 70);  // a negative height is none
}

TEST_F(LauncherScriptTest, BadSlotsAndTakenSlotsDoNothing) {
    LogCapture log;
    Run(u"_launcher:newFrameWin(1, 'one', 0, 0, 100, 100, 0) "
        u"_launcher:newFrameWin(1, 'again', 0, 0, 50, 50, 0) "
        u"_launcher:newFrameWin(7, 'seven', 0, 0, 50, 50, 0) "
        u"_launcher:newFrameWin(-1, 'negative', 0, 0, 50, 50, 0) "
        u"_launcher:newFrameWin(2^32, 'wrapped to 0', 0, 0, 50, 50, 0) "
        u"_launcher:newFrameWin(2^32 + 3, 'wrapped to 3', 0, 0, 50, 50, 0) "
        u"_launcher:newFrameWin(0/0, 'not a number', 0, 0, 50, 50, 0) "
        u"_launcher:newFrameWin(2.5, 'a fraction', 0, 0, 50, 50, 0) "
        u"_launcher:newFrameWin('2', 'a text', 0, 0, 50, 50, 0) "
        u"_launcher:addLabel(1, 0, 0, 1, 1, 'x', 'Arial', 0, 10, 0, 5) "
        u"_launcher:addCloseButton(0, 0, 1, 1, 'up.png', 'up.png', 'up.png', 99) "
        u"_launcher:addWebWindow(0, 0, 10, 10, 'http://x/', 0, false, 4) "
        u"b = _launcher:addUserButton(0, 0, 1, 1, 'up.png', 'up.png', 'up.png', 1, 6)");
    ASSERT_NE(state.frames[1], nullptr);
    EXPECT_EQ(state.frames[1]->width, 100);
    EXPECT_EQ(state.frames[0], nullptr);
    for (int slot = 2; slot < LauncherState::_FRAME_SLOTS; slot++)
        EXPECT_EQ(state.frames[slot], nullptr) << slot;
    EXPECT_EQ(state.mcType, 0);
    EXPECT_EQ(Eval(u"return tostring(b)"), u"nil");
    EXPECT_TRUE(log.error.empty()) << Narrow(log.error.c_str());
}

TEST_F(LauncherScriptTest, OverLongTextsLeaveKeptSettingsAsTheyWere) {
    Run(u"_launcher.title = 'Game' _launcher:setCleanCachePrompt('Caption', 'Prompt') "
        u"long = string.rep('t', 9000) "
        u"_launcher.title = long _launcher:setCleanCachePrompt(long, long) _launcher:deleteFile(long) "
        u"_launcher:startGame(long)");
    EXPECT_EQ(state.title, u"Game");
    EXPECT_EQ(state.promptCaption, u"Caption");
    EXPECT_EQ(state.cleanCachePrompt, u"Prompt");
    EXPECT_EQ(state.fileOperation, 0);
    EXPECT_TRUE(state.gameURL.IsEmpty());
}

TEST_F(LauncherScriptTest, SendMsgTakesOnlyMessagesWithPlainNumbers) {
    // A window that records what reaches it stands in for the game frame.
    static std::vector<UINT> received;
    received.clear();
    Run(u"_launcher:newFrameWin(0, 'game', 0, 0, 100, 100, 0)");
    ASSERT_NE(state.frames[0], nullptr);
    FrameWindow::SetMessageHook([](const FrameMessage& message) {
        if (message.message == WM_NCCREATE || message.message == WM_SETTEXT || message.message >= WM_USER ||
            message.message == WM_COMMAND)
            received.push_back(message.message);
        return false;
    });
    // Creation, destruction and text messages carry pointers; 1086, 1225 and 1281 too.
    Run(u"_launcher:sendMsg(0x81, 0, 1) _launcher:sendMsg(0x82, 0, 0) _launcher:sendMsg(0x0C, 0, 1) "
        u"_launcher:sendMsg(1086, 0, 1) _launcher:sendMsg(1225, 1, 0) _launcher:sendMsg(1281, 1, 0) "
        u"_launcher:sendMsg(0x111, 5, 0) _launcher:sendMsg(1128, 2, 0)");
    FrameWindow::SetMessageHook(nullptr);
    EXPECT_EQ(received, std::vector<UINT>({WM_COMMAND, 1128}));
    EXPECT_TRUE(IsWindow(state.frames[0]->window));
}

TEST_F(LauncherScriptTest, ClicksOnFrameButtonsReachTheScriptAndTheLaunchersHandler) {
    InstallFrameHooks();
    Run(u"_launcher:newFrameWin(2, 'Boss key', 100, 100, 300, 200, 1) "
        u"_launcher:addMinimizeButton(200, 10, 30, 30, 'up.png', 'hover.png', 'down.png', 2) "
        u"_launcher:addCloseButton(250, 10, 30, 30, 'up.png', 'hover.png', 'down.png', 2) "
        u"clicks = 0 "
        u"local b = _launcher:addUserButton(20, 100, 80, 30, 'up.png', 'hover.png', 'down.png', 1, 2) "
        u"b.onClick = function() clicks = clicks + 1 end");
    FrameWindow* frame = state.frames[2];
    ASSERT_NE(frame, nullptr);
    frame->Show();
    // Press and release with the cursor where the system would report it.
    auto click = [frame](int x, int y) {
        POINT point = {x, y};
        ClientToScreen(frame->window, &point);
        SetCursorPos(point.x, point.y);
        SendMessageW(frame->window, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
        SendMessageW(frame->window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        SendMessageW(frame->window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    };
    click(60, 115);
    click(60, 115);
    EXPECT_EQ(Eval(u"return tostring(clicks)"), u"2");
    click(60, 100);  // on the border: not a click
    EXPECT_EQ(Eval(u"return tostring(clicks)"), u"2");
    click(265, 25);  // close on slots 1 to 3 hides the frame
    EXPECT_FALSE(IsWindowVisible(frame->window));
    frame->Show();
    click(215, 25);  // minimise
    EXPECT_TRUE(IsIconic(frame->window));
    RemoveFrameHooks();
}

TEST_F(LauncherScriptTest, UserButtonsCallTheirOnClickAndOutliveTheScriptsHold) {
    Run(u"_launcher:newFrameWin(3, 'Confirm', 0, 0, 200, 100, 0) "
        u"clicks = 0 "
        u"local b = _launcher:addUserButton(10, 10, 80, 24, 'up.png', 'hover.png', 'down.png', 1, 3) "
        u"b.onClick = function() clicks = clicks + 1 end "
        u"b.onClick = function() clicks = clicks + 10 end "
        u"onClickRead = b.onClick "
        u"typeOfButton = b.typeid");
    EXPECT_EQ(Eval(u"return onClickRead .. ',' .. typeOfButton"), u"0,31");
    // The script kept no reference: only the frame's hold keeps the object.
    scripts.CollectGarbage();
    scripts.CollectGarbage();
    FrameWindow* frame = state.frames[3];
    ASSERT_NE(frame, nullptr);
    ASSERT_EQ(frame->buttons.Count(), 1u);
    EXPECT_EQ(frame->buttons[0].kind, 2);
    EXPECT_EQ(frame->buttons[0].handCursor, 1);
    auto* button = static_cast<VoluxLauncherButton*>(frame->buttons[0].button);
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->Click());
    EXPECT_TRUE(button->Click());
    EXPECT_EQ(Eval(u"return tostring(clicks)"), u"20");  // the replaced function is gone
}

TEST_F(LauncherScriptTest, AddWebWindowRecordsThePageAndTheAttachedPlace) {
    Run(u"_launcher:newFrameWin(1, 'Pages', 0, 0, 400, 300, 0) "
        u"_launcher:addWebWindow(5, 6, 300, 200, 'http://a/', 2, true, 1) "
        u"_launcher:addWebWindow(0, 0, 0, 0, 'http://b/', 2, false, 1)");
    EXPECT_EQ(state.mcType, 1);
    EXPECT_EQ(state.firstPageURL, u"http://b/");
    ASSERT_EQ(state.pageRequests.Count(), 2u);
    EXPECT_EQ(state.pageRequests[0].force, 1);
    FrameWindow* frame = state.frames[1];
    // The second page's zero place and size leave the first one's.
    EXPECT_EQ(frame->attachedX, 5);
    EXPECT_EQ(frame->attachedHeight, 200);
    EXPECT_EQ(frame->followAttached, 0);
}

TEST_F(LauncherScriptTest, MenusFillTheRowsAndTheCommandTable) {
    Run(u"_launcher:addCustomCloseButton(1, 'up.png', 'hover.png', 'down.png') "
        u"_launcher:addCustomTrayButton(4, 'up.png', 'hover.png', 'down.png') "
        u"_launcher:addCustomMinButton(3, 'up.png', 'hover.png', 'down.png') "
        u"_launcher:addCustomMaxButton(2, 'up.png', 'missing.png', 'down.png') "
        u"_launcher:addCustomURLMenu(0, 'Home', 100, 'http://home/', 'up.png', 'hover.png', 'down.png') "
        u"_launcher:addCustomUserMenu(1, '', 'up.png', '', '', 0, 'user', 'logout') "
        u"_launcher:addCustomBossMenu(0, 'Boss', 'missing.png') "
        u"_launcher:addURLMenu(1001, 'refused', 'http://x/') "
        u"_launcher:addURLMenu(7, 'Forum', 'http://forum/', 0, 1) "
        u"_launcher:addGameMenu('Game')");
    const MainWindow& main = state.mainWindowRecord;
    // Sorted by order, whatever the order of the calls; the max button lacked an image.
    const Array<TitleBarButton>& system = main.rows[_ROW_SYSTEM];
    ASSERT_EQ(system.Count(), 3u);
    EXPECT_EQ(system[0].id, 1005);
    EXPECT_EQ(system[1].id, 1008);
    EXPECT_EQ(system[2].id, 1009);
    EXPECT_EQ(system[2].visibleIn, 255);
    ASSERT_EQ(main.rows[_ROW_LEFT].Count(), 1u);
    EXPECT_EQ(main.rows[_ROW_LEFT][0].value, u"http://home/");
    ASSERT_EQ(main.rows[_ROW_RIGHT].Count(), 1u);
    EXPECT_EQ(main.rows[_ROW_RIGHT][0].id, 1013);
    EXPECT_EQ(main.rows[_ROW_RIGHT][0].visibleIn, 0);
    EXPECT_EQ(state.serverInfoKeys.logoutKey, u"logout");
    ASSERT_EQ(main.menuCommands.Count(), 2u);
    EXPECT_EQ(main.menuCommands[0].id, 7);
    EXPECT_EQ(main.menuCommands[0].extra[1], 1);
    EXPECT_EQ(main.menuCommands[1].id, 1000);
    std::u16string ids;
    for (_dword i = 0; i < state.commands.Count(); i++)
        ids += std::u16string(u" ") + char16_t(u'0' + state.commands[i].id % 10);
    EXPECT_EQ(ids, u" 5 9 8 0 3 7 0");  // last digits: 1005 1009 1008 100 1013 7 1000
}

TEST_F(LauncherScriptTest, PopupSettingsKeepColoursAndBothCloseLooks) {
    Run(u"_launcher:setIMParams(1, 2, 320, -5, 0x1FF0000, 0x00FF00, 'Arial', ' - Chat') "
        u"_launcher:setIMCloseButton('up.png', 'missing.png', 3, 4) "
        u"_launcher:setVideoCloseButton('up.png', 'hover.png', 3, 4) "
        u"_launcher:setVideoTitleBg('down.png')");
    EXPECT_EQ(state.chatPopup.width, 320);
    EXPECT_EQ(state.chatPopup.height, 0);
    EXPECT_EQ(state.chatPopup.captionColour, 0xFF0000);
    EXPECT_EQ(state.chatPopup.titleSuffix, u" - Chat");
    EXPECT_TRUE(state.chatPopup.closeImage.IsEmpty());
    EXPECT_EQ(state.videoPopup.closeHoverImage, u"hover.png");
    EXPECT_EQ(state.videoPopup.closeTop, 4);
    EXPECT_EQ(state.videoPopup.captionImage, u"down.png");
}

TEST_F(LauncherScriptTest, InfoAndPrintJoinTheirArgumentsOnOneTraceLine) {
    LogCapture log;
    Run(u"_info('a', 2, true) print('solo')");
    EXPECT_NE(log.trace.find(u"a, 2, true\n"), std::u16string::npos) << Narrow(log.trace.c_str());
    EXPECT_NE(log.trace.find(u"solo\n"), std::u16string::npos);
}

TEST_F(LauncherScriptTest, OverLongTextsAreRefusedWithOneLine) {
    LogCapture log;
    Run(u"_launcher.appName = 'game' _launcher.appName = string.rep('x', 9000) "
        u"_launcher:startGame(string.rep('y', 100000))");
    EXPECT_EQ(state.appName, u"game");
    EXPECT_EQ(state.gameURL, u"");
    EXPECT_NE(log.error.find(u"longer than"), std::u16string::npos);
}

TEST_F(LauncherScriptTest, CleanCacheAsksOnceAndClearsTheQuestion) {
    static int sAsked = 0;
    sAsked = 0;
    SetConfirmFunction([](HWND, const char16_t* text, const char16_t* caption) {
        sAsked++;
        EXPECT_EQ(std::u16string(text), u"Clean?");
        EXPECT_EQ(std::u16string(caption), u"Game");
        return false;
    });
    Run(u"_launcher:setCleanCachePrompt('Game', 'Clean?') _launcher:cleanCache()");
    EXPECT_EQ(sAsked, 1);
    EXPECT_EQ(state.pendingConfirmation, 0);
    // With the confirmation frame the box's own buttons answer later.
    Run(u"_launcher:newFrameWin(3, 'Confirm', 0, 0, 200, 100, 0) _launcher:addLabel(0, 0, 0, 10, 10, '') "
        u"_launcher:cleanCache()");
    EXPECT_EQ(sAsked, 1);
    EXPECT_EQ(state.pendingConfirmation, 2);
}

TEST_F(LauncherScriptTest, GetIniValueReadsTheCurrentFoldersFile) {
    const char text[] = "[game]\r\nserver = 10.0.0.1 \r\n[other]\r\nserver=wrong\r\n";
    ASSERT_TRUE(FileSystem::WriteFile(u"launcher-test.ini", text, sizeof(text) - 1));
    EXPECT_EQ(Eval(u"return _launcher:getIniValue('launcher-test.ini', 'GAME', 'Server')"), u"10.0.0.1");
    EXPECT_EQ(Eval(u"return _launcher:getIniValue('launcher-test.ini', 'game', 'port')"), u"");
    EXPECT_EQ(Eval(u"return _launcher:getIniValue('no-such.ini', 'game', 'server')"), u"");
    FileSystem::DeleteFile(u"launcher-test.ini");
}

} // namespace
} // namespace Volux
