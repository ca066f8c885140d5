#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "Common/StringFormatter.h"
#include "Support/LogCapture.h"
#include "Support/ScratchFolder.h"
#include "launcher/InstallFolder.h"
#include "launcher/InstallInf.h"
#include "Platform/WideText_win32.h"

namespace Volux {
namespace {

using VoluxTest::Narrow;

TEST(InstallFolderTest, PlainNamesCannotLeaveTheirFolder) {
    struct NameCase {
        const char16_t* name;
        bool plain;
    };
    const NameCase cases[] = {
        {u"game", true},     {u"my game 2", true}, {u"游戏", true},      {u"game.v2", true},
        {u"", false},        {u".", false},        {u"..", false},       {u"...", false},
        {u". .", false},     {u"..\\x", false},    {u"a/b", false},      {u"c:x", false},
        {u"\\\\host", false},
    };
    for (const NameCase& row : cases)
        EXPECT_EQ(IsPlainName(row.name), row.plain) << Narrow(row.name);
}

// Drives where only c: exists, with the free space the test sets; counts its measurements.
struct OneDrive {
    _qword freeBytes = 0;
    int measurements = 0;

    DriveServices Services() {
        return {this, [](void*, const char16_t* root) { return root[0] == u'c'; },
                [](void*, const char16_t*) { return false; }, [](void*, const char16_t*) { return false; },
                [](void* context, const char16_t*) {
                    OneDrive& self = *static_cast<OneDrive*>(context);
                    self.measurements++;
                    return self.freeBytes;
                }};
    }
};

// A scratch folder that stands for the profile, the program's folder and anything else; the
// current folder is restored before the scratch folder goes.
class InstallFolderFileTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch.IsReady());
        profile = scratch.At(u"profile");
        module = scratch.At(u"program");
        ASSERT_TRUE(FileSystem::CreateDirectories(profile));
        ASSERT_TRUE(FileSystem::CreateDirectories(module));
    }

    WString Inf() const { return InstallInfPath(profile, u"game"); }
    WString Default() const { return Format(u"%ls\\volux\\game", profile.Text()); }
    static bool SameFolder(const WString& a, const WString& b) { return a.Compare(b, false) == 0; }

    VoluxTest::ScratchFolder scratch;
    VoluxTest::CurrentFolderGuard currentFolder;  // after scratch: restored before it is removed
    WString profile;
    WString module;
};

TEST_F(InstallFolderFileTest, PlainResolutionPrefersAnExistingFolderNamedByInstallInf) {
    EXPECT_TRUE(PlainInstallFolder(profile, u"game", false) == Default());

    WString elsewhere = scratch.At(u"elsewhere");
    ASSERT_TRUE(FileSystem::CreateDirectories(elsewhere));
    ASSERT_TRUE(WriteInstallInf(Inf(), elsewhere));
    EXPECT_TRUE(PlainInstallFolder(profile, u"game", false) == elsewhere);

    ASSERT_TRUE(FileSystem::RemoveDirectoryTree(elsewhere));
    EXPECT_TRUE(PlainInstallFolder(profile, u"game", false) == Default());

    ASSERT_TRUE(FileSystem::ChangeDirectory(module).Length() > 0);
    EXPECT_TRUE(SameFolder(PlainInstallFolder(profile, u"game", true), FileSystem::CurrentDirectory()));
}

TEST_F(InstallFolderFileTest, AnApplicationNameThatLeavesTheProfileIsIgnored) {
    VoluxTest::LogCapture log;
    WString folder = PlainInstallFolder(profile, u"..\\..\\escape", false);
    EXPECT_TRUE(folder == Format(u"%ls\\volux", profile.Text())) << Narrow(folder.Text());
    EXPECT_NE(log.trace.find(u"[MC] Application name ..\\..\\escape is not a folder name"), std::u16string::npos);
}

TEST_F(InstallFolderFileTest, StartUpWithCurrentPathUsesTheHiddenDataFolder) {
    WString data = Format(u"%ls\\data", module.Text());
    WString current = SetUpInstallFolder(profile, u"game", module, true);
    EXPECT_TRUE(SameFolder(current, data)) << Narrow(current.Text());
    EXPECT_TRUE(SameFolder(FileSystem::CurrentDirectory(), data));
    DWORD attributes = GetFileAttributesW(WidePtr(data.Text()));
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);
    EXPECT_FALSE(FileSystem::IsFile(Inf()));
}

TEST_F(InstallFolderFileTest, StartUpAdoptsAnExistingDataFolderOnlyWithoutInstallInf) {
    WString data = Format(u"%ls\\data", module.Text());
    ASSERT_TRUE(FileSystem::CreateDirectories(data));
    WString current = SetUpInstallFolder(profile, u"game", module, false);
    EXPECT_TRUE(SameFolder(current, data)) << Narrow(current.Text());
    EXPECT_TRUE(ReadInstallInf(Inf()) == data);

    // Once install.inf exists it decides, even when it no longer names a folder.
    WString other = scratch.At(u"other");
    ASSERT_TRUE(WriteInstallInf(Inf(), other));
    current = SetUpInstallFolder(profile, u"game", module, false);
    EXPECT_TRUE(SameFolder(current, Default())) << Narrow(current.Text());
    EXPECT_TRUE(FileSystem::IsDirectory(Default()));
}

TEST_F(InstallFolderFileTest, StartUpWithoutDataFolderCreatesThePlainFolder) {
    WString current = SetUpInstallFolder(profile, u"game", module, false);
    EXPECT_TRUE(SameFolder(current, Default())) << Narrow(current.Text());
    EXPECT_TRUE(SameFolder(FileSystem::CurrentDirectory(), Default()));
    EXPECT_FALSE(FileSystem::IsFile(Inf()));
    EXPECT_FALSE(FileSystem::IsDirectory(Format(u"%ls\\data", module.Text())));
}

TEST_F(InstallFolderFileTest, FreeSpaceChoiceOnTheSystemDriveIsTheProfileFolder) {
    struct SpaceCase {
        const char* what;
        _qword freeBytes;
    };
    // c: is the only drive: with room the profile folder, without it the profile folder too
    // (nothing else qualifies); either way the choice is recorded.
    const SpaceCase cases[] = {{"room on c:", 901 * _BYTES_PER_MEGABYTE}, {"exactly full", 900 * _BYTES_PER_MEGABYTE}};
    for (const SpaceCase& row : cases) {
        SCOPED_TRACE(row.what);
        FileSystem::RemoveDirectoryTree(Format(u"%ls\\volux", profile.Text()));
        OneDrive drive;
        drive.freeBytes = row.freeBytes;
        WString chosen = ChooseInstallFolder(profile, u"game", 900, drive.Services());
        EXPECT_TRUE(chosen == Default()) << Narrow(chosen.Text());
        EXPECT_EQ(drive.measurements, 1);
        // install.inf names the folder only once the caller has created it.
        EXPECT_EQ(scratch.Get(u"profile\\volux\\game\\install.inf").size(), size_t(Default().Length()) * 2);
    }
}

TEST_F(InstallFolderFileTest, FreeSpaceChoiceOnAnotherDriveNamesThatDrive) {
    // d: is created-and-measured on the fake, c: is full.
    struct TwoDrives {
        static bool Exists(void*, const char16_t* root) { return root[0] == u'c' || root[0] == u'd'; }
        static bool No(void*, const char16_t*) { return false; }
        static _qword Free(void*, const char16_t* root) { return root[0] == u'd' ? 2000 * _BYTES_PER_MEGABYTE : 0; }
    };
    DriveServices drives = {nullptr, TwoDrives::Exists, TwoDrives::No, TwoDrives::No, TwoDrives::Free};
    WString chosen = ChooseInstallFolder(profile, u"game", 900, drives);
    EXPECT_TRUE(chosen == u"d:\\volux\\game") << Narrow(chosen.Text());
    std::string expected;
    for (const char16_t* at = u"d:\\volux\\game"; *at != 0; at++)
        expected += std::string{char(*at), '\0'};
    EXPECT_EQ(scratch.Get(u"profile\\volux\\game\\install.inf"), expected);
}

TEST_F(InstallFolderFileTest, FreeSpaceChoiceKeepsAnExistingNamedFolderWithoutMeasuring) {
    WString elsewhere = scratch.At(u"elsewhere");
    ASSERT_TRUE(FileSystem::CreateDirectories(elsewhere));
    ASSERT_TRUE(WriteInstallInf(Inf(), elsewhere));
    OneDrive drive;
    EXPECT_TRUE(ChooseInstallFolder(profile, u"game", 900, drive.Services()) == elsewhere);
    EXPECT_EQ(drive.measurements, 0);

    // A named folder that is gone is chosen anew and install.inf rewritten.
    ASSERT_TRUE(FileSystem::RemoveDirectoryTree(elsewhere));
    drive.freeBytes = 5000 * _BYTES_PER_MEGABYTE;
    EXPECT_TRUE(ChooseInstallFolder(profile, u"game", 900, drive.Services()) == Default());
    EXPECT_EQ(drive.measurements, 1);
    ASSERT_TRUE(FileSystem::CreateDirectories(Default()));
    EXPECT_TRUE(ReadInstallInf(Inf()) == Default());
}

TEST_F(InstallFolderFileTest, FreeSpaceChoiceWithoutApplicationNameIsTheCurrentFolder) {
    ASSERT_TRUE(FileSystem::ChangeDirectory(module).Length() > 0);
    OneDrive drive;
    EXPECT_TRUE(SameFolder(ChooseInstallFolder(profile, u"", 900, drive.Services()), FileSystem::CurrentDirectory()));
    EXPECT_EQ(drive.measurements, 0);
    EXPECT_FALSE(FileSystem::IsDirectory(Format(u"%ls\\volux", profile.Text())));
}

} // namespace
} // namespace Volux
