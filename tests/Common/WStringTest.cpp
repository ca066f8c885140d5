#include <gtest/gtest.h>

#include <string>

#include "Common/StringFormatter.h"
#include "Common/WString.h"
#include "Support/LogCapture.h"

using namespace Volux;

namespace {
std::u16string S(const char16_t* text) { return std::u16string(NonNull(text)); }
std::u16string S(const WString& text) { return std::u16string(text.Text(), text.Length()); }
} // namespace

TEST(WString, NullBehavesAsEmptyText) {
    WString fromNull(nullptr);
    EXPECT_EQ(fromNull.length, 0u);
    EXPECT_EQ(fromNull.capacity, 0u);
    EXPECT_EQ(fromNull.text, _EMPTY_TEXT);
    WStringPtr ptr(nullptr);
    EXPECT_EQ(ptr.text, _EMPTY_TEXT);
    EXPECT_EQ(Text::Compare(nullptr, u""), 0);
    EXPECT_TRUE(Text::Equals(nullptr, u""));
    EXPECT_TRUE(fromNull == u"");
    EXPECT_EQ(Text::Length(static_cast<const char16_t*>(nullptr)), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(Text::ToLower(nullptr)), "");
}

TEST(WString, AssignStopsAtEmbeddedNulAndZeroCountReleases) {
    const char16_t withNul[] = {u'a', u'b', 0, u'c', u'd', 0};
    WString s;
    s.Assign(withNul, 5);
    EXPECT_EQ(s.length, 2u);
    EXPECT_EQ(S(s), u"ab");
    s.Assign(u"xyz", 0);
    EXPECT_EQ(s.capacity, 0u);
    EXPECT_EQ(s.text, _EMPTY_TEXT);
}

TEST(WString, AssignFromOwnText) {
    WString s(u"hello world");
    s.Assign(s.text + 6);
    EXPECT_EQ(S(s), u"world");
}

TEST(WString, EditingOperations) {
    struct Case {
        const char16_t* start;
        void (*edit)(WString&);
        const char16_t* expected;
    } cases[] = {
        {u"abc", [](WString& s) { s.Insert(1, u"XY"); }, u"aXYbc"},
        {u"abc", [](WString& s) { s.Insert(3, u"!"); }, u"abc!"},
        {u"abc", [](WString& s) { s.Insert(4, u"!"); }, u"abc"},
        {u"abc", [](WString& s) { s.InsertChar(9, u'!'); }, u"abc"},
        {u"abc", [](WString& s) { s.InsertChar(0, u'!'); }, u"!abc"},
        {u"abcdef", [](WString& s) { s.Remove(2, 2); }, u"abef"},
        {u"abcdef", [](WString& s) { s.Remove(2, -1); }, u"ab"},
        {u"abcdef", [](WString& s) { s.Remove(4, 99); }, u"abcd"},
        {u"abcdef", [](WString& s) { s.Remove(6, 1); }, u"abcdef"},
        {u"  a b  ", [](WString& s) { s.Trim(u" "); }, u"a b"},
        {u"xXaXx", [](WString& s) { s.TrimLeft(u"x", false); }, u"aXx"},
        {u"xXaXx", [](WString& s) { s.TrimRightChar(u'x', true); }, u"xXaX"},
        {u"aXbxc", [](WString& s) { s.ReplaceAll(u"x", u"--", false); }, u"a--b--c"},
        {u"aaa", [](WString& s) { s.ReplaceAll(u"a", u"aa"); }, u"aaaaaa"},
        {u"abab", [](WString& s) { s.ReplaceAll(u"ab", u""); }, u""},
        {u"MiXeD\u00C4", [](WString& s) { s.ToLower(); }, u"mixed\u00C4"},
        {u"abc", [](WString& s) { s.Append(s.text + 1); }, u"abcbc"},
    };
    for (const Case& c : cases) {
        WString s(c.start);
        c.edit(s);
        EXPECT_EQ(S(s), S(c.expected)) << "start: " << VoluxTest::Narrow(c.start);
        EXPECT_EQ(s.length, _dword(Text::Length(s.text)));
    }
}

TEST(WString, SubstringAndConcatenation) {
    WString s(u"abcdef");
    EXPECT_EQ(S(s.Substring(2, 2)), u"cd");
    EXPECT_EQ(S(s.Substring(4, 100)), u"ef");
    EXPECT_EQ(S(s.Substring(6)), u"");
    EXPECT_EQ(S(s + u"!"), u"abcdef!");
    EXPECT_EQ(S(u"<" + s), u"<abcdef");
}

TEST(Text, SearchAndCompare) {
    EXPECT_EQ(Text::FindChar(u"abcabc", u'c'), 2);
    EXPECT_EQ(Text::FindChar(u"abc", 0), -1);
    EXPECT_EQ(Text::FindChar(u"aBc", u'b', false), 1);
    EXPECT_EQ(Text::FindLastChar(u"abcabc", u'a'), 3);
    EXPECT_EQ(Text::FindText(u"hello world", u"o w"), 4);
    EXPECT_EQ(Text::FindText(u"hello", u""), -1);
    EXPECT_EQ(Text::FindText(u"HELLO", u"ll", false), 2);
    EXPECT_EQ(Text::FindText(u"ab", u"abc"), -1);
    EXPECT_FALSE(Text::StartsWith(u"abc", u""));
    EXPECT_TRUE(Text::StartsWith(u"ABC", u"ab", false));
    EXPECT_FALSE(Text::StartsWith(u"ab", u"abc"));
    EXPECT_EQ(Text::Compare(u"a", u"b"), -1);
    EXPECT_EQ(Text::Compare(u"\uFFFF", u"a"), 1);  // unsigned 16-bit order
    EXPECT_EQ(Text::Compare(u"ABC", u"abc", false), 0);
    EXPECT_NE(Text::Compare(u"\u00C4", u"\u00E4", false), 0);  // only A..Z fold
    EXPECT_EQ(Text::Compare("abc", "ABC", false), 0);
    EXPECT_EQ(Text::Compare("\xff", "a"), 1);
}

TEST(Text, CopyAndAppend) {
    char16_t buffer[16];
    Text::CopyText(buffer, u"abcdef", 3);
    EXPECT_EQ(S(buffer), u"abc");
    Text::AppendText(buffer, u"xyz", -1);
    EXPECT_EQ(S(buffer), u"abcxyz");
    Text::AppendText(buffer, u"12345", 2);
    EXPECT_EQ(S(buffer), u"abcxyz12");
    char narrow[8];
    Text::CopyText(narrow, "hello", -1);
    EXPECT_STREQ(narrow, "hello");
}

TEST(Text, NameHashes) {
    // Values worked out by hand from the hash definitions; case folds to upper.
    EXPECT_EQ(Text::Hash31(u"ab"), _dword('A') * 31 + 'B');
    EXPECT_EQ(Text::Hash31(u"AB"), Text::Hash31(u"ab"));
    EXPECT_EQ(Text::HashLanes(u"abcde"), _dword('A' + 'E') | _dword('B') << 8 | _dword('C') << 16 | _dword('D') << 24);
    // Lane sums above 255 spill into the next lane instead of being masked.
    EXPECT_EQ(Text::HashLanes(u"\u00FF\u0000"), 0xFFu);
    EXPECT_EQ(Text::HashLanes(u"\u00FFab\u0001\u01FF"),
              (0xFFu + 0xFFu) | _dword('A') << 8 | _dword('B') << 16 | 1u << 24);
    _dword seed1 = 0x7FED7FED, seed2 = 0xEEEEEEEE;
    for (char16_t c : {u'A', u'1'}) {
        seed1 = c ^ (seed1 + seed2);
        seed2 = c + seed1 + seed2 * 33 + 3;
    }
    EXPECT_EQ(Text::HashA(u"a1"), seed1);
    EXPECT_EQ(Text::HashA(u""), 0x7FED7FEDu);
}

TEST(ScratchPool, ShortStringsComeFromThePoolOnTheMainThread) {
    ScratchPool pool;
    ScratchPool::Install(&pool);
    {
        WString shortText(u"pooled");
        EXPECT_EQ(shortText.capacity, 0u);
        EXPECT_EQ(S(shortText), u"pooled");
        std::u16string big(1100, u'x');
        WString longText(big.c_str());
        EXPECT_NE(longText.capacity, 0u);  // longer than a block: engine heap
        shortText.Append(u" and grown");
        EXPECT_EQ(S(shortText), u"pooled and grown");
    }
    ScratchPool::Install(nullptr);
    EXPECT_EQ(pool.block, 0);
    EXPECT_GT(pool.offset, 0);
    pool.Reset();
    WString owned(u"heap");
    EXPECT_NE(owned.capacity, 0u);
}

TEST(ScratchPool, ExhaustedPoolFailsAndBlocksAreReused) {
    ScratchPool pool;
    for (int i = 0; i < ScratchPool::_BLOCK_COUNT; i++)
        ASSERT_NE(pool.Take(1000), nullptr);
    EXPECT_EQ(pool.Take(100), nullptr);
    char16_t* first = pool.blocks[0];
    pool.Reset();
    EXPECT_EQ(pool.Take(10), first);
}

TEST(Path, Predicates) {
    struct {
        const char16_t* path;
        bool absolute;
    } cases[] = {{u"C:\\x", true}, {u"z:", true}, {u"\\\\server\\share", true}, {u"1:\\x", false},
                 {u"\\x", false},  {u"a\\b", false}, {u"", false}};
    for (auto& c : cases)
        EXPECT_EQ(Path::IsAbsolutePath(c.path), c.absolute) << VoluxTest::Narrow(c.path);
    EXPECT_TRUE(Path::ContainsSeparator(u"a\\b"));
    EXPECT_FALSE(Path::ContainsSeparator(u"a/b"));
}

TEST(Path, TrimAndNormalize) {
    struct {
        const char16_t* in;
        const char16_t* trimmed;
        const char16_t* normalized;
    } cases[] = {
        {u"a/b\\\\", u"a\\b", u"a\\b\\\\"},
        {u".\\dir\\file", u"dir\\file", u".\\dir\\file"},
        {u"a\\b\\..\\c", u"a\\b\\..\\c", u"a\\c"},
        {u"a\\.\\b", u"a\\.\\b", u"a\\b"},
        {u"x\\y\\z\\..\\..\\w", u"x\\y\\z\\..\\..\\w", u"x\\w"},
        {u"../up", u"..\\up", u"..\\up"},
        {u"a\\..\\..\\b", u"a\\..\\..\\b", u"b"},
    };
    for (auto& c : cases) {
        std::u16string a(c.in), b(c.in);
        EXPECT_EQ(S(Path::TrimPath(&a[0])), S(c.trimmed)) << VoluxTest::Narrow(c.in);
        EXPECT_EQ(S(Path::NormalizePath(&b[0])), S(c.normalized)) << VoluxTest::Narrow(c.in);
    }
    std::u16string url(u"http://host:80/a\\b");
    EXPECT_EQ(S(Path::NormalizePath(&url[0])), u"host#80#a#b");
}

TEST(Path, JoinAndLower) {
    EXPECT_EQ(S(Path::JoinPath(u"Dir", u"Sub/File.TXT")), u"dir\\sub\\file.txt");
    EXPECT_EQ(S(Path::JoinPath(u".", u"Name")), u"name");
    EXPECT_EQ(S(Path::JoinPath(u"", u"Name")), u"name");
    EXPECT_EQ(S(Path::JoinPath(u"dir", u"C:\\Abs")), u"c:\\abs");
    EXPECT_EQ(S(Path::JoinPath(u"a\\b", u"..\\c")), u"a\\c");
    EXPECT_EQ(S(Path::LowerPath(u"A/B/./C")), u"a\\b\\c");
}

TEST(Path, Components) {
    struct {
        const char16_t* path;
        const char16_t* title;
        const char16_t* extension;
        const char16_t* firstDir;
        const char16_t* lastDir;
        const char16_t* fileName;
    } cases[] = {
        {u"c:\\dir\\file.tar.gz", u"c:\\dir\\file.tar", u"gz", u"c:", u"c:\\dir", u"file.tar.gz"},
        {u"dir/sub/file", u"dir/sub/file", u"", u"dir", u"dir/sub", u"dir/sub/file"},
        {u"c:file", u"c:file", u"", u"c", u"c", u"c:file"},
        {u"plain", u"plain", u"", u"", u"", u"plain"},
    };
    for (auto& c : cases) {
        EXPECT_EQ(S(Path::FileTitle(c.path)), S(c.title));
        EXPECT_EQ(S(Path::FileExtension(c.path)), S(c.extension));
        EXPECT_EQ(S(Path::DirectoryOf(c.path, false)), S(c.firstDir));
        EXPECT_EQ(S(Path::DirectoryOf(c.path, true)), S(c.lastDir));
        EXPECT_EQ(S(Path::FileNameOf(c.path).text), S(c.fileName));
    }
}

TEST(Path, NameOfKeepsDotsOfTheDirectory) {
    EXPECT_EQ(S(Path::NameOf(u"c:\\my.dir\\file", false, false)), u"file");
    EXPECT_EQ(S(Path::NameOf(u"c:\\my.dir\\file.txt", false, false)), u"file");
    EXPECT_EQ(S(Path::NameOf(u"c:\\my.dir\\file.txt", true, false)), u"c:\\my.dir\\file");
    EXPECT_EQ(S(Path::NameOf(u"a/b.c", false, true)), u"b.c");
    EXPECT_EQ(S(Path::NameOf(u"c:b.c", false, false)), u"b");
}

TEST(Path, BufferVariantsNeverOverrun) {
    char16_t buffer[5];
    for (char16_t& c : buffer)
        c = u'#';
    Path::FileTitle(buffer, 4, u"abcdefgh.txt");
    EXPECT_EQ(S(buffer), u"abc");
    EXPECT_EQ(buffer[4], u'#');
    Path::FileExtension(buffer, 3, u"a.longext");
    EXPECT_EQ(S(buffer), u"lo");
    Path::DirectoryOf(buffer, 5, u"directory\\file", true);
    EXPECT_EQ(S(buffer), u"dire");
}
