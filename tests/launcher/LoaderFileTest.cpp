#include <gtest/gtest.h>

#include <string>

#include "launcher/LoaderFile.h"
// After windows.h: it takes back the DeleteFile macro.
#include "Platform/File.h"
#include "Support/ScratchFolder.h"

namespace Volux {
namespace {

std::string Ascii(const char16_t* text) {
    std::string out;
    for (; *text != 0; text++)
        out += char(*text);
    return out;
}

TEST(LoaderFileTest, TargetKeepsOnlyTheFileName) {
    struct Case {
        const char16_t* file;
        bool inData;
        const char* target;
    };
    const Case cases[] = {
        {u"volux3d.lod", false, "C:\\inst\\volux3d.lod"},
        {u"volux3d.lod", true, "C:\\inst\\data\\volux3d.lod"},
        {u"..\\..\\Windows\\evil.dll", false, "C:\\inst\\evil.dll"},
        {u"C:/elsewhere/loader.lod", false, "C:\\inst\\loader.lod"},
        {u"..", false, ""},
        {u"dir\\", false, ""},
        {u"", false, ""},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(Ascii(row.file));
        EXPECT_EQ(Ascii(LoaderTargetPath(u"C:\\inst", row.file, row.inData)), row.target);
    }
}

// The test program carries "loader.dll" as a resource; it stands in for a loader library.
class LoaderFileWriteTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch.IsReady());
        FileSystem::ChangeDirectory(scratch.path);
        state.useCurrentPath = 1;  // the install folder is the current one
    }
    VoluxTest::ScratchFolder scratch;
    VoluxTest::CurrentFolderGuard guard;
    LauncherState state;
};

TEST_F(LoaderFileWriteTest, SetLoaderWritesIntoDataAndNeedsForceToReplace) {
    SetLoaderFile(state, u"loader.dll", false);
    EXPECT_EQ(scratch.Get(u"data\\loader.dll"), "fixture image\n");
    EXPECT_TRUE(state.loaderFile.IsEmpty());  // only a forced write names the library

    ASSERT_TRUE(scratch.Put(u"data\\loader.dll", "older"));
    SetLoaderFile(state, u"loader.dll", false);
    EXPECT_EQ(scratch.Get(u"data\\loader.dll"), "older");
    SetLoaderFile(state, u"loader.dll", true);
    EXPECT_EQ(scratch.Get(u"data\\loader.dll"), "fixture image\n");
    EXPECT_EQ(Ascii(Path::LowerPath(state.loaderFile)), Ascii(Path::LowerPath(scratch.At(u"data\\loader.dll"))));
}

TEST_F(LoaderFileWriteTest, StartLoaderNamesTheTargetEvenWithoutAResource) {
    StartLoaderFile(state, u"missing.lod");
    EXPECT_EQ(Ascii(Path::LowerPath(state.loaderFile)), Ascii(Path::LowerPath(scratch.At(u"missing.lod"))));
    EXPECT_FALSE(FileSystem::IsFile(scratch.At(u"missing.lod")));
    StartLoaderFile(state, u"loader.dll");
    EXPECT_EQ(scratch.Get(u"loader.dll"), "fixture image\n");
}

} // namespace
} // namespace Volux
