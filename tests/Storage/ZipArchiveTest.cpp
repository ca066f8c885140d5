#include <gtest/gtest.h>

#include <zlib.h>

#include <string>

#include "Storage/MemArchive.h"

using namespace Volux;

namespace {

void U16(std::string& out, unsigned v) {
    out += char(v);
    out += char(v >> 8);
}
void U32(std::string& out, _dword v) {
    for (int i = 0; i < 4; i++)
        out += char(v >> (8 * i));
}

std::string RawDeflate(const std::string& data) {
    z_stream stream = {};
    deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(data.size() + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// One local file header and its data, as a zip packer writes them.
std::string Entry(const std::string& name, const std::string& data, unsigned method, _dword crcDelta = 0) {
    std::string packed = method == 8 ? RawDeflate(data) : data;
    std::string out;
    U32(out, 0x04034B50);
    U16(out, 20);
    U16(out, 0);
    U16(out, method);
    U16(out, 0);
    U16(out, 0);
    U32(out, _dword(crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size()))) + crcDelta);
    U32(out, _dword(packed.size()));
    U32(out, _dword(data.size()));
    U16(out, unsigned(name.size()));
    U16(out, 0);
    return out + name + packed;
}

std::string CentralDirectory() {
    std::string out;
    U32(out, 0x02014B50);
    return out + std::string(42, '\0');
}

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

TEST(ZipArchive, ReadsStoredAndDeflatedEntries) {
    std::string text(2000, 'z');
    std::string zip = Entry("a.txt", "stored bytes", 0) + Entry("dir/b.lua", text, 8) + CentralDirectory();
    ZipArchive archive(nullptr, u"zip", u"");
    ASSERT_TRUE(archive.Open(zip.data(), _dword(zip.size())));
    EXPECT_EQ(Read(archive, u"a.txt"), "stored bytes");
    EXPECT_EQ(Read(archive, u"dir\\b.lua"), text);
    _dword length;
    Md5Digest checksum;
    ASSERT_TRUE(archive.GetResourceInfo(u"a.txt", length, checksum));
    EXPECT_EQ(checksum.Word(0), _dword(crc32(0, reinterpret_cast<const Bytef*>("stored bytes"), 12)));
    // Streams are named by the resource alone; export gives nothing.
    IDataStream* stream = archive.OpenStream(u"a.txt");
    EXPECT_EQ(std::u16string(stream->GetName().Text()), u"a.txt");
    delete stream;
    ByteBuffer blob;
    EXPECT_TRUE(archive.Export(blob));
    EXPECT_EQ(blob.size, 0u);
}

TEST(ZipArchive, SourceKeepsOnlyItsExtension) {
    std::string zip = Entry("a.txt", "t", 0) + Entry("b.lua", "l", 0);
    ZipArchive archive(nullptr, u"", u"lua");
    ASSERT_TRUE(archive.Open(zip.data(), _dword(zip.size())));
    EXPECT_EQ(archive.Enumerate(nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(Read(archive, u"b.lua"), "l");
}

TEST(ZipArchive, FaultsFailTheWholeOpen) {
    std::string good = Entry("a.txt", "some text", 0);
    std::string sizes = Entry("s.txt", "abc", 0);
    sizes[22] = 5;  // unpacked size differs from the stored size
    std::string pastEnd = Entry("p.txt", "abcdef", 0);
    pastEnd.resize(pastEnd.size() - 2);
    std::string flagged = Entry("f.txt", "abc", 0);
    flagged[6] = char(0x80);
    std::string liar = Entry("l.txt", std::string(100, 'a'), 8);
    liar[22] = char(0xFF), liar[23] = char(0xFF), liar[24] = char(0xFF);  // claims ~16 MB from a few bytes
    struct Case {
        const char* what;
        std::string zip;
    } cases[] = {
        {"method 12", Entry("m.txt", "abc", 12) + good},
        {"crc mismatch", good + Entry("c.txt", "abc", 8, 1)},
        {"stored sizes differ", sizes},
        {"data past the end", good + pastEnd},
        {"flag 0x80", flagged},
        {"bad signature", good + "PK\5\6" + std::string(40, '\0')},
        {"too short", std::string(30, '\0')},
        {"inflated size lies", liar},
    };
    for (const Case& c : cases) {
        ZipArchive archive(nullptr, u"", u"");
        EXPECT_FALSE(archive.Open(c.zip.data(), _dword(c.zip.size()))) << c.what;
    }
}

} // namespace
