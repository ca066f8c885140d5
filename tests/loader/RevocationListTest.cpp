#include <gtest/gtest.h>

#include <string>

#include "Common/Md5.h"
#include "loader/RevocationList.h"

namespace Volux {
namespace {

Md5Digest DigestOf(char fill) {
    Md5Digest digest;
    for (int i = 0; i < _MD5_DIGEST_SIZE; i++)
        digest.bytes[i] = _byte(fill + i);
    return digest;
}

std::string Entry(char fill) { return std::string(reinterpret_cast<const char*>(DigestOf(fill).bytes), 16); }
std::string Count(uint32_t n) {
    return std::string({char(n & 0xFF), char((n >> 8) & 0xFF), char((n >> 16) & 0xFF), char(n >> 24)});
}
std::string Text(const char* ascii) {
    std::string bytes;
    for (const char* c = ascii; *c != 0; c++) {
        bytes.push_back(*c);
        bytes.push_back(0);
    }
    return bytes;
}

TEST(RevocationList, FindsTheFirstMatchingEntryAndItsMessage) {
    const Md5Digest banned = DigestOf('b');
    const struct {
        const char* name;
        std::string list;
        bool found;
        const char16_t* message;
    } cases[] = {
        {"empty", "", false, u""},
        {"shorter than a digest", Entry('b').substr(0, 15), false, u""},
        {"digest alone", Entry('b'), true, u""},
        {"digest and a zero count", Entry('b') + Count(0), true, u""},
        {"digest, count and text", Entry('b') + Count(2) + Text("no"), true, u"no"},
        {"count larger than the bytes", Entry('b') + Count(9) + Text("no"), true, u""},
        {"huge count", Entry('b') + Count(0xFFFFFFFFu) + Text("x"), true, u""},
        {"odd byte count of text", Entry('b') + Count(2) + Text("n") + "o", true, u""},
        {"count cut short", Entry('b') + Count(1).substr(0, 2), true, u""},
        {"second entry", Entry('a') + Count(3) + Text("one") + Entry('b') + Count(3) + Text("two"), true, u"two"},
        {"first of two matches", Entry('b') + Count(5) + Text("first") + Entry('b') + Count(6) + Text("second"), true,
         u"first"},
        {"other digests only", Entry('a') + Count(1) + Text("x") + Entry('c'), false, u""},
        // A bad count is skipped over as four bytes; the next entry starts right after it.
        {"after a count larger than the bytes", Entry('a') + Count(100) + Entry('b'), true, u""},
    };
    for (const auto& c : cases) {
        WString message = u"stale";
        EXPECT_EQ(FindRevokedDigest(reinterpret_cast<const _byte*>(c.list.data()), c.list.size(), banned, message),
                  c.found)
            << c.name;
        EXPECT_TRUE(message == c.message) << c.name;
    }
}

TEST(RevocationList, NullListFindsNothing) {
    WString message;
    EXPECT_FALSE(FindRevokedDigest(nullptr, 64, DigestOf('b'), message));
}

} // namespace
} // namespace Volux
