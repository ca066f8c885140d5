#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "Common/StringFormatter.h"
#include "Platform/File.h"
#include "Platform/Process.h"
#include "Platform/Thread.h"

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
