#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Common/Md5.h"
#include "Support/LogCapture.h"

using namespace Volux;
using VoluxTest::Narrow;

namespace {

std::string Show(const WString& text) { return Narrow(text.Text()); }

// The test suite of RFC 1321, appendix A.5.
struct Vector {
    const char* message;
    const char* hex;
};
const Vector _RFC_VECTORS[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(Md5Test, MatchesRfc1321Vectors) {
    for (const Vector& v : _RFC_VECTORS) {
        Md5Digest digest = ComputeMd5(v.message, strlen(v.message));
        EXPECT_EQ(Show(HexText(digest)), v.hex) << v.message;
    }
}

// Every split of a message across Update calls, including ones that straddle the 64-byte
// block and the 56-byte padding boundary, gives the one-call digest.
TEST(Md5Test, IncrementalUpdatesMatchOneCall) {
    std::vector<unsigned char> message(200);
    for (size_t i = 0; i < message.size(); i++)
        message[i] = (unsigned char)(i * 37 + 11);
    for (size_t length : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 128u, 200u}) {
        Md5Digest whole = ComputeMd5(message.data(), length);
        for (size_t cut = 0; cut <= length; cut += 7) {
            Md5 md5;
            md5.Update(message.data(), cut);
            md5.Update(message.data() + cut, length - cut);
            EXPECT_EQ(Show(HexText(md5.Final())), Show(HexText(whole))) << "length " << length << " cut " << cut;
        }
        Md5 byteWise;
        for (size_t i = 0; i < length; i++)
            byteWise.Update(&message[i], 1);
        EXPECT_TRUE(byteWise.Final() == whole) << "length " << length;
    }
}

TEST(Md5Test, FinalStartsANewMessage) {
    Md5 md5;
    md5.Update("junk", 4);
    md5.Final();
    md5.Update("abc", 3);
    EXPECT_EQ(Show(HexText(md5.Final())), "900150983cd24fb0d6963f7d28e17f72");
}

// The checksum text prints the little-endian words D, C, B, A: it is the conventional text
// with its 4-byte groups reversed in order and each group byte-reversed.
TEST(Md5Test, ChecksumTextPrintsWordsDCBA) {
    struct Case {
        const char* message;
        const char* checksum;
        const char* hex;
    };
    const Case cases[] = {
        {"", "7e42f8ec980980e904b2008fd98c1dd4", "d41d8cd98f00b204e9800998ecf8427e"},
        {"abc", "727fe1287d3f96d6b04fd23c98500190", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "d061f1aa312f5a528d93b77c7d696bf9", "f96b697d7cb7938d525a2f31aaf161d0"},
    };
    for (const Case& c : cases) {
        Md5Digest digest = ComputeMd5(c.message, strlen(c.message));
        EXPECT_EQ(Show(ChecksumText(digest)), c.checksum) << c.message;
        EXPECT_EQ(Show(HexText(digest)), c.hex) << c.message;
    }
    Md5Digest abc = ComputeMd5("abc", 3);
    EXPECT_EQ(abc.Word(0), 0x98500190u);  // A
    EXPECT_EQ(abc.Word(3), 0x727fe128u);  // D
}

TEST(Md5Test, ZeroDigestPrintsZeros) {
    Md5Digest none;
    EXPECT_TRUE(none.IsZero());
    EXPECT_EQ(Show(ChecksumText(none)), std::string(32, '0'));
    EXPECT_FALSE(ComputeMd5("", 0).IsZero());
}

} // namespace
