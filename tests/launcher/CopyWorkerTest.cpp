#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "Common/StringFormatter.h"
#include "Support/LogCapture.h"
#include "Support/ScratchFolder.h"
#include "launcher/CopyWorker.h"

namespace Volux {
namespace {

using VoluxTest::Narrow;

TEST(CopyWorkerTest, VirtualizedFolderDropsTheDriveColon) {
    WString folder = VirtualizedFolder(u"C:\\Users\\p", u"D:\\Games\\volux\\game");
    EXPECT_TRUE(folder ==
                u"C:\\Users\\p\\AppData\\Local\\Microsoft\\Windows\\Temporary Internet Files\\Virtualized\\D\\Games"
                u"\\volux\\game")
        << Narrow(folder.Text());
}

// A profile with a virtualised store, a program folder with the program, an install folder.
class CopyJobTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch.IsReady());
        job.profileFolder = scratch.At(u"profile");
        job.programFolder = scratch.At(u"program");
        job.programPath = scratch.At(u"program\\micro.exe");
        job.installFolder = scratch.At(u"install");
        job.resName = u"game";
        job.fileName = u"mygame";
        store = VirtualizedFolder(job.profileFolder, job.installFolder);
        ASSERT_TRUE(scratch.Put(u"program\\micro.exe", "MZ program"));
    }

    // Puts a file into the virtualised store.
    void Store(const char16_t* name, const std::string& bytes) {
        WString path = Format(u"%ls\\%ls", store.Text(), name);
        ASSERT_TRUE(FileSystem::WriteFile(path, bytes.data(), _dword(bytes.size()))) << Narrow(path.Text());
    }
    std::string Installed(const char16_t* name) { return scratch.Get(Format(u"install\\%ls", name)); }

    VoluxTest::ScratchFolder scratch;
    CopyJob job;
    WString store;
};

TEST_F(CopyJobTest, CopiesTheStoredGameFilesAndTheProgram) {
    Store(u"install.inf", "inf");
    Store(u"volux3d.lod", "loader");
    Store(u"game.qod", "archive");
    Store(u"other.qod", "not ours");
    VoluxTest::LogCapture log;
    EXPECT_EQ(RunCopyJob(job), 4);
    EXPECT_EQ(Installed(u"install.inf"), "inf");
    EXPECT_EQ(Installed(u"volux3d.lod"), "loader");
    EXPECT_EQ(Installed(u"game.qod"), "archive");
    EXPECT_EQ(Installed(u"mygame.exe"), "MZ program");
    EXPECT_EQ(Installed(u"volux3d.qob"), "<missing>");
    EXPECT_EQ(Installed(u"game.qoc"), "<missing>");
    EXPECT_EQ(Installed(u"other.qod"), "<missing>");
    std::u16string expected = Format(u"[MC] CopyThreadProc startpath: %ls, voluxpath: %ls\n", job.programFolder.Text(),
                                     job.installFolder.Text())
                                  .Text();
    EXPECT_EQ(log.trace, expected) << Narrow(log.trace);
}

TEST_F(CopyJobTest, NothingIsCopiedWhenTheProgramRunsFromTheInstallFolderOrTheStore) {
    Store(u"volux3d.lod", "loader");
    struct Where {
        const char* what;
        WString programFolder;
    };
    WString installOtherCase(job.installFolder);
    installOtherCase.ToLower();
    const Where cases[] = {
        {"install folder", job.installFolder},
        {"install folder, other case, trailing separator", installOtherCase + u"\\"},
        {"virtualised store", store},
    };
    for (const Where& row : cases) {
        SCOPED_TRACE(row.what);
        job.programFolder = row.programFolder;
        EXPECT_EQ(RunCopyJob(job), 0);
        EXPECT_EQ(Installed(u"volux3d.lod"), "<missing>");
    }
}

TEST_F(CopyJobTest, AFailedCopyIsLoggedAndTheOthersStillHappen) {
    Store(u"volux3d.lod", "loader");
    Store(u"game.qoc", "companion");
    // A folder in the way of the loader's copy.
    ASSERT_TRUE(FileSystem::CreateDirectories(scratch.At(u"install\\volux3d.lod")));
    VoluxTest::LogCapture log;
    EXPECT_EQ(RunCopyJob(job), 2);
    EXPECT_EQ(Installed(u"game.qoc"), "companion");
    EXPECT_EQ(Installed(u"mygame.exe"), "MZ program");
    EXPECT_NE(log.trace.find(u"volux3d.lod fail, skipped"), std::u16string::npos) << Narrow(log.trace);
}

TEST_F(CopyJobTest, NamesThatWouldLeaveTheInstallFolderAreNotUsed) {
    job.resName = u"..\\game";
    job.fileName = u"..\\mygame";
    // Where "<store>\\..\\game.qod" leads; without the check it would be copied to
    // "<install>\\..\\game.qod", beside the install folder.
    Store(u"..\\game.qod", "outside");
    VoluxTest::LogCapture log;
    EXPECT_EQ(RunCopyJob(job), 0);
    EXPECT_EQ(scratch.Get(u"game.qod"), "<missing>");
    EXPECT_EQ(scratch.Get(u"mygame.exe"), "<missing>");
    EXPECT_NE(log.trace.find(u"[MC] Program copy name ..\\mygame is not a file name"), std::u16string::npos);
}

TEST_F(CopyJobTest, WorkerCopiesOnItsThreadAndReportsCompletion) {
    Store(u"game.qod", "archive");
    CopyWorker worker;
    EXPECT_FALSE(worker.IsFinished());
    worker.Start(job);
    for (int waited = 0; waited < 10000 && !worker.IsFinished(); waited += 10)
        Sleep(10);
    ASSERT_TRUE(worker.IsFinished());
    EXPECT_EQ(Installed(u"game.qod"), "archive");
    EXPECT_EQ(Installed(u"mygame.exe"), "MZ program");
}

} // namespace
} // namespace Volux
