#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common/Json.h"
#include "Common/Memory.h"
#include "Support/LogCapture.h"

using namespace Volux;
using namespace Volux::Json;

namespace {

// Parses a document and frees its tree at the end of the scope.
struct Document {
    explicit Document(const std::string& text) : result(ParseDocument(text.c_str(), &root)) {}
    ~Document() { FreeTree(root); }
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;
    Node* root = nullptr;  // before result: set by the parse
    int result;
};

std::string Unescaped(const char* text) {
    char* out = Unescape(text);
    std::string result = out != nullptr ? out : "<null>";
    MemFree(out);
    return result;
}

std::u16string Wide(const char* text) {
    char16_t* out = RawToWide(text);
    std::u16string result = out != nullptr ? out : u"<null>";
    MemFree(out);
    return result;
}

std::u16string Str(const WString& text) { return std::u16string(text.Text()); }

std::string Nested(int depth) { return std::string(size_t(depth), '[') + std::string(size_t(depth), ']'); }

} // namespace

TEST(Json, ParseResults) {
    struct Case {
        const char* text;
        int result;
    };
    const Case cases[] = {
        {"{}", _PARSE_OK},
        {"[]", _PARSE_OK},
        {"\"x\"", _PARSE_OK},
        {"0", _PARSE_OK},
        {"-1.5e+3", _PARSE_OK},
        {"true", _PARSE_OK},
        {"null", _PARSE_OK},
        {"{\"a\":[1,2,{\"b\":null}],\"c\":\"d\",\"e\":false}", _PARSE_OK},
        {" \r\n\t{ \"a\" : 1 }  \r\n\t", _PARSE_OK},
        {"[[],[{}],\"\\u00e9\\n\\\"\"]", _PARSE_OK},
        {"\"\xC3\xA9\"", _PARSE_OK},

        {"", _PARSE_INCOMPLETE},
        {"   \n", _PARSE_INCOMPLETE},
        {"{", _PARSE_INCOMPLETE},
        {"[", _PARSE_INCOMPLETE},
        {"{\"a\"", _PARSE_INCOMPLETE},
        {"{\"a\":", _PARSE_INCOMPLETE},
        {"{\"a\":1", _PARSE_INCOMPLETE},
        {"{\"a\":1,", _PARSE_INCOMPLETE},
        {"[1,", _PARSE_INCOMPLETE},
        {"\"abc", _PARSE_INCOMPLETE},
        {"\"ab\\", _PARSE_INCOMPLETE},
        {"\"\\u12", _PARSE_INCOMPLETE},
        {"tru", _PARSE_INCOMPLETE},
        {"-", _PARSE_INCOMPLETE},
        {"1.", _PARSE_INCOMPLETE},
        {"1e", _PARSE_INCOMPLETE},

        {"}", _PARSE_MALFORMED},
        {"]", _PARSE_MALFORMED},
        {"{]", _PARSE_MALFORMED},
        {"[}", _PARSE_MALFORMED},
        {"[1}", _PARSE_MALFORMED},
        {"{\"a\":1]", _PARSE_MALFORMED},
        {"{\"a\" 1}", _PARSE_MALFORMED},
        {"{\"a\":1,}", _PARSE_MALFORMED},
        {"[1,]", _PARSE_MALFORMED},
        {"[1 2]", _PARSE_MALFORMED},
        {"[,]", _PARSE_MALFORMED},
        {"{,}", _PARSE_MALFORMED},
        {"{1:2}", _PARSE_MALFORMED},
        {"{\"a\":}", _PARSE_MALFORMED},
        {"{\"a\":1} x", _PARSE_MALFORMED},
        {"{} {}", _PARSE_MALFORMED},
        {"1 2", _PARSE_MALFORMED},
        {"01", _PARSE_MALFORMED},
        {"1x", _PARSE_MALFORMED},
        {"+1", _PARSE_MALFORMED},
        {".5", _PARSE_MALFORMED},
        {"1.e5", _PARSE_MALFORMED},
        {"\"\\x\"", _PARSE_MALFORMED},
        {"\"\\u12G4\"", _PARSE_MALFORMED},
        {"\"a\tb\"", _PARSE_MALFORMED},
        {"truex", _PARSE_MALFORMED},
        {"nul1", _PARSE_MALFORMED},
        {"'a'", _PARSE_MALFORMED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Document document(c.text);
        EXPECT_EQ(document.result, c.result);
        EXPECT_EQ(document.root != nullptr, c.result == _PARSE_OK);
    }
}

TEST(Json, NestingIsBounded) {
    EXPECT_EQ(Document(Nested(_MAX_DEPTH)).result, _PARSE_OK);
    EXPECT_EQ(Document(Nested(_MAX_DEPTH + 1)).result, _PARSE_MALFORMED);
    // Far deeper than any stack would take by recursion.
    EXPECT_EQ(Document(std::string(200000, '[')).result, _PARSE_MALFORMED);
    std::string objects;
    for (int i = 0; i < 100000; i++)
        objects += "{\"a\":";
    EXPECT_EQ(Document(objects).result, _PARSE_MALFORMED);
}

TEST(Json, TreeKeepsSourceTextsAndLinks) {
    Document document("{\"a\":1.50,\"b\":[true,false,null],\"c\":\"x\\\"y\"}");
    ASSERT_EQ(document.result, _PARSE_OK);
    Node* root = document.root;
    EXPECT_EQ(root->type, _OBJECT);
    EXPECT_EQ(root->text, nullptr);
    EXPECT_EQ(root->parent, nullptr);

    Node* a = root->child;
    ASSERT_NE(a, nullptr);
    Node* b = a->next;
    ASSERT_NE(b, nullptr);
    Node* c = b->next;
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->next, nullptr);
    EXPECT_EQ(root->lastChild, c);
    EXPECT_EQ(c->previous, b);
    EXPECT_EQ(b->previous, a);
    EXPECT_EQ(a->previous, nullptr);
    for (Node* member : {a, b, c}) {
        EXPECT_EQ(member->type, _STRING);
        EXPECT_EQ(member->parent, root);
        ASSERT_NE(member->child, nullptr);
        EXPECT_EQ(member->child, member->lastChild);
        EXPECT_EQ(member->child->parent, member);
    }
    EXPECT_STREQ(a->text, "a");
    EXPECT_EQ(a->child->type, _NUMBER);
    EXPECT_STREQ(a->child->text, "1.50");
    EXPECT_EQ(c->child->type, _STRING);
    EXPECT_STREQ(c->child->text, "x\\\"y");  // still escaped

    Node* array = b->child;
    EXPECT_EQ(array->type, _ARRAY);
    std::vector<int> types;
    for (Node* element = array->child; element != nullptr; element = element->next) {
        types.push_back(element->type);
        EXPECT_EQ(element->parent, array);
        EXPECT_EQ(element->text, nullptr);
    }
    EXPECT_EQ(types, (std::vector<int>{_TRUE, _FALSE, _NULL}));
    EXPECT_EQ(array->lastChild->type, _NULL);
}

TEST(Json, FindFirstLabel) {
    Document document("{\"k\":\"first\",\"K\":\"upper\",\"k\":\"second\",\"n\":{\"k\":1}}");
    ASSERT_EQ(document.result, _PARSE_OK);
    Node* found = FindFirstLabel(document.root, "k");
    ASSERT_NE(found, nullptr);
    EXPECT_STREQ(found->child->text, "first");
    EXPECT_STREQ(FindFirstLabel(document.root, "K")->child->text, "upper");
    EXPECT_EQ(FindFirstLabel(document.root, "missing"), nullptr);
    EXPECT_EQ(FindFirstLabel(document.root, ""), nullptr);
    EXPECT_EQ(FindFirstLabel(nullptr, "k"), nullptr);
    // Only the object's own members, and only objects have members.
    EXPECT_EQ(FindFirstLabel(found->child, "k"), nullptr);
}

TEST(Json, UnescapeDecodesToUtf8) {
    struct Case {
        const char* text;
        const char* result;
    };
    const Case cases[] = {
        {"\\u00e9", "\xC3\xA9"},
        {"\\uD83D\\uDE00", "\xF0\x9F\x98\x80"},
        {"\\ud83d\\ude00!", "\xF0\x9F\x98\x80!"},
        {"\\u0041\\u20AC", "A\xE2\x82\xAC"},
        {"a\\\"b\\\\c\\/d\\b\\f\\n\\r\\t", "a\"b\\c/d\b\f\n\r\t"},
        {"\xC3\xA9 plain", "\xC3\xA9 plain"},
        {"\\x \\u12", "\\x \\u12"},  // not escapes: copied unchanged
        {"end\\", "end\\"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Unescaped(c.text), c.result);
    }
}

TEST(Json, UnescapeReportsHalvesOfPairs) {
    struct Case {
        const char* text;
        const char* result;
        const char* diagnostic;
    };
    const Case cases[] = {
        {"a\\ud83db", "ab", "JSON: unsupported unicode value: 0xD83D\n"},
        {"\\ude00", "", "JSON: unsupported unicode value: 0xDE00\n"},
        // The escape after the lone first half is decoded on its own.
        {"\\ud83d\\u0041", "A", "JSON: unsupported unicode value: 0xD83D\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        testing::internal::CaptureStderr();
        std::string result = Unescaped(c.text);
        std::string diagnostics = testing::internal::GetCapturedStderr();
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(diagnostics, c.diagnostic);
    }
}

TEST(Json, RawToWideTakesBytesAndUnicodeEscapesOnly) {
    EXPECT_EQ(Wide("\xC3\xA9"), (std::u16string{0xC3, 0xA9}));
    EXPECT_EQ(Wide("\\u00e9"), (std::u16string{0xE9}));
    EXPECT_EQ(Wide("\\ud83d\\ude00"), (std::u16string{0xD83D, 0xDE00}));
    EXPECT_EQ(Wide("a\\nb\\u12"), u"a\\nb\\u12");
    EXPECT_EQ(Wide(""), u"");
}

TEST(Json, GetMemberText) {
    std::string longValue(1500, 'v');
    Document document("{\"name\":\"caf\\u00e9 \\\"x\\\"\",\"n\":42,\"o\":{},\"t\":true,\"\xC3\xA9t\xC3\xA9\":\"summer\","
                      "\"long\":\"" + longValue + "\"}");
    ASSERT_EQ(document.result, _PARSE_OK);
    EXPECT_EQ(Str(GetMemberText(nullptr, u"name", false)), u"");
    EXPECT_EQ(Str(GetMemberText(document.root, u"missing", false)), u"");
    EXPECT_EQ(Str(GetMemberText(document.root, u"name", false)), u"caf\u00e9 \"x\"");
    EXPECT_EQ(Str(GetMemberText(document.root, u"name", true)), u"caf\u00e9 \\\"x\\\"");
    EXPECT_EQ(Str(GetMemberText(document.root, u"n", false)), u"42");
    EXPECT_EQ(Str(GetMemberText(document.root, u"o", false)), u"");
    EXPECT_EQ(Str(GetMemberText(document.root, u"t", true)), u"");
    EXPECT_EQ(Str(GetMemberText(document.root, u"\u00e9t\u00e9", false)), u"summer");

    WString cut = GetMemberText(document.root, u"long", false);
    EXPECT_EQ(cut.Length(), 1023);
    EXPECT_EQ(GetMemberText(document.root, u"long", true).Length(), 1500);
}
