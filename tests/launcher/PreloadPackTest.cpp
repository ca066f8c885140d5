#include <gtest/gtest.h>

#include <string>

#include "Common/StringFormatter.h"
#include "Support/LogCapture.h"
#include "Support/ScratchFolder.h"
#include "Storage/HashArchive.h"
#include "launcher/PreloadPack.h"

namespace Volux {
namespace {

using VoluxTest::Narrow;

// The program's folder with a pack folder "pack", and an install folder.
class PreloadPackTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch.IsReady());
        module = scratch.At(u"program");
        install = scratch.At(u"install");
        ASSERT_TRUE(FileSystem::CreateDirectories(install));
    }
    void Pack(const char16_t* name, const std::string& bytes) {
        ASSERT_TRUE(scratch.Put(Format(u"program\\pack\\%ls", name), bytes));
    }
    std::string Installed(const char16_t* name) { return scratch.Get(Format(u"install\\%ls", name)); }

    VoluxTest::ScratchFolder scratch;
    WString module;
    WString install;
};

TEST_F(PreloadPackTest, AFreshInstallGetsEveryFileThePackHas) {
    Pack(u"volux3d.lod", "loader");
    Pack(u"game.qob", "blocks");
    Pack(u"game.qod", "archive");
    Pack(u"other.qoc", "not this pack");
    EXPECT_TRUE(InstallPreloadPack(module, install, u"pack", u"game"));
    EXPECT_EQ(Installed(u"volux3d.lod"), "loader");
    EXPECT_EQ(Installed(u"game.qob"), "blocks");
    EXPECT_EQ(Installed(u"game.qod"), "archive");
    EXPECT_EQ(Installed(u"game.qoc"), "<missing>");
    EXPECT_EQ(Installed(u"other.qoc"), "<missing>");
}

TEST_F(PreloadPackTest, AnEmptyOrMissingPackIsNoFailure) {
    EXPECT_TRUE(InstallPreloadPack(module, install, u"pack", u"game"));
    EXPECT_TRUE(InstallPreloadPack(module, install, u"nowhere", u"game"));
    EXPECT_EQ(Installed(u"game.qod"), "<missing>");
}

TEST_F(PreloadPackTest, AnArchiveThatCannotBeOpenedIsNotMerged) {
    Pack(u"game.qoc", "new companion");
    Pack(u"game.qod", "pack archive");
    ASSERT_TRUE(scratch.Put(u"install\\game.qod", "installed archive"));
    VoluxTest::LogCapture log;
    EXPECT_FALSE(InstallPreloadPack(module, install, u"pack", u"game"));
    EXPECT_EQ(Installed(u"game.qod"), "installed archive");
    // The files before the archive are copied all the same.
    EXPECT_EQ(Installed(u"game.qoc"), "new companion");
    EXPECT_NE(log.trace.find(u"[MC] Preload pack "), std::u16string::npos) << Narrow(log.trace);
    EXPECT_NE(log.trace.find(u"not merged into "), std::u16string::npos) << Narrow(log.trace);
}

TEST_F(PreloadPackTest, APackArchiveIsMergedIntoTheInstalledOne) {
    {
        CriticalSection lock;
        HashArchive pack(&lock, u""), installed(&lock, u"");
        ASSERT_TRUE(pack.Create(scratch.At(u"program\\pack\\game.qod"), 4));
        ASSERT_TRUE(installed.Create(scratch.At(u"install\\game.qod"), 4));
        ASSERT_TRUE(pack.WriteResource(u"new.bin", "from pack", 9, Md5Digest()));
        ASSERT_TRUE(installed.WriteResource(u"own.bin", "own", 3, Md5Digest()));
    }
    VoluxTest::LogCapture log;
    EXPECT_TRUE(InstallPreloadPack(module, install, u"pack", u"game"));
    CriticalSection lock;
    HashArchive merged(&lock, u"");
    ASSERT_TRUE(merged.Open(scratch.At(u"install\\game.qod"), false, 0));
    EXPECT_TRUE(merged.HasResource(u"new.bin"));
    EXPECT_TRUE(merged.HasResource(u"own.bin"));
}

TEST_F(PreloadPackTest, APackNameThatLeavesTheInstallFolderIsRefused) {
    Pack(u"volux3d.lod", "loader");
    ASSERT_TRUE(scratch.Put(u"program\\x.qod", "outside"));
    VoluxTest::LogCapture log;
    EXPECT_FALSE(InstallPreloadPack(module, install, u"pack", u"..\\x"));
    EXPECT_EQ(scratch.Get(u"x.qod"), "<missing>");
    EXPECT_EQ(Installed(u"volux3d.lod"), "<missing>");
    EXPECT_NE(log.trace.find(u"[MC] Preload pack name ..\\x is not a file name"), std::u16string::npos);
}

} // namespace
} // namespace Volux
