#include <gtest/gtest.h>

#include <string>

#include "Common/StringEncoding.h"
#include "Support/LogCapture.h"
#include "launcher/StartUp.h"
#include "Platform/WideText_win32.h"
// After windows.h: it takes back the DeleteFile macro.
#include "Platform/File.h"
#include "Support/ScratchFolder.h"

namespace Volux {
namespace {

std::string Utf8(const char16_t* text) {
    std::string out(8192, '\0');
    int length = 0;
    WideToUtf8(&out[0], int(out.size()), text, -1, &length);
    out.resize(size_t(length));
    return out;
}

std::u16string Widen(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

struct CommandLineCase {
    const char* name;
    std::string narrow;
    size_t keptChars;
};

TEST(StartUpTest, CommandLineIsWidenedAndCutAt1024Characters) {
    const std::string path = "\"C:\\Games\\mc.exe\" /copy C:\\old.exe";
    const CommandLineCase cases[] = {
        {"empty", "", 0},
        {"program and switches", path, path.size()},
        {"exactly the limit", std::string(1024, 'a'), 1024},
        {"one over the limit", std::string(1024, 'a') + "b", 1024},
        {"far over the limit", path + std::string(3000, 'x'), 1024},
    };
    for (const CommandLineCase& row : cases) {
        SCOPED_TRACE(row.name);
        WString cmd = ConvertCommandLine(row.narrow.c_str());
        EXPECT_EQ(size_t(cmd.Length()), row.keptChars);
        EXPECT_EQ(std::u16string(cmd.Text()), Widen(row.narrow.substr(0, row.keptChars)));
    }
}

TEST(StartUpTest, CommandLineUsesTheSystemCodePage) {
    // 0x80 and 0xE9 mean different characters in different code pages, and nothing in UTF-8,
    // so only a conversion through the system code page matches the system's own.
    const char narrow[] = "/name caf\xE9 \x80";
    wchar_t expected[64] = {};
    ASSERT_GT(MultiByteToWideChar(CP_ACP, 0, narrow, -1, expected, 64), 0);
    EXPECT_EQ(Utf8(ConvertCommandLine(narrow)), Utf8(EnginePtr(expected)));
}

TEST(StartUpTest, NullCommandLineGivesEmptyText) { EXPECT_TRUE(ConvertCommandLine(nullptr).IsEmpty()); }

struct ProgramPathCase {
    const char16_t* fullPath;
    const char16_t* exeName;
    const char16_t* moduleFolder;
};

TEST(StartUpTest, ProgramPathSplitsIntoFileNameAndFolder) {
    const ProgramPathCase cases[] = {
        {u"C:\\Games\\Volux\\mc.exe", u"mc.exe", u"C:\\Games\\Volux"},
        // No trailing separator, so "<folder>\data" stays well formed for a program at a root.
        {u"C:\\mc.exe", u"mc.exe", u"C:"},
        {u"\\\\server\\share\\game.client.exe", u"game.client.exe", u"\\\\server\\share"},
        {u"C:\\Program Files (x86)\\游戏\\微端.exe", u"微端.exe", u"C:\\Program Files (x86)\\游戏"},
        {u"mc.exe", u"mc.exe", u""},
    };
    for (const ProgramPathCase& row : cases) {
        SCOPED_TRACE(Utf8(row.fullPath));
        WString exeName, moduleFolder;
        SplitProgramPath(row.fullPath, exeName, moduleFolder);
        EXPECT_EQ(Utf8(exeName), Utf8(row.exeName));
        EXPECT_EQ(Utf8(moduleFolder), Utf8(row.moduleFolder));
    }
}

TEST(StartUpTest, RunningProgramPathSplitsBackIntoItself) {
    WString programPath = FileSystem::ProgramPath();
    WString exeName, moduleFolder;
    SplitProgramPath(programPath, exeName, moduleFolder);
    EXPECT_EQ(Utf8(exeName), "launcher_tests.exe");
    EXPECT_EQ(Utf8(moduleFolder) + "\\" + Utf8(exeName), Utf8(programPath));
}

std::string Environment(const char16_t* name) {
    wchar_t value[64] = {};
    DWORD length = GetEnvironmentVariableW(WidePtr(name), value, 64);
    return length == 0 ? std::string("<unset>") : Utf8(EnginePtr(value));
}

TEST(StartUpTest, EnvironmentMarkersHoldEightHexDigits) {
    // A value left from an earlier start must be replaced, not kept.
    SetEnvironmentVariableW(L"[VOLUX-3D]", L"stale");
    EXPECT_TRUE(SetEnvironmentMarkers());
    EXPECT_EQ(Environment(u"[MICRO-CLIENT]"), "00000001");
    EXPECT_EQ(Environment(u"[VOLUX-3D]"), "00000000");
    SetEnvironmentVariableW(L"[MICRO-CLIENT]", nullptr);
    SetEnvironmentVariableW(L"[VOLUX-3D]", nullptr);
}

// Start-up through the real scripts: config.lua from the current folder, launcher.lua from the
// test program's own resource although a file of that name lies there too, and abort.
TEST(StartUpTest, ScriptsRunInOrderResourcesWinAndAbortEndsStartUp) {
    VoluxTest::ScratchFolder scratch;
    ASSERT_TRUE(scratch.IsReady());
    VoluxTest::CurrentFolderGuard guard;
    FileSystem::ChangeDirectory(scratch.path);
    ASSERT_TRUE(scratch.Put(u"config.lua", "_info('config from the file') _launcher.useCurrentPath = true "
                                           "_launcher.appName = 'startup-test' _launcher:abort()"));
    ASSERT_TRUE(scratch.Put(u"launcher.lua", "_info('launcher from the file') _launcher.title = 'from the file'"));
    WString dataFolder;
    {
        LauncherState state;
        VoluxTest::LogCapture log;
        EXPECT_FALSE(StartUp(state, "microclient.exe /install"));
        dataFolder = Path::JoinPath(state.moduleFolder, u"data");
        EXPECT_EQ(state.title, u"from the resource");
        EXPECT_EQ(state.abortRequested, 1);
        EXPECT_EQ(Utf8(Path::LowerPath(FileSystem::CurrentDirectory())), Utf8(Path::LowerPath(dataFolder)));
        ShutDown(state);

        std::string trace = Utf8(log.trace.c_str());
        const char* order[] = {"[MC] Command line: microclient.exe /install", "[KL] Lua ScriptManager Created",
                               "[MC] Run config.lua", "config from the file", "[MC] Run launcher.lua",
                               "launcher from the resource", "[MC] Scripts done: mc type 0", "[MC] File path: ",
                               "[MC] Current working folder: ", "[MC] Abort requested", "[MC] Shutdown done"};
        size_t at = 0;
        for (const char* line : order) {
            size_t found = trace.find(line, at);
            EXPECT_NE(found, std::string::npos) << "missing or out of order: " << line << "\n" << trace;
            if (found != std::string::npos)
                at = found;
        }
        EXPECT_EQ(trace.find("launcher from the file"), std::string::npos);
        // The short exit shows no window and leaves no frame.
        EXPECT_EQ(state.frames[0], nullptr);
    }
    FileSystem::ChangeDirectory(scratch.path);
    FileSystem::RemoveDirectoryTree(dataFolder);
}

TEST(StartUpTest, MissingScriptsAreSkippedSilently) {
    VoluxTest::ScratchFolder scratch;
    VoluxTest::CurrentFolderGuard guard;
    FileSystem::ChangeDirectory(scratch.path);
    ByteBuffer script;
    EXPECT_FALSE(LoadStartUpScript(nullptr, u"config.lua", script));
    EXPECT_TRUE(LoadStartUpScript(nullptr, u"launcher.lua", script));  // the resource
    ASSERT_TRUE(scratch.Put(u"config.lua", "x = 1"));
    EXPECT_TRUE(LoadStartUpScript(nullptr, u"config.lua", script));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(script.data), script.size), "x = 1");
}

} // namespace
} // namespace Volux
