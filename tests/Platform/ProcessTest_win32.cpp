#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <string>

#include "Common/StringFormatter.h"
#include "Platform/File.h"
#include "Platform/Process.h"
#include "Platform/Thread.h"
#include "Support/LogCapture.h"

using namespace Volux;

namespace {

class ProcessTest : public testing::Test {
protected:
    void SetUp() override {
        mFolder = FileSystem::TemporaryName(FileSystem::TemporaryFolder(), u"vpr");
        ASSERT_TRUE(FileSystem::DeleteFile(mFolder));
        ASSERT_TRUE(FileSystem::CreateDirectories(mFolder));
    }
    void TearDown() override { EXPECT_TRUE(FileSystem::RemoveDirectoryTree(mFolder)); }

    // The started program runs on its own; wait generously for what it leaves behind.
    static bool AppearsSoon(const char16_t* path) {
        for (int i = 0; i < 300; i++) {
            if (FileSystem::IsFile(path))
                return true;
            SleepAlertable(50);
        }
        return false;
    }

    WString mFolder;
};

TEST_F(ProcessTest, StartedProgramRunsInTheGivenWorkingDirectory) {
    // A relative output name lands in the working directory only if it was used.
    ASSERT_TRUE(Process::Start(u"cmd.exe /c echo started>marker.txt", mFolder));
    WString marker = Format(u"%ls\\marker.txt", mFolder.Text());
    EXPECT_TRUE(AppearsSoon(marker));
    // cmd may still hold the file for a moment; RemoveDirectoryTree in TearDown waits for none.
    for (int i = 0; i < 100 && !FileSystem::DeleteFile(marker); i++)
        SleepAlertable(50);
}

TEST_F(ProcessTest, MissingProgramAndOverlongTextsFail) {
    WString missing = Format(u"\"%ls\\missing.exe\" -x", mFolder.Text());
    EXPECT_FALSE(Process::Start(missing, u""));
    EXPECT_FALSE(Process::Start(u"", u""));

    // Cut to the limit this would still name cmd.exe and run a shortened command.
    std::u16string longCommand = u"cmd.exe /c echo ";
    longCommand.append(Process::_MAX_ANSI_BYTES, u'x');
    EXPECT_FALSE(Process::Start(longCommand.c_str(), mFolder));
    std::u16string longFolder(Process::_MAX_ANSI_BYTES + 10, u'd');
    EXPECT_FALSE(Process::Start(u"cmd.exe /c exit", longFolder.c_str()));
}

} // namespace

// Each argument, quoted after one program name, must come back from the system's parser as
// it went in, however its backslashes and quotes fall.
TEST(ProcessQuoting, ArgumentsReadBackExactlyThroughCommandLineToArgvW) {
    const char16_t* const arguments[] = {
        u"plain",
        u"",
        u"two words",
        u"C:\\Program Files\\Game\\",
        u"C:\\dir\\\\",
        u"\\",
        u"\\\\server\\share\\",
        u"say \"hi\"",
        u"a\\\"b",
        u"a\\\\\"b",
        u"\"",
        u"\\\"",
        u"end\\ \\",
        u"mid\\dle\\\\path",
        u"tab\there",
        u"\u00e9\u4e2d\\",
    };
    for (const char16_t* argument : arguments) {
        WString line = Format(u"prog.exe %ls %ls", Process::QuoteArgument(argument).Text(),
                              Process::QuoteArgument(u"next").Text());
        int count = 0;
        wchar_t** parsed = CommandLineToArgvW(reinterpret_cast<const wchar_t*>(line.Text()), &count);
        ASSERT_NE(parsed, nullptr);
        ASSERT_EQ(count, 3) << VoluxTest::Narrow(line.Text());
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(parsed[1])), argument)
            << VoluxTest::Narrow(line.Text());
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(parsed[2])), u"next");
        LocalFree(parsed);
    }
}
