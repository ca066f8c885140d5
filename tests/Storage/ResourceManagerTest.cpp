#include <gtest/gtest.h>

#include <string>

#include "Common/StringFormatter.h"
#include "Storage/HashArchive.h"
#include "Storage/ResourceManager.h"
#include "Support/LogCapture.h"
#include "Support/ScratchFolder.h"

using namespace Volux;
using VoluxTest::LogCapture;
using VoluxTest::Narrow;
using VoluxTest::ScratchFolder;

namespace {

std::string Load(IResourceManager& manager, const char16_t* name) {
    ByteBuffer buffer;
    if (!manager.LoadResource(name, buffer, false))
        return "<missing>";
    return std::string(reinterpret_cast<const char*>(buffer.data), buffer.size);
}

class ResourceManagerTest : public ::testing::Test {
protected:
    ScratchFolder folder;
    LogCapture log;
    ResourceManager manager;
};

TEST_F(ResourceManagerTest, WithoutArchivesFilesAreUsedDirectly) {
    ASSERT_TRUE(folder.Put(u"plain.txt", "plain"));
    EXPECT_EQ(Load(manager, folder.At(u"plain.txt")), "plain");
    ASSERT_TRUE(manager.MoveResource(folder.At(u"plain.txt"), folder.At(u"moved.txt")));
    EXPECT_EQ(folder.Get(u"moved.txt"), "plain");
    EXPECT_EQ(folder.Get(u"plain.txt"), "<missing>");
    EXPECT_EQ(Load(manager, folder.At(u"plain.txt")), "<missing>");
    EXPECT_NE(log.error.find(u"[RM] Load resource failed : "), std::u16string::npos);
}

TEST_F(ResourceManagerTest, ExtensionArchivesAndTheInfoRule) {
    IDataArchive* info = manager.CreateMemArchive(u"info", u"");
    IDataArchive* general = manager.CreateMemArchive(u"", u"");
    ASSERT_NE(info, nullptr);
    ASSERT_TRUE(general->WriteResource(u"a.info", "general", 7, Md5Digest()));
    ASSERT_TRUE(general->WriteResource(u"b.txt", "b", 1, Md5Digest()));
    EXPECT_FALSE(manager.HasResource(u"a.info"));
    EXPECT_TRUE(manager.HasResource(u"b.txt"));
    ASSERT_TRUE(info->WriteResource(u"a.info", "own", 3, Md5Digest()));
    EXPECT_EQ(Load(manager, u"a.info"), "own");
}

TEST_F(ResourceManagerTest, LaterMountsWinAndNamedOnesComeFirst) {
    IDataArchive* unnamedOld = manager.CreateMemArchive(u"", u"");
    IDataArchive* unnamedNew = manager.CreateMemArchive(u"", u"");
    IDataArchive* named = manager.CreateMemArchive(u"pack", u"");
    unnamedOld->WriteResource(u"r", "old", 3, Md5Digest());
    unnamedNew->WriteResource(u"r", "new", 3, Md5Digest());
    EXPECT_EQ(Load(manager, u"r"), "new");
    named->WriteResource(u"r", "named", 5, Md5Digest());
    EXPECT_EQ(Load(manager, u"r"), "named");
    EXPECT_EQ(manager.FindArchive(u"PACK"), named);
    EXPECT_EQ(manager.FindArchive(u""), nullptr);
}

TEST_F(ResourceManagerTest, ShortNamesAreRetriedUnderSearchPathsNewestFirst) {
    IDataArchive* archive = manager.CreateMemArchive(u"", u"");
    archive->WriteResource(u"old\\x.txt", "old", 3, Md5Digest());
    archive->WriteResource(u"new\\x.txt", "new", 3, Md5Digest());
    manager.PushSearchPath(u"old");
    manager.PushSearchPath(u"new");
    EXPECT_EQ(Load(manager, u"x.txt"), "new");
    manager.PushSearchPath(u"OLD");
    manager.PopSearchPath(u"new");
    manager.PopSearchPath(u"old");
    ASSERT_EQ(manager.GetSearchPathCount(), 1u);
    EXPECT_EQ(Load(manager, u"x.txt"), "old");
    EXPECT_EQ(std::u16string(manager.GetSearchPath(5).Text()), u"");
    // A name with a folder part is not retried.
    EXPECT_EQ(Load(manager, u"sub\\x.txt"), "<missing>");
}

TEST_F(ResourceManagerTest, LooseWritesNeverGoIntoHashArchives) {
    IDataArchive* disk = manager.CreateDiskArchive(u"", folder.At(u"loose"));
    IDataArchive* hash = manager.CreateHashArchive(u"", folder.At(u"game.qod"), 16);
    ASSERT_NE(disk, nullptr);
    ASSERT_NE(hash, nullptr);
    ASSERT_TRUE(manager.WriteLooseResource(u"w.txt", "loose", 5, Md5Digest()));
    EXPECT_EQ(folder.Get(u"loose\\w.txt"), "loose");
    EXPECT_FALSE(hash->HasResource(u"w.txt"));
    ASSERT_TRUE(manager.WriteResource(u"h.txt", "hash", 4, Md5Digest()));
    EXPECT_TRUE(hash->HasResource(u"h.txt"));
}

TEST_F(ResourceManagerTest, LoadFailureShowsTheLoadStack) {
    manager.CreateMemArchive(u"", u"");
    manager.PushLoad(u"outer.lua");
    manager.PushLoad(u"inner.lua");
    EXPECT_EQ(Load(manager, u"gone.txt"), "<missing>");
    EXPECT_NE(log.trace.find(u"[RM] Load Stack : [0] outer.lua"), std::u16string::npos) << Narrow(log.trace);
    EXPECT_NE(log.trace.find(u"[RM] +----------- [1] inner.lua"), std::u16string::npos);
    EXPECT_EQ(manager.GetFailureTotal(), 2);
    manager.ResetFailureTotal();
    EXPECT_EQ(manager.GetFailureTotal(), 2);
    manager.PopLoad();
    manager.PopLoad();
    manager.ResetFailureTotal();
    EXPECT_EQ(manager.GetFailureTotal(), 0);
}

TEST_F(ResourceManagerTest, InfoResourceStandsInForAMissingOne) {
    manager.CreateMemArchive(u"", u"");
    IDataArchive* archive = manager.CreateMemArchive(u"info", u"");
    archive->WriteResource(u"model.bin.info", "described", 9, Md5Digest());
    ByteBuffer buffer, extra;
    log.Clear();
    ASSERT_TRUE(manager.LoadResourceWithInfo(u"model.bin", buffer, extra, false));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(extra.data), extra.size), "described");
    EXPECT_EQ(std::u16string(extra.name.Text()), u"info\\model.bin");
    EXPECT_EQ(log.trace.find(u"Load resource failed"), std::u16string::npos);
}

TEST_F(ResourceManagerTest, MountMessagesNameThePathAndTheArchive) {
    EXPECT_EQ(manager.OpenHashArchive(u"game", folder.At(u"none.qod"), true, 0, 0, 0), nullptr);
    EXPECT_NE(log.error.find(u"[RM] Open hash archive failed : "), std::u16string::npos);
    EXPECT_EQ(manager.GetArchiveCount(), 0u);
    ASSERT_NE(manager.CreateHashArchive(u"game", folder.At(u"g.qod"), 4), nullptr);
    EXPECT_NE(log.trace.find(u" => game"), std::u16string::npos);
    EXPECT_EQ(manager.OpenChunkArchive(u"c", folder.At(u"g.qod"), true, 0, 0), nullptr);
}

TEST_F(ResourceManagerTest, ArchiveContentsMergeIntoAHashArchive) {
    IDataArchive* pack = manager.CreateHashArchive(u"pack", folder.At(u"pack.qod"), 8);
    IDataArchive* installed = manager.CreateHashArchive(u"installed", folder.At(u"game.qod"), 8);
    std::string a(50, 'a');
    pack->WriteResource(u"a.bin", a.data(), 50, ComputeMd5(a.data(), 50));
    installed->WriteResource(u"a.bin", "stale", 5, Md5Digest());
    installed->WriteResource(u"keep.bin", "keep", 4, Md5Digest());
    ASSERT_TRUE(manager.CopyArchiveContents(pack, installed));
    EXPECT_EQ(Load(manager, u"installed\\..\\a.bin"), a);
    _dword length;
    Md5Digest checksum;
    ASSERT_TRUE(installed->GetResourceInfo(u"a.bin", length, checksum));
    EXPECT_TRUE(checksum == ComputeMd5(a.data(), 50));
    EXPECT_TRUE(installed->HasResource(u"keep.bin"));
}

TEST_F(ResourceManagerTest, StreamsAreCountedAndLeaksReported) {
    ByteBuffer bytes;
    bytes.Append("abc", 3);
    IDataStream* stream = manager.CreateMemStream(u"m", bytes, Md5Digest());
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(manager.AddRef(stream), stream);
    IDataStream* second = stream;
    EXPECT_FALSE(manager.Release(second));
    EXPECT_EQ(second, nullptr);
    {
        LogCapture inner;
        ResourceManager* other = new ResourceManager();
        delete other;
        std::u16string rule(76, u'-');
        EXPECT_NE(inner.trace.find(rule + u"\n[RD] Caution! DataStream leaks : 1\n" + rule), std::u16string::npos)
            << Narrow(inner.trace);
        EXPECT_NE(inner.error.find(u"[RD] Caution! DataStream leaks : 1"), std::u16string::npos);
    }
    EXPECT_TRUE(manager.Release(stream));
    EXPECT_EQ(stream, nullptr);
    IDataStream* none = nullptr;
    EXPECT_FALSE(manager.Release(none));
    LogCapture last;
    delete new ResourceManager();
    EXPECT_NE(last.trace.find(u"[RD] Congratulations! No data stream leaks!"), std::u16string::npos);
}

} // namespace

namespace {

TEST_F(ResourceManagerTest, PackFileMergesIntoAFullInstalledArchive) {
    {
        CriticalSection lock;
        HashArchive pack(&lock, u""), installed(&lock, u"");
        ASSERT_TRUE(pack.Create(folder.At(u"pack.qod"), 4));
        ASSERT_TRUE(installed.Create(folder.At(u"game.qod"), 2));
        for (const char16_t* name : {u"a", u"b", u"c"})
            ASSERT_TRUE(pack.WriteResource(name, "pack", 4, Md5Digest()));
        ASSERT_TRUE(installed.WriteResource(u"a", "old", 3, Md5Digest()));
        ASSERT_TRUE(installed.WriteResource(u"z", "own", 3, Md5Digest()));
    }
    ASSERT_TRUE(MergeHashArchiveFile(manager, folder.At(u"pack.qod"), folder.At(u"game.qod")));
    EXPECT_EQ(manager.GetArchiveCount(), 0u);
    IDataArchive* merged = manager.OpenHashArchive(u"", folder.At(u"game.qod"), false, 0, 0, 0);
    ASSERT_NE(merged, nullptr);
    EXPECT_EQ(merged->Enumerate(nullptr, nullptr, nullptr), 4);
    EXPECT_EQ(Load(manager, u"a"), "pack");
    EXPECT_EQ(Load(manager, u"z"), "own");
    EXPECT_FALSE(MergeHashArchiveFile(manager, folder.At(u"none.qod"), folder.At(u"game.qod")));
}

} // namespace
