#include <gtest/gtest.h>

#include <string>

#include "Storage/HashArchive.h"
#include "Storage/HashArchiveCheck.h"
#include "Support/LogCapture.h"
#include "Support/ScratchFolder.h"

using namespace Volux;
using VoluxTest::Narrow;

namespace {

class HashArchiveCheck : public ::testing::Test {
protected:
    void SetUp() override {
        HashArchive archive(&lock, u"");
        ASSERT_TRUE(archive.Create(folder.At(u"g.qod"), 4));
        for (const char16_t* name : {u"a", u"b", u"c"}) {
            std::string data(100, char(name[0]));
            ASSERT_TRUE(archive.WriteResource(name, data.data(), 100, ComputeMd5(data.data(), 100)));
        }
        ASSERT_TRUE(archive.WriteDeletionMarker(u"hidden", Md5Digest()));
        ASSERT_TRUE(archive.DeleteResource(u"a"));
    }
    std::string Problems(const ArchiveCheckReport& report) {
        std::string all;
        for (const WString& problem : report.problems)
            all += Narrow(problem.Text()) + "\n";
        return all;
    }
    // The first item's place in the file, rewritten.
    void PatchItem(_dword index, void (*change)(HashItem&)) {
        std::string bytes = folder.Get(u"g.qod");
        HashItem item;
        DecodeItem(reinterpret_cast<const _byte*>(bytes.data() + 40 + 72 * index), index, item);
        change(item);
        _byte encoded[_ITEM_SIZE];
        EncodeItem(item, index, encoded);
        bytes.replace(40 + 72 * index, 72, reinterpret_cast<const char*>(encoded), 72);
        folder.Put(u"g.qod", bytes);
    }

    VoluxTest::ScratchFolder folder;
    VoluxTest::LogCapture log;
    CriticalSection lock;
};

TEST_F(HashArchiveCheck, SoundArchiveCountsItsParts) {
    ArchiveCheckReport report;
    ASSERT_TRUE(CheckHashArchive(folder.At(u"g.qod"), report));
    EXPECT_EQ(Problems(report), "");
    EXPECT_EQ(report.resources, 2u);
    EXPECT_EQ(report.markers, 1u);
    EXPECT_EQ(report.freeRegions, 1u);
    EXPECT_EQ(report.freeBytes, 116u);
    EXPECT_EQ(report.lostBytes, 0u);
}

TEST_F(HashArchiveCheck, DamageIsReported) {
    struct Case {
        const char* what;
        _dword item;
        void (*change)(HashItem&);
        const char* expected;
    } cases[] = {
        {"checksum", 1, [](HashItem& i) { i.checksum.bytes[0] ^= 1; }, "checksum mismatch"},
        {"past end", 1, [](HashItem& i) { i.chunkOffset = 0x7FFFFF00; }, "passes the end of the file"},
        {"overlap", 2, [](HashItem& i) { i.chunkOffset -= 50, i.dataOffset -= 50; }, "overlaps"},
        {"no header", 2, [](HashItem& i) { i.chunkOffset += 4, i.dataOffset += 4; }, "no chunk header"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        PatchItem(c.item, c.change);
        ArchiveCheckReport report;
        ASSERT_TRUE(CheckHashArchive(folder.At(u"g.qod"), report));
        EXPECT_NE(Problems(report).find(c.expected), std::string::npos) << Problems(report);
    }
    folder.Put(u"g.qod", "PSH");
    ArchiveCheckReport report;
    EXPECT_FALSE(CheckHashArchive(folder.At(u"g.qod"), report));
}

TEST_F(HashArchiveCheck, CompactDropsFreeAndLostSpaceAndKeepsEverythingElse) {
    // Bytes an interrupted append left behind.
    std::string bytes = folder.Get(u"g.qod") + std::string(500, 'j');
    folder.Put(u"g.qod", bytes);
    ArchiveCheckReport report;
    ASSERT_TRUE(CheckHashArchive(folder.At(u"g.qod"), report));
    EXPECT_EQ(report.lostBytes, 500u);
    ASSERT_TRUE(CompactHashArchive(folder.At(u"g.qod"), folder.At(u"c.qod"), 2));
    ASSERT_TRUE(CheckHashArchive(folder.At(u"c.qod"), report));
    EXPECT_EQ(Problems(report), "");
    EXPECT_EQ(report.lostBytes + report.freeBytes, 0u);
    EXPECT_EQ(report.items, 5u);
    EXPECT_EQ(report.fileLength, 40u + 5 * 72 + 2 * 116 + 16);
    HashArchive compacted(&lock, u"");
    ASSERT_TRUE(compacted.Open(folder.At(u"c.qod"), false, 0));
    HashItem item;
    ASSERT_TRUE(compacted.FindItem(u"c", item));
    EXPECT_EQ(item.dataLength, 100u);
    EXPECT_FALSE(compacted.HasResource(u"a"));
}

} // namespace
