#include <gtest/gtest.h>

#include "Storage/NameKey.h"
#include "Support/LogCapture.h"

using namespace Volux;
using VoluxTest::Narrow;

namespace {

// Words worked out by hand from the key rules, independently of the engine code.
struct KnownKey {
    const char16_t* name;
    _dword k0, k1, k2;
};

const KnownKey _KNOWN[] = {
    {u"a", 0x6edc6e9a, 0x00000041, 0x00000041},
    {u"textures\\hero.png", 0x9fba259e, 0x94738eb9, 0x47330d9b},
    {u"sound/intro.ogg", 0x3a4c874e, 0x9061dc20, 0xcb35453a},
};

TEST(NameKey, MatchesKnownWords) {
    for (const KnownKey& known : _KNOWN) {
        NameKey key = ComputeNameKey(known.name);
        SCOPED_TRACE(Narrow(known.name));
        EXPECT_EQ(key.word[0], known.k0);
        EXPECT_EQ(key.word[1], known.k1);
        EXPECT_EQ(key.word[2], known.k2);
        EXPECT_EQ(key.word[3], 0u);
    }
}

TEST(NameKey, ByteSumsSpillIntoTheNextByte) {
    // 300 'a' upper-cased: each of the four sums is 75 * 0x41 = 0x130B, ORed unmasked.
    std::u16string name(300, u'a');
    EXPECT_EQ(ComputeNameKey(name.c_str()).word[2], 0x130Bu | 0x130B00u | 0x130B0000u | 0x0B000000u);
}

TEST(NameKey, NamesThatMeanTheSameResourceShareTheKey) {
    struct Pair {
        const char16_t* a;
        const char16_t* b;
        bool same;
    } pairs[] = {
        {u"Textures\\Hero.PNG", u"textures\\hero.png", true},
        {u"textures/hero.png", u"textures\\hero.png", true},
        {u"textures\\..\\hero.png", u"hero.png", true},
        {u"textures\\.\\hero.png", u"textures\\hero.png", true},
        {u"textures\\hero.png", u"textures\\hero.pn", false},
        // Only a..z fold: an accented capital is another character.
        {u"\u00C9t\u00E9", u"\u00E9t\u00E9", false},
    };
    for (const Pair& pair : pairs) {
        SCOPED_TRACE(Narrow(pair.a) + " / " + Narrow(pair.b));
        EXPECT_EQ(ComputeNameKey(pair.a) == ComputeNameKey(pair.b), pair.same);
    }
}

TEST(NameKey, KeyTextRoundTrips) {
    NameKey key = ComputeNameKey(u"textures\\hero.png");
    WString text = NameKeyText(key);
    EXPECT_EQ(Narrow(text.Text()), "<0000000047330d9b94738eb99fba259e");
    EXPECT_TRUE(ComputeNameKey(text) == key);
    // Upper-case digits read alike; k3 is kept when given.
    NameKey parsed;
    ASSERT_TRUE(ParseNameKeyText(u"<0000000147330D9B94738EB99FBA259E", parsed));
    EXPECT_EQ(parsed.word[3], 1u);
    EXPECT_EQ(parsed.word[0], 0x9fba259eu);
}

TEST(NameKey, MalformedKeyTextIsAnOrdinaryName) {
    const char16_t* texts[] = {u"<", u"<1234", u"<0000000047330d9b94738eb99fba259g", u"<0000000047330d9b94738eb99fba259e0"};
    for (const char16_t* text : texts) {
        NameKey key;
        EXPECT_FALSE(ParseNameKeyText(text, key)) << Narrow(text);
        NameKey computed = ComputeNameKey(text);
        EXPECT_NE(computed.word[1], 0u) << Narrow(text);  // hashed, not parsed
    }
}

} // namespace
