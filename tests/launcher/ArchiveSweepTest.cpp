#include <gtest/gtest.h>

#include <string>

#include "Support/LogCapture.h"
#include "Support/ScratchFolder.h"
#include "launcher/ArchiveSweep.h"

namespace Volux {
namespace {

using VoluxTest::Narrow;

TEST(ArchiveSweepTest, OnlyTheCurrentArchiveOfTheResourceNameIsKept) {
    struct NameCase {
        const char16_t* file;
        const char16_t* resName;
        bool stale;
    };
    const NameCase cases[] = {
        {u"game.qod", u"game", false},
        {u"GAME.QOD", u"game", false},
        {u"game.qodx", u"game", true},
        {u"game2.qod", u"game", true},
        {u"GAME-old.QOD", u"game", true},
        {u"game.bak.qod", u"game", true},
        {u"game.xqod", u"game", true},
        {u"game.qoc", u"game", false},
        {u"game.qob", u"game", false},
        {u"game", u"game", false},
        {u"gam.qod", u"game", false},
        {u"other.qod", u"game", false},
        {u"mygame.qod", u"game", false},
        // Nothing is known to be current without a resource name.
        {u"game.qod", u"", false},
        {u"x.qodx", u"", false},
    };
    for (const NameCase& row : cases)
        EXPECT_EQ(IsStaleArchive(row.file, row.resName), row.stale) << Narrow(row.file) << " / " << Narrow(row.resName);
}

TEST(ArchiveSweepTest, SweepDeletesStaleFilesReadOnlyOnesTooAndLeavesSubfolders) {
    VoluxTest::ScratchFolder folder;
    ASSERT_TRUE(folder.IsReady());
    const char16_t* const files[] = {u"game.qod", u"game.qodx", u"game2.qod", u"GAME-old.QOD",
                                      u"game.qoc", u"sub\\game2.qod"};
    for (const char16_t* file : files)
        ASSERT_TRUE(folder.Put(file, "x")) << Narrow(file);
    ASSERT_TRUE(FileSystem::SetReadOnly(folder.At(u"game.qodx"), true));

    EXPECT_EQ(SweepStaleArchives(folder.path + u"\\", u"game"), 3);
    EXPECT_TRUE(FileSystem::IsFile(folder.At(u"game.qod")));
    EXPECT_TRUE(FileSystem::IsFile(folder.At(u"game.qoc")));
    EXPECT_TRUE(FileSystem::IsFile(folder.At(u"sub\\game2.qod")));
    EXPECT_FALSE(FileSystem::IsFile(folder.At(u"game.qodx")));
    EXPECT_FALSE(FileSystem::IsFile(folder.At(u"game2.qod")));
    EXPECT_FALSE(FileSystem::IsFile(folder.At(u"GAME-old.QOD")));
}

} // namespace
} // namespace Volux
