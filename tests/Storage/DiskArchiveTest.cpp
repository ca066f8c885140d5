#include <gtest/gtest.h>

#include <string>

#include "Common/StringFormatter.h"
#include "Storage/DiskArchive.h"
#include "Support/LogCapture.h"
#include "Support/ScratchFolder.h"

using namespace Volux;
using VoluxTest::ScratchFolder;

namespace {

std::string Read(IDataArchive& archive, const char16_t* name) {
    IDataStream* stream = archive.OpenStream(name);
    if (stream == nullptr)
        return "<missing>";
    std::string data(size_t(stream->GetLength()), 0);
    if (!data.empty())
        stream->Read(&data[0], _dword(data.size()), 0);
    delete stream;
    return data;
}

// A binary resource list naming the given resources.
std::string ListOf(std::initializer_list<std::u16string> names) {
    std::string out("QOC1", 4);
    auto u32 = [&out](_dword v) {
        for (int i = 0; i < 4; i++)
            out += char(v >> (8 * i));
    };
    u32(_dword(names.size()));
    u32(7);
    for (const std::u16string& name : names) {
        u32(_dword(name.size()));
        for (char16_t c : name) {
            out += char(c);
            out += char(c >> 8);
        }
        out += std::string(16, '\1');
        u32(3);
        u32(0xFFFFFFFF);
        u32(0);
    }
    return out;
}

TEST(DiskArchive, ReadOnlyFolderBacksTheRootUntilDeleted) {
    ScratchFolder folder;
    ASSERT_TRUE(folder.Put(u"ro\\a.txt", "from ro"));
    ASSERT_TRUE(folder.Put(u"ro\\b.txt", "b"));
    ASSERT_TRUE(folder.Put(u"root\\c.txt", "c"));
    DiskArchive archive(nullptr, u"", folder.At(u"root"), folder.At(u"ro"));
    ASSERT_TRUE(archive.Open(nullptr));
    EXPECT_EQ(Read(archive, u"a.txt"), "from ro");
    EXPECT_EQ(archive.Enumerate(nullptr, nullptr, nullptr), 3);
    EXPECT_TRUE(archive.DeleteResource(u"a.txt"));
    EXPECT_FALSE(archive.DeleteResource(u"a.txt"));
    EXPECT_EQ(Read(archive, u"a.txt"), "<missing>");
    EXPECT_FALSE(archive.HasResource(u"a.txt"));
    EXPECT_EQ(folder.Get(u"ro\\a.txt"), "from ro");
    EXPECT_EQ(folder.Get(u"root\\volux3d.deleted"), "a.txt");
    // The list is read back by the next open.
    DiskArchive again(nullptr, u"", folder.At(u"root"), folder.At(u"ro"));
    ASSERT_TRUE(again.Open(nullptr));
    EXPECT_FALSE(again.HasResource(u"a.txt"));
    EXPECT_TRUE(again.HasResource(u"b.txt"));
    // Writing goes under the root and then wins.
    ASSERT_TRUE(again.WriteResource(u"b.txt", "new", 3, Md5Digest()));
    EXPECT_EQ(Read(again, u"b.txt"), "new");
}

TEST(DiskArchive, ResourceListNamesResourcesButOpensNone) {
    ScratchFolder folder;
    ASSERT_TRUE(folder.Put(u"pack.asset", ListOf({u"listed\\one.bin"})));
    ASSERT_TRUE(folder.Put(u"pack\\listed\\one.bin", "one"));
    ASSERT_TRUE(FileSystem::CreateDirectories(folder.At(u"root")));
    VoluxTest::LogCapture log;
    WString source = Format(u">%ls", folder.At(u"pack").Text());
    DiskArchive archive(nullptr, u"", folder.At(u"root"), source);
    ASSERT_TRUE(archive.Open(nullptr));
    EXPECT_NE(log.trace.find(u"[RM] Load R/O resource list : "), std::u16string::npos);
    EXPECT_TRUE(archive.HasResource(u"listed\\one.bin"));
    EXPECT_EQ(archive.OpenStream(u"listed\\one.bin"), nullptr);
    _dword length = 0;
    Md5Digest checksum;
    ASSERT_TRUE(archive.GetResourceInfo(u"listed\\one.bin", length, checksum));
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(archive.Enumerate(nullptr, nullptr, nullptr), 1);
}

TEST(DiskArchive, OpenChecksItsFolders) {
    ScratchFolder folder;
    DiskArchive missingRoot(nullptr, u"", folder.At(u"none"), u"");
    EXPECT_FALSE(missingRoot.Open(nullptr));
    DiskArchive missingSource(nullptr, u"", folder.path, folder.At(u"none"));
    EXPECT_FALSE(missingSource.Open(nullptr));
    DiskArchive missingList(nullptr, u"", folder.path, Format(u">%ls", folder.At(u"none").Text()));
    EXPECT_FALSE(missingList.Open(nullptr));
}

TEST(ResourceList, HostileCountsStopAtTheData) {
    std::string list = ListOf({u"a", u"b"});
    list[4] = char(0xFF), list[5] = char(0xFF), list[6] = char(0xFF), list[7] = char(0x7F);
    ResourceList parsed;
    ASSERT_TRUE(parsed.Load(reinterpret_cast<const _byte*>(list.data()), _dword(list.size())));
    EXPECT_EQ(parsed.Count(), 2u);
    // A name length past the end.
    std::string cut = ListOf({u"abc"});
    cut[12] = char(0xF0);
    ASSERT_TRUE(parsed.Load(reinterpret_cast<const _byte*>(cut.data()), _dword(cut.size())));
    EXPECT_EQ(parsed.Count(), 0u);
    EXPECT_FALSE(parsed.Load(reinterpret_cast<const _byte*>("QOC2"), 4));
}

} // namespace
