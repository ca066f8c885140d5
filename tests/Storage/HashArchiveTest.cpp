#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "Common/LittleEndian.h"
#include "Storage/HashArchive.h"
#include "Support/LogCapture.h"
#include "Support/ScratchFolder.h"

using namespace Volux;
using VoluxTest::LogCapture;
using VoluxTest::Narrow;
using VoluxTest::ScratchFolder;

namespace {

std::string Data(size_t length, char seed) {
    std::string data(length, 0);
    for (size_t i = 0; i < length; i++)
        data[i] = char(seed + i * 7);
    return data;
}

// An archive file in a scratch folder, written and inspected through a HashArchive or byte
// by byte.
class ArchiveFixture : public ::testing::Test {
protected:
    WString Path(const char16_t* name = u"game.qod") const { return folder.At(name); }

    std::unique_ptr<HashArchive> Create(_dword items, const char16_t* name = u"game.qod") {
        auto archive = std::make_unique<HashArchive>(&lock, u"");
        EXPECT_TRUE(archive->Create(Path(name), items));
        return archive;
    }
    std::unique_ptr<HashArchive> Open(bool writable = true, _dword need = 0, const char16_t* name = u"game.qod") {
        auto archive = std::make_unique<HashArchive>(&lock, u"");
        if (!archive->Open(Path(name), writable, need))
            return nullptr;
        return archive;
    }
    static bool Put(HashArchive& archive, const char16_t* name, const std::string& data) {
        Md5Digest checksum = ComputeMd5(data.data(), data.size());
        return archive.WriteResource(name, data.data(), _dword(data.size()), checksum);
    }
    static std::string Get(HashArchive& archive, const char16_t* name) {
        IDataStream* stream = archive.OpenStream(name);
        if (stream == nullptr)
            return "<missing>";
        std::string data(size_t(stream->GetLength()), 0);
        bool ok = data.empty() || stream->Read(&data[0], _dword(data.size()), 0);
        delete stream;
        return ok ? data : "<unreadable>";
    }
    std::string Bytes(const char16_t* name = u"game.qod") const { return folder.Get(name); }
    void Store(const std::string& bytes, const char16_t* name = u"game.qod") const { folder.Put(name, bytes); }
    static void PutU32(std::string& bytes, size_t at, _dword value) {
        for (int i = 0; i < 4; i++)
            bytes[at + i] = char(value >> (8 * i));
    }
    // The item at the given place of the file, unscrambled.
    HashItem RawItem(size_t position, _dword indexInBlock) const {
        std::string bytes = Bytes();
        HashItem item;
        DecodeItem(reinterpret_cast<const _byte*>(bytes.data() + position), indexInBlock, item);
        return item;
    }

    ScratchFolder folder;
    CriticalSection lock;
    LogCapture log;
};

using HashArchiveFormat = ArchiveFixture;

TEST_F(HashArchiveFormat, FreshArchiveWithOneResourceHasTheDocumentedLayout) {
    auto archive = Create(1000);
    std::string data = Data(100, 'a');
    ASSERT_TRUE(Put(*archive, u"textures\\hero.png", data));
    archive.reset();

    std::string bytes = Bytes();
    ASSERT_EQ(bytes.size(), 40u + 72000u + 116u);
    EXPECT_EQ(bytes.substr(0, 8), std::string("PSH\0\1\0\0\0", 8));
    EXPECT_EQ(bytes.substr(12, 24), std::string(24, '\0'));
    EXPECT_EQ(ReadU32LE(reinterpret_cast<const _byte*>(bytes.data() + 36)), 1000u);
    // Chunk header then data.
    EXPECT_EQ(bytes.substr(72040, 16), std::string("USE\0\x74\0\0\0\0\0\0\0\0\0\0\0", 16));
    EXPECT_EQ(bytes.substr(72056), data);

    HashItem item = RawItem(40, 0);
    EXPECT_EQ(item.magic, _CHUNK_USE_CODE);
    EXPECT_EQ(item.chunkOffset, 72040u);
    EXPECT_EQ(item.chunkLength, 116u);
    EXPECT_EQ(item.dataOffset, 72056u);
    EXPECT_EQ(item.dataLength, 100u);
    EXPECT_EQ(item.key[0], 0x9fba259eu);
    EXPECT_EQ(item.key[1], 0x94738eb9u);
    EXPECT_EQ(item.key[2], 0x47330d9bu);
    EXPECT_TRUE(item.checksum == ComputeMd5(data.data(), data.size()));
    // Unused items are "NOT" scrambled by position: the first with 0xD3 itself, the second
    // (position 0x48) with 0x48 + 0xD3.
    EXPECT_EQ(_byte(bytes[40 + 72 + 0]), _byte('N' ^ 0x1B));
    EXPECT_EQ(_byte(bytes[40 + 72 * 2 + 0]), _byte('N' ^ ItemScrambleByte(2)));
    EXPECT_EQ(ItemScrambleByte(0), 0xD3);
    EXPECT_EQ(ItemScrambleByte(1), 0x1B);
}

TEST_F(HashArchiveFormat, VersionIsWrittenAtOnce) {
    auto archive = Create(4);
    archive->SetVersion(0x01020304);
    EXPECT_EQ(Bytes().substr(8, 4), std::string("\4\3\2\1", 4));
    archive.reset();
    EXPECT_EQ(Open(false)->GetVersion(), 0x01020304u);
}

TEST_F(HashArchiveFormat, CompressedFlagFollowsTheBlockHeader) {
    auto archive = Create(4);
    std::string block("\xF7\xF4\xE4\xC8\xCA\xD7\xD5\xC2", 8);
    block += std::string(16, '\0');
    ASSERT_TRUE(Put(*archive, u"packed", block));
    ASSERT_TRUE(Put(*archive, u"plain", block.substr(0, 19)));
    HashItem item;
    ASSERT_TRUE(archive->FindItem(u"packed", item));
    EXPECT_EQ(item.compressed, 1u);
    ASSERT_TRUE(archive->FindItem(u"plain", item));
    EXPECT_EQ(item.compressed, 0u);
}

// ---- open failures

struct BrokenFile {
    const char* what;
    size_t length;            // bytes of a valid 2-item archive kept (0 = keep all)
    size_t patchAt;           // where to write patchValue (0 = nowhere)
    _dword patchValue;
    const char16_t* message;  // expected start of the logged line
};

TEST_F(HashArchiveFormat, BrokenFilesFailWithTheirMessage) {
    const BrokenFile cases[] = {
        {"empty", 1, 0, 0, u"[RM] Can't read file token: "},
        {"bad magic", 0, 0 + 1, 0x00485351, u"[RM] Magic error: "},
        {"token version", 0, 4, 2, u"[RM] Magic error: "},
        {"no version", 8, 0, 0, u"[RM] Read version failed: "},
        {"short reserved", 20, 0, 0, u"[RM] Read reserved failed: "},
        {"no next", 28, 0, 0, u"[RM] Read next item offset failed: "},
        {"no count", 36, 0, 0, u"[RM] Read max file item count failed: "},
        {"count past end", 0, 36, 3, u"[RM] Item block of 3 items"},
        {"count huge", 0, 36, 0xFFFFFFFF, u"[RM] Item block of 4294967295 items"},
        {"chain past end", 0, 28, 0x10000, u"[RM] Item block chain broken at 0x10000"},
        {"chain into itself", 0, 28, 30, u"[RM] Item block chain broken at 0x1e"},
    };
    for (const BrokenFile& broken : cases) {
        SCOPED_TRACE(broken.what);
        Create(2).reset();
        std::string bytes = Bytes();
        if (broken.length == 1)
            bytes.clear();
        else if (broken.length > 0)
            bytes.resize(broken.length);
        if (broken.patchAt == 1)
            PutU32(bytes, 0, broken.patchValue);
        else if (broken.patchAt > 1)
            PutU32(bytes, broken.patchAt, broken.patchValue);
        Store(bytes);
        log.Clear();
        EXPECT_EQ(Open(true), nullptr);
        EXPECT_NE(log.trace.find(broken.message), std::u16string::npos) << Narrow(log.trace);
        EXPECT_NE(log.error.find(broken.message), std::u16string::npos) << Narrow(log.error);
    }
    log.Clear();
    EXPECT_EQ(Open(true, 0, u"absent.qod"), nullptr);
    EXPECT_NE(log.trace.find(u"[RM] Open hash archive file failed: "), std::u16string::npos);
}

TEST_F(HashArchiveFormat, LoopingBlockChainIsRefused) {
    auto archive = Create(1);
    archive.reset();
    archive = Open(true, 2);  // appends a second block at 112
    ASSERT_NE(archive, nullptr);
    archive.reset();
    std::string bytes = Bytes();
    ASSERT_EQ(bytes.size(), 40u + 72 + 12 + 144);
    // The second block points back at itself.
    PutU32(bytes, 112, 112);
    Store(bytes);
    log.Clear();
    EXPECT_EQ(Open(false), nullptr);
    EXPECT_NE(log.trace.find(u"[RM] Item block chain broken at 0x70"), std::u16string::npos) << Narrow(log.trace);
}

TEST_F(HashArchiveFormat, ItemsPointingOutsideTheFileAreIgnored) {
    auto archive = Create(3);
    ASSERT_TRUE(Put(*archive, u"good", Data(10, 'g')));
    ASSERT_TRUE(Put(*archive, u"bad", Data(10, 'b')));
    archive.reset();
    // Move the second item's data far past the end.
    std::string bytes = Bytes();
    HashItem item;
    DecodeItem(reinterpret_cast<const _byte*>(bytes.data() + 40 + 72), 1, item);
    item.dataOffset = 0x7FFFFF00;
    _byte encoded[_ITEM_SIZE];
    EncodeItem(item, 1, encoded);
    bytes.replace(40 + 72, 72, reinterpret_cast<const char*>(encoded), 72);
    Store(bytes);
    log.Clear();
    archive = Open(false);
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(Get(*archive, u"good"), Data(10, 'g'));
    EXPECT_EQ(Get(*archive, u"bad"), "<missing>");
    EXPECT_EQ(archive->DamagedItemCount(), 1u);
    EXPECT_NE(log.trace.find(u"[RM] 1 damaged items ignored in "), std::u16string::npos);
}

// ---- growth

TEST_F(HashArchiveFormat, WritableOpenGrowsByABlockOfTheNeededCount) {
    struct Case {
        _dword need;
        size_t blocks;
        _dword items;
    } cases[] = {{800, 1, 1000}, {1000, 1, 1000}, {1200, 2, 2200}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.need);
        Create(1000).reset();
        log.Clear();
        auto archive = Open(true, c.need);
        ASSERT_NE(archive, nullptr);
        EXPECT_EQ(archive->BlockCount(), c.blocks);
        EXPECT_EQ(archive->ItemCount(), c.items);
        if (c.blocks == 2) {
            EXPECT_NE(log.trace.find(u"[RM] Expand qod, need 1200, current 1000"), std::u16string::npos);
            std::string bytes = Bytes();
            EXPECT_EQ(bytes.size(), 40u + 72000 + 12 + 72 * 1200);
            EXPECT_EQ(ReadU32LE(reinterpret_cast<const _byte*>(bytes.data() + 28)), 72040u);
            EXPECT_EQ(ReadU32LE(reinterpret_cast<const _byte*>(bytes.data() + 72040 + 8)), 1200u);
        }
    }
}

TEST_F(HashArchiveFormat, ResourcesInEveryBlockSurviveReopening) {
    auto archive = Create(2);
    ASSERT_TRUE(Put(*archive, u"one", Data(5, '1')));
    ASSERT_TRUE(Put(*archive, u"two", Data(6, '2')));
    log.Clear();
    EXPECT_FALSE(Put(*archive, u"three", Data(7, '3')));
    EXPECT_NE(log.trace.find(u"[RM] Free item not found: three"), std::u16string::npos);
    archive.reset();
    archive = Open(true, 3);
    ASSERT_TRUE(Put(*archive, u"three", Data(7, '3')));
    ASSERT_TRUE(Put(*archive, u"four", Data(8, '4')));
    archive.reset();
    archive = Open(false);
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(archive->Enumerate(nullptr, nullptr, nullptr), 4);
    EXPECT_EQ(Get(*archive, u"one"), Data(5, '1'));
    EXPECT_EQ(Get(*archive, u"four"), Data(8, '4'));
    // The second block's items are scrambled from index 0 again.
    std::string bytes = Bytes();
    _qword second = ReadU32LE(reinterpret_cast<const _byte*>(bytes.data() + 28)) + 12;
    HashItem item = RawItem(size_t(second), 0);
    EXPECT_EQ(item.magic, _CHUNK_USE_CODE);
}

// ---- allocation and freeing

using HashArchiveSpace = ArchiveFixture;

TEST_F(HashArchiveSpace, DeletingTheLastChunkCutsTheFile) {
    auto archive = Create(4);
    ASSERT_TRUE(Put(*archive, u"a", Data(10, 'a')));
    _qword before = archive->FileLength();
    ASSERT_TRUE(Put(*archive, u"b", Data(20, 'b')));
    ASSERT_TRUE(archive->DeleteResource(u"b"));
    EXPECT_EQ(archive->FileLength(), before);
    EXPECT_EQ(Bytes().size(), size_t(before));
    EXPECT_EQ(archive->FreeRegionCount(), 0u);
    EXPECT_FALSE(archive->DeleteResource(u"b"));
}

TEST_F(HashArchiveSpace, FreedRegionsMergeOnBothSides) {
    auto archive = Create(8);
    const char16_t* names[] = {u"r0", u"r1", u"r2", u"r3", u"r4"};
    for (int i = 0; i < 5; i++)
        ASSERT_TRUE(Put(*archive, names[i], Data(100, char('a' + i))));
    _dword start = 40 + 8 * 72;
    ASSERT_TRUE(archive->DeleteResource(u"r1"));
    ASSERT_TRUE(archive->DeleteResource(u"r3"));
    ASSERT_EQ(archive->FreeRegionCount(), 2u);
    // r2 between them: one region from r1 to r3's end.
    ASSERT_TRUE(archive->DeleteResource(u"r2"));
    ASSERT_EQ(archive->FreeRegionCount(), 1u);
    EXPECT_EQ(archive->FreeRegion(0).chunkOffset, start + 116);
    EXPECT_EQ(archive->FreeRegion(0).chunkLength, 3u * 116);
    // The same holds after reopening: the merged item is what the file says.
    archive.reset();
    archive = Open(true);
    ASSERT_EQ(archive->FreeRegionCount(), 1u);
    EXPECT_EQ(archive->FreeRegion(0).chunkLength, 3u * 116);
    EXPECT_EQ(Get(*archive, u"r4"), Data(100, 'e'));
    EXPECT_EQ(Get(*archive, u"r0"), Data(100, 'a'));
}

TEST_F(HashArchiveSpace, FirstFitSplitsOrTakesARegionWhole) {
    auto archive = Create(8);
    for (const char16_t* name : {u"a", u"b", u"c"})
        ASSERT_TRUE(Put(*archive, name, Data(100, 'x')));
    _dword start = 40 + 8 * 72;
    ASSERT_TRUE(archive->DeleteResource(u"b"));  // region [start+116, 116)
    // A smaller chunk splits it from the front.
    ASSERT_TRUE(Put(*archive, u"small", Data(30, 's')));
    HashItem item;
    ASSERT_TRUE(archive->FindItem(u"small", item));
    EXPECT_EQ(item.chunkOffset, start + 116);
    ASSERT_EQ(archive->FreeRegionCount(), 1u);
    EXPECT_EQ(archive->FreeRegion(0).chunkOffset, start + 116 + 46);
    EXPECT_EQ(archive->FreeRegion(0).chunkLength, 70u);
    // A chunk of exactly the rest takes the region whole.
    ASSERT_TRUE(Put(*archive, u"exact", Data(54, 'e')));
    ASSERT_TRUE(archive->FindItem(u"exact", item));
    EXPECT_EQ(item.chunkOffset, start + 116 + 46);
    EXPECT_EQ(archive->FreeRegionCount(), 0u);
    // A chunk too large for any region goes to the end.
    _qword end = archive->FileLength();
    ASSERT_TRUE(Put(*archive, u"large", Data(200, 'l')));
    ASSERT_TRUE(archive->FindItem(u"large", item));
    EXPECT_EQ(item.chunkOffset, end);
    archive.reset();
    archive = Open(false);
    EXPECT_EQ(Get(*archive, u"small"), Data(30, 's'));
    EXPECT_EQ(Get(*archive, u"exact"), Data(54, 'e'));
    EXPECT_EQ(Get(*archive, u"c"), Data(100, 'x'));
}

TEST_F(HashArchiveSpace, SlotCursorRotatesPastOccupiedSlots) {
    auto archive = Create(4);
    ASSERT_TRUE(Put(*archive, u"a", "1"));
    ASSERT_TRUE(Put(*archive, u"b", "2"));
    ASSERT_TRUE(Put(*archive, u"c", "3"));
    EXPECT_EQ(archive->SlotCursor(), 2u);
    // Freeing slot 0 (its chunk is not last, so it stays a region) and writing a larger
    // resource takes the next empty slot from the cursor, not slot 0.
    ASSERT_TRUE(archive->DeleteResource(u"a"));
    ASSERT_TRUE(Put(*archive, u"d", "4444"));
    EXPECT_EQ(archive->Item(3).magic, _CHUNK_USE_CODE);
    EXPECT_EQ(archive->Item(0).magic, 0u);
    EXPECT_TRUE(archive->Item(0).IsFreeRegion());
}

TEST_F(HashArchiveSpace, FullTableReusesTheSmallestRegionItemAndLeaksItsSpace) {
    auto archive = Create(3);
    ASSERT_TRUE(Put(*archive, u"a", Data(10, 'a')));
    ASSERT_TRUE(Put(*archive, u"b", Data(20, 'b')));
    ASSERT_TRUE(Put(*archive, u"c", Data(30, 'c')));
    ASSERT_TRUE(archive->DeleteResource(u"a"));  // region of 26 bytes in slot 0
    _dword regionOffset = archive->Item(0).chunkOffset;
    _qword end = archive->FileLength();
    log.Clear();
    ASSERT_TRUE(Put(*archive, u"big", Data(40, 'B')));
    std::string offset = std::to_string(regionOffset);
    EXPECT_NE(log.trace.find(u"[RM] Qod leaks at " + std::u16string(offset.begin(), offset.end()) + u" - 26, new item at "),
              std::u16string::npos)
        << Narrow(log.trace);
    EXPECT_NE(log.error.find(u"[RM] Qod leaks at "), std::u16string::npos);
    HashItem item;
    ASSERT_TRUE(archive->FindItem(u"big", item));
    EXPECT_EQ(item.chunkOffset, end);
    EXPECT_EQ(archive->FreeRegionCount(), 0u);
    archive.reset();
    archive = Open(false);
    EXPECT_EQ(Get(*archive, u"big"), Data(40, 'B'));
    EXPECT_EQ(Get(*archive, u"b"), Data(20, 'b'));
}

TEST_F(HashArchiveSpace, ReplaceKeepsOneLiveItem) {
    auto archive = Create(4);
    ASSERT_TRUE(Put(*archive, u"x", Data(50, '1')));
    ASSERT_TRUE(Put(*archive, u"y", Data(5, 'y')));
    ASSERT_TRUE(Put(*archive, u"X", Data(80, '2')));
    EXPECT_EQ(Get(*archive, u"x"), Data(80, '2'));
    EXPECT_EQ(archive->Enumerate(nullptr, nullptr, nullptr), 2);
    archive.reset();
    archive = Open(true);
    EXPECT_EQ(Get(*archive, u"x"), Data(80, '2'));
    EXPECT_EQ(archive->Enumerate(nullptr, nullptr, nullptr), 2);
}

// The new version is written before the old one is freed, so a replace needs one empty slot
// more than the table may have: a full table grows by a block instead of refusing, and
// space is neither leaked nor lost.
TEST_F(HashArchiveSpace, ReplaceInAFullTableGrowsIt) {
    auto archive = Create(3);
    ASSERT_TRUE(Put(*archive, u"a", Data(10, 'a')));
    ASSERT_TRUE(Put(*archive, u"b", Data(20, 'b')));
    ASSERT_TRUE(Put(*archive, u"c", Data(30, 'c')));
    for (int round = 0; round < 40; round++) {
        std::string version = Data(20, char('0' + round));
        ASSERT_TRUE(Put(*archive, u"b", version)) << "round " << round;
        ASSERT_EQ(Get(*archive, u"b"), version) << "round " << round;
    }
    EXPECT_EQ(archive->BlockCount(), 2u);
    EXPECT_EQ(log.error.find(u"[RM] Qod leaks at "), std::u16string::npos);
    EXPECT_EQ(archive->Enumerate(nullptr, nullptr, nullptr), 3);
    archive.reset();
    archive = Open(false);
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(Get(*archive, u"a"), Data(10, 'a'));
    EXPECT_EQ(Get(*archive, u"b"), Data(20, char('0' + 39)));
    EXPECT_EQ(Get(*archive, u"c"), Data(30, 'c'));
}

TEST_F(HashArchiveSpace, ChunksNeverPass4GiB) {
    auto archive = Create(3);
    ASSERT_TRUE(Put(*archive, u"a", "1"));
    archive.reset();
    {
        File file;
        ASSERT_TRUE(file.Open(Path(), File::_UPDATE));
        ASSERT_TRUE(file.SetSize(0xFFFFFF00ull));
    }
    archive = Open(true);
    ASSERT_NE(archive, nullptr);
    log.Clear();
    EXPECT_TRUE(Put(*archive, u"fits", Data(200, 'f')));
    EXPECT_FALSE(Put(*archive, u"passes", Data(300, 'p')));
    EXPECT_NE(log.trace.find(u"would pass 4 GiB"), std::u16string::npos) << Narrow(log.trace);
    EXPECT_EQ(archive->FileLength(), 0xFFFFFF00ull + 216);
    EXPECT_EQ(Get(*archive, u"fits"), Data(200, 'f'));
}

// ---- stacked pair

using HashArchivePair = ArchiveFixture;

TEST_F(HashArchivePair, WritableFileHidesAndReaddsBaseResources) {
    auto base = Create(4, u"base.qod");
    ASSERT_TRUE(Put(*base, u"shared", Data(10, 'o')));
    ASSERT_TRUE(Put(*base, u"gone", Data(10, 'g')));
    ASSERT_TRUE(Put(*base, u"kept", Data(10, 'k')));
    base.reset();
    Create(8, u"top.qod").reset();

    auto openPair = [this]() {
        auto archive = std::make_unique<HashArchive>(&lock, u"");
        EXPECT_TRUE(archive->Open(Path(u"base.qod"), false, 0));
        EXPECT_TRUE(archive->Open(Path(u"top.qod"), true, 0));
        return archive;
    };
    auto pair = openPair();
    EXPECT_EQ(Get(*pair, u"shared"), Data(10, 'o'));
    ASSERT_TRUE(Put(*pair, u"shared", Data(12, 'n')));
    ASSERT_TRUE(pair->DeleteResource(u"gone"));
    EXPECT_EQ(Get(*pair, u"shared"), Data(12, 'n'));
    EXPECT_EQ(Get(*pair, u"gone"), "<missing>");
    EXPECT_EQ(pair->Enumerate(nullptr, nullptr, nullptr), 2);
    // One "USE" and two "DEL" items in the writable file; the base file is untouched.
    int use = 0, del = 0;
    for (_dword i = 0; i < pair->ItemCount(); i++) {
        use += pair->Item(i).magic == _CHUNK_USE_CODE;
        del += pair->Item(i).magic == _CHUNK_DEL_CODE;
    }
    EXPECT_EQ(use, 1);
    EXPECT_EQ(del, 2);
    pair.reset();

    pair = openPair();
    EXPECT_EQ(Get(*pair, u"shared"), Data(12, 'n'));
    EXPECT_EQ(Get(*pair, u"gone"), "<missing>");
    EXPECT_EQ(Get(*pair, u"kept"), Data(10, 'k'));
    HashItem item;
    ASSERT_TRUE(pair->FindItem(u"kept", item));
    EXPECT_EQ(item.origin, 1u);
    // Re-adding a hidden base resource puts the new copy in the writable file.
    ASSERT_TRUE(Put(*pair, u"gone", Data(3, 'r')));
    pair.reset();
    pair = openPair();
    EXPECT_EQ(Get(*pair, u"gone"), Data(3, 'r'));
    auto alone = Open(false, 0, u"base.qod");
    EXPECT_EQ(Get(*alone, u"gone"), Data(10, 'g'));
}

TEST_F(HashArchivePair, EnumerateGivesKeyTextsAndStops) {
    auto archive = Create(4);
    ASSERT_TRUE(Put(*archive, u"textures\\hero.png", "1"));
    ASSERT_TRUE(Put(*archive, u"b", "2"));
    std::u16string names;
    auto collect = [](const char16_t* name, void* arg1, void*) {
        *static_cast<std::u16string*>(arg1) += name;
        return true;
    };
    EXPECT_EQ(archive->Enumerate(collect, &names, nullptr), 2);
    EXPECT_EQ(names.substr(0, 33), u"<0000000047330d9b94738eb99fba259e");
    EXPECT_EQ(Get(*archive, names.substr(0, 33).c_str()), "1");
    auto stop = [](const char16_t*, void*, void*) { return false; };
    EXPECT_EQ(archive->Enumerate(stop, nullptr, nullptr), -1);
}

} // namespace
