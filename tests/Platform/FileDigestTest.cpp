#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common/ByteBuffer.h"
#include "Common/Compression.h"
#include "Common/Md5.h"
#include "Common/StringFormatter.h"
#include "Platform/File.h"
#include "Support/LogCapture.h"

using namespace Volux;
using VoluxTest::LogCapture;
using VoluxTest::Narrow;

namespace {

std::string Show(const WString& text) { return Narrow(text.Text()); }

std::string MakeData(size_t length) {
    std::string data(length, ' ');
    unsigned state = 9;
    for (size_t i = 0; i < length; i++) {
        state = state * 1103515245u + 12345u;
        data[i] = (i / 64) % 3 == 0 ? char(state >> 16) : "digest and expand "[i % 18];
    }
    return data;
}

std::string Packed(const std::string& data, bool useLzma) {
    ByteBuffer buffer;
    EXPECT_TRUE(buffer.Attach(data.data(), _dword(data.size()), true));
    EXPECT_TRUE(PackBuffer(buffer, useLzma));
    return std::string(reinterpret_cast<const char*>(buffer.data), buffer.size);
}

// Each test works in a fresh folder under the system's temporary folder.
class FileDigestTest : public testing::Test {
protected:
    void SetUp() override {
        mRoot = FileSystem::TemporaryName(FileSystem::TemporaryFolder(), u"vfd");
        ASSERT_FALSE(mRoot.IsEmpty());
        ASSERT_TRUE(FileSystem::DeleteFile(mRoot));
        ASSERT_TRUE(FileSystem::CreateDirectories(mRoot));
    }
    void TearDown() override { EXPECT_TRUE(FileSystem::RemoveDirectoryTree(mRoot)) << Show(mRoot); }

    WString At(const char16_t* name) const { return Format(u"%ls\\%ls", mRoot.Text(), name); }
    void Put(const char16_t* name, const std::string& bytes) {
        ASSERT_TRUE(FileSystem::WriteFile(At(name), bytes.data(), _dword(bytes.size()))) << Narrow(name);
    }
    std::string Get(const char16_t* name) const {
        ByteBuffer buffer;
        if (!FileSystem::ReadFile(At(name), buffer))
            return "<unreadable>";
        return std::string(reinterpret_cast<const char*>(buffer.data), buffer.size);
    }
    // Names in the folder, to see that no temporary file stayed behind.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        FileSystem::Walk(mRoot, false, [](const char16_t* name, void* list, void*) {
            static_cast<std::vector<std::string>*>(list)->push_back(Narrow(name));
        }, &names, nullptr);
        return names;
    }

    WString mRoot;
};

TEST_F(FileDigestTest, DigestOfFilesMatchesOneCallMd5) {
    // Empty, within one 64 KiB block, exactly one block, and several blocks with a tail.
    for (size_t length : {size_t(0), size_t(1000), size_t(65536), size_t(3 * 65536 + 1234)}) {
        std::string data = MakeData(length);
        Put(u"data.bin", data);
        EXPECT_EQ(Show(HexText(FileSystem::FileDigest(At(u"data.bin")))), Show(HexText(ComputeMd5(data.data(), length))))
            << length;
    }
    Put(u"empty.bin", "");
    EXPECT_EQ(Show(HexText(FileSystem::FileDigest(At(u"empty.bin")))), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST_F(FileDigestTest, MissingFileOrDirectoryGivesZeroDigest) {
    EXPECT_TRUE(FileSystem::FileDigest(At(u"missing.bin")).IsZero());
    EXPECT_TRUE(FileSystem::FileDigest(mRoot).IsZero());
}

TEST_F(FileDigestTest, CompressedFileNeedsAFullHeader) {
    std::string block = Packed(MakeData(500), true);
    Put(u"packed.bin", block);
    Put(u"short.bin", block.substr(0, 19));
    Put(u"plain.bin", MakeData(500));
    EXPECT_TRUE(FileSystem::IsCompressedFile(At(u"packed.bin")));
    EXPECT_FALSE(FileSystem::IsCompressedFile(At(u"short.bin")));
    EXPECT_FALSE(FileSystem::IsCompressedFile(At(u"plain.bin")));
    EXPECT_FALSE(FileSystem::IsCompressedFile(At(u"missing.bin")));
}

TEST_F(FileDigestTest, ExpandsLzmaAndZlibFilesInPlace) {
    std::string data = MakeData(200000);
    for (bool useLzma : {true, false}) {
        SCOPED_TRACE(useLzma ? "lzma" : "zlib");
        Put(u"res.bin", Packed(data, useLzma));
        EXPECT_TRUE(FileSystem::ExpandFileInPlace(At(u"res.bin")));
        EXPECT_TRUE(Get(u"res.bin") == data);
        EXPECT_EQ(Names(), std::vector<std::string>{"res.bin"});
    }
}

TEST_F(FileDigestTest, PlainAndShortFilesAreLeftAlone) {
    std::string plain = MakeData(3000);
    std::string shortBlock = Packed(plain, false).substr(0, 19);
    Put(u"plain.bin", plain);
    Put(u"short.bin", shortBlock);
    EXPECT_TRUE(FileSystem::ExpandFileInPlace(At(u"plain.bin")));
    EXPECT_TRUE(FileSystem::ExpandFileInPlace(At(u"short.bin")));
    EXPECT_TRUE(Get(u"plain.bin") == plain);
    EXPECT_TRUE(Get(u"short.bin") == shortBlock);
}

TEST_F(FileDigestTest, CorruptBlockKeepsTheOriginalAndLeavesNoTemporaryFile) {
    std::string block = Packed(MakeData(100000), true);
    struct Case {
        const char* name;
        std::string bytes;
    };
    std::string corrupt = block;
    for (size_t i = 30; i < corrupt.size(); i += 5)
        corrupt[i] ^= 0x33;
    std::string truncated = block.substr(0, block.size() / 2);
    std::string lying = block;
    lying[16] = char(lying[16] + 1);  // promises one byte more than the stream holds
    const Case cases[] = {{"corrupt", corrupt}, {"truncated", truncated}, {"lying size", lying}};
    LogCapture log;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Put(u"res.bin", c.bytes);
        EXPECT_FALSE(FileSystem::ExpandFileInPlace(At(u"res.bin")));
        EXPECT_TRUE(Get(u"res.bin") == c.bytes);
        EXPECT_EQ(Names(), std::vector<std::string>{"res.bin"});
    }
    EXPECT_NE(log.trace.find(u"[FG] "), std::u16string::npos);
}

} // namespace
