#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "Common/StringFormatter.h"
#include "Platform/File.h"
#include "Platform/Library.h"

using namespace Volux;

namespace {

class LibraryTest : public testing::Test {
protected:
    void SetUp() override { mSaved = FileSystem::CurrentDirectory(); }
    void TearDown() override {
        EXPECT_EQ(std::u16string(FileSystem::CurrentDirectory().Text()), std::u16string(mSaved.Text()))
            << "Load must give back the current folder";
        FileSystem::ChangeDirectory(mSaved);
    }
    WString mSaved;
};

TEST_F(LibraryTest, NameWithoutFolderLoadsFromTheSystemAndFindsEntries) {
    Library library;
    ASSERT_TRUE(library.Load(u"kernel32.dll"));
    EXPECT_TRUE(library.IsLoaded());
    EXPECT_NE(library.FindEntry("GetTickCount"), nullptr);
    EXPECT_EQ(library.FindEntry("NoSuchEntryAnywhere"), nullptr);
    library.Unload();
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_EQ(library.FindEntry("GetTickCount"), nullptr);
}

TEST_F(LibraryTest, MissingFolderOrFileFailsAndUnloadsTheOldModule) {
    Library library;
    ASSERT_TRUE(library.Load(u"kernel32.dll"));
    WString missingFolder = Format(u"%ls\\volux-missing-%u\\x.dll", FileSystem::TemporaryFolder().Text(),
                                   unsigned(GetCurrentProcessId()));
    EXPECT_FALSE(library.Load(missingFolder));
    EXPECT_FALSE(library.IsLoaded()) << "the module held before is unloaded first";
    EXPECT_FALSE(FileSystem::IsDirectory(Path::DirectoryOf(missingFolder, true))) << "no folder is made";

    WString missingFile = Format(u"%ls\\volux-missing-%u.dll", FileSystem::TemporaryFolder().Text(),
                                 unsigned(GetCurrentProcessId()));
    EXPECT_FALSE(library.Load(missingFile));
    EXPECT_FALSE(library.Load(u""));
}

TEST_F(LibraryTest, PathWithFolderLoadsThatFile) {
    wchar_t system[MAX_PATH];
    ASSERT_NE(GetSystemDirectoryW(system, MAX_PATH), 0u);
    WString path = Format(u"%ls\\version.dll", reinterpret_cast<const char16_t*>(system));
    Library library;
    ASSERT_TRUE(library.Load(path));
    EXPECT_NE(library.FindEntry("GetFileVersionInfoSizeW"), nullptr);
    wchar_t loaded[MAX_PATH];
    ASSERT_NE(GetModuleFileNameW(static_cast<HMODULE>(library.Handle()), loaded, MAX_PATH), 0u);
    EXPECT_EQ(lstrcmpiW(loaded, reinterpret_cast<const wchar_t*>(path.Text())), 0);
}

} // namespace
