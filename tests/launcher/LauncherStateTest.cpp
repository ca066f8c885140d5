#include <gtest/gtest.h>

#include <string>

#include "Common/EngineContext.h"
#include "Common/StringEncoding.h"
#include "launcher/LauncherState.h"

namespace Volux {
namespace {

std::string Utf8(const char16_t* text) {
    char buffer[1024];
    WideToUtf8(buffer, int(sizeof(buffer)), text);
    return buffer;
}

struct TextDefault {
    const char* field;
    WString LauncherState::*member;
    const char16_t* expected;
};

const TextDefault kTextDefaults[] = {
    {"title", &LauncherState::title, u""},
    {"appName", &LauncherState::appName, u""},
    {"fileName", &LauncherState::fileName, u""},
    {"resName", &LauncherState::resName, u""},
    {"gameURL", &LauncherState::gameURL, u""},
    {"loaderFile", &LauncherState::loaderFile, u""},
    {"promptCaption", &LauncherState::promptCaption, u"提示"},
    {"cleanCachePrompt", &LauncherState::cleanCachePrompt, u"确定清理游戏缓存数据吗？"},
    {"exitPrompt", &LauncherState::exitPrompt, u"是否确定退出微端？"},
    {"vipMenuText", &LauncherState::vipMenuText, u"VIP专线"},
    {"hotkeyTooSimplePrompt", &LauncherState::hotkeyTooSimplePrompt,
     u"设置的老板键太简单，请至少使用Ctrl，Alt或Shift中的一个键"},
    {"sameServerPrompt", &LauncherState::sameServerPrompt,
     u"当前服与要切换的服一致，继续将导致游戏界面刷新，请确认是否继续？"},
    {"fileOperationPath", &LauncherState::fileOperationPath, u""},
    {"hallURL", &LauncherState::hallURL, u""},
    {"hallName", &LauncherState::hallName, u""},
    {"firstPageURL", &LauncherState::firstPageURL, u""},
    {"lastPageURL", &LauncherState::lastPageURL, u""},
};

struct IntDefault {
    const char* field;
    int LauncherState::*member;
    int expected;
};

const IntDefault kIntDefaults[] = {
    {"pendingConfirmation", &LauncherState::pendingConfirmation, 0},
    {"width", &LauncherState::width, 1200},
    {"height", &LauncherState::height, 900},
    {"loadingWidth", &LauncherState::loadingWidth, 0},
    {"loadingHeight", &LauncherState::loadingHeight, 0},
    {"shortcutFlags", &LauncherState::shortcutFlags, 0},
    {"appSize", &LauncherState::appSize, 900},
    {"appTimeout", &LauncherState::appTimeout, 3000},
    {"mcType", &LauncherState::mcType, 0},
    {"fileOperation", &LauncherState::fileOperation, 0},
    {"quitState", &LauncherState::quitState, 0},
    {"gameStage", &LauncherState::gameStage, 0},
    {"refreshing", &LauncherState::refreshing, 0},
};

TEST(LauncherStateTest, TextFieldsStartWithTheirDefaults) {
    LauncherState state;
    for (const TextDefault& row : kTextDefaults) {
        SCOPED_TRACE(row.field);
        EXPECT_EQ(Utf8(state.*row.member), Utf8(row.expected));
        // Exact units too: a conversion slip that prints alike would still differ here.
        EXPECT_TRUE(state.*row.member == row.expected);
    }
}

TEST(LauncherStateTest, NumbersAndFlagsStartWithTheirDefaults) {
    LauncherState state;
    for (const IntDefault& row : kIntDefaults) {
        SCOPED_TRACE(row.field);
        EXPECT_EQ(state.*row.member, row.expected);
    }
    // Bit 0x01 and the system, maximise and minimise buttons; resizable, not maximised.
    EXPECT_EQ(state.windowFlags, 0x71u);
    EXPECT_EQ(state.useCurrentPath, 0);
    EXPECT_EQ(state.abortRequested, 0);
}

TEST(LauncherStateTest, StartsWithoutWindowsPagesOrDownloads) {
    LauncherState state;
    for (FrameWindow* frame : state.frames)
        EXPECT_EQ(frame, nullptr);
    EXPECT_EQ(state.mainWindow, nullptr);
    EXPECT_EQ(state.pages.Count(), 0u);
    EXPECT_EQ(state.gameWindow, nullptr);
    EXPECT_EQ(state.gamePage, nullptr);
    EXPECT_EQ(state.imPage, nullptr);
    EXPECT_EQ(state.videoPage, nullptr);
    EXPECT_EQ(state.setupDownload, nullptr);
}

// Collects what reaches the error stream while it lives.
class ErrorCapture {
public:
    ErrorCapture() : saved(EngineContext::Get().errorSink) { EngineContext::Get().errorSink = Sink{Collect, this}; }
    ~ErrorCapture() { EngineContext::Get().errorSink = saved; }

    WString text;

private:
    static int Collect(const char16_t* line, void* user, bool) {
        static_cast<ErrorCapture*>(user)->text.Append(line);
        return 1;
    }

    Sink saved;
};

TEST(LauncherStateTest, SecondRecordIsReportedAndFirstStaysTheInstance) {
    LauncherState first;
    ErrorCapture errors;
    {
        LauncherState second;
        EXPECT_EQ(LauncherState::Instance(), &first);
    }
    EXPECT_GE(errors.text.FindText(u"sSingleton == _null"), 0) << Utf8(errors.text);
    // The refused second record must not have cleared the instance when it went away.
    EXPECT_EQ(LauncherState::Instance(), &first);
}

} // namespace
} // namespace Volux
