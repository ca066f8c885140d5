#include <gtest/gtest.h>

#include <string>

#include "Common/Compression.h"
#include "Storage/MemArchive.h"
#include "Storage/ResourceManager.h"
#include "Support/LogCapture.h"

using namespace Volux;

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

TEST(MemArchive, DefaultExtensionIsAddedToOtherNames) {
    MemArchive archive(nullptr, u"scripts", u"lua");
    ASSERT_TRUE(archive.WriteResource(u"launcher", "print(1)", 8, Md5Digest()));
    EXPECT_EQ(Read(archive, u"launcher.lua"), "print(1)");
    EXPECT_EQ(Read(archive, u"LAUNCHER"), "print(1)");
    EXPECT_TRUE(archive.HasResource(u"launcher.LUA"));
    EXPECT_TRUE(archive.DeleteResource(u"launcher"));
    EXPECT_FALSE(archive.DeleteResource(u"launcher"));
}

TEST(MemArchive, OpenStreamsKeepTheirBytesAfterAReplace) {
    MemArchive archive(nullptr, u"", u"");
    ASSERT_TRUE(archive.WriteResource(u"a", "old", 3, Md5Digest()));
    IDataStream* stream = archive.OpenStream(u"a");
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(archive.WriteResource(u"a", "new!", 4, Md5Digest()));
    ASSERT_TRUE(archive.DeleteResource(u"a"));
    char out[3];
    EXPECT_TRUE(stream->Read(out, 3, 0));
    EXPECT_EQ(std::string(out, 3), "old");
    delete stream;
}

TEST(MemArchive, ExportRoundTripsThroughTheManager) {
    VoluxTest::LogCapture log;
    ResourceManager manager;
    IDataArchive* source = manager.CreateMemArchive(u"", u"");
    ASSERT_TRUE(source->WriteResource(u"one.txt", "first", 5, Md5Digest()));
    ASSERT_TRUE(source->WriteResource(u"dir\\two.txt", "second", 6, Md5Digest()));
    ASSERT_TRUE(source->WriteResource(u"empty.txt", "", 0, Md5Digest()));
    ByteBuffer blob;
    ASSERT_TRUE(source->Export(blob));
    EXPECT_TRUE(IsCompressedBlock(blob.data, blob.size));
    MemArchive copy(nullptr, u"", u"");
    ASSERT_TRUE(copy.Open(blob.data, blob.size));
    EXPECT_EQ(Read(copy, u"one.txt"), "first");
    EXPECT_EQ(Read(copy, u"dir\\two.txt"), "second");
    // Empty resources are not exported.
    EXPECT_EQ(copy.Enumerate(nullptr, nullptr, nullptr), 2);

    IDataArchive* empties = manager.CreateMemArchive(u"e", u"");
    ASSERT_TRUE(empties->WriteResource(u"x", "", 0, Md5Digest()));
    ByteBuffer none;
    ASSERT_TRUE(empties->Export(none));
    EXPECT_EQ(none.size, 0u);
}

TEST(MemArchive, TruncatedBlobFailsTheOpen) {
    // One record: name "ab", 4 data bytes of which only 3 are there.
    std::string blob("\2\0\0\0a\0b\0\0\0\4\0\0\0xyz", 17);
    struct Case {
        size_t length;
        bool ok;
    } cases[] = {{17, false}, {3, false}, {8, false}, {0, true}};
    for (const Case& c : cases) {
        MemArchive archive(nullptr, u"", u"");
        EXPECT_EQ(archive.Open(blob.data(), _dword(c.length)), c.ok) << c.length;
    }
    blob += "w";
    MemArchive archive(nullptr, u"", u"");
    ASSERT_TRUE(archive.Open(blob.data(), _dword(blob.size())));
    EXPECT_EQ(Read(archive, u"ab"), "xyzw");
}

} // namespace
