// JSON reader. The text is 8-bit and NUL-terminated:
//
//   value   = object | array | string | number | true | false | null
//   object  = '{' [ string ':' value { ',' string ':' value } ] '}'
//   array   = '[' [ value { ',' value } ] ']'
//   string  = '"' { byte >= 0x20 except '"' '\' | '\' ( '"' '\' '/' b f n r t | u hex4 ) } '"'
//   number  = [ '-' ] ( '0' | digit1-9 { digit } ) [ '.' digit { digit } ] [ ( 'e' | 'E' ) [ '+' | '-' ] digit { digit } ]
//
// The parser is a loop over tokens with an explicit state; open containers are reached
// through the parent links, so nesting never recurses.
#include "Common/Json.h"

#include <cstdio>
#include <cstring>

#include "Common/Memory.h"
#include "Common/StringEncoding.h"

namespace Volux {
namespace Json {

namespace {

enum Token { _TOKEN_END, _TOKEN_OPEN_OBJECT, _TOKEN_CLOSE_OBJECT, _TOKEN_OPEN_ARRAY, _TOKEN_CLOSE_ARRAY,
             _TOKEN_COLON, _TOKEN_COMMA, _TOKEN_STRING, _TOKEN_NUMBER, _TOKEN_TRUE, _TOKEN_FALSE, _TOKEN_NULL,
             _TOKEN_INCOMPLETE, _TOKEN_MALFORMED };

enum State {
    _STATE_VALUE = 0,           // the document's value, after ':' or after ',' in an array
    _STATE_VALUE_OR_CLOSE = 1,  // after '['
    _STATE_LABEL_OR_CLOSE = 2,  // after '{'
    _STATE_LABEL = 3,           // after ',' in an object
    _STATE_COLON = 4,           // after a label
    _STATE_COMMA_OR_CLOSE = 5,  // after a value inside a container
    _STATE_END = 6,             // after the document's value
};

// The one-character escapes and what each stands for.
constexpr char _ESCAPED[] = "\"\\/bfnrt";
constexpr char _DECODED[] = "\"\\/\b\f\n\r\t";

inline bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline unsigned HexValue(char c) {
    return c <= '9' ? unsigned(c - '0') : (c >= 'a' ? unsigned(c - 'a' + 10) : unsigned(c - 'A' + 10));
}

// Four hexadecimal digits at text (which may end early); -1 when they are not there.
long HexQuad(const char* text) {
    long v = 0;
    for (int i = 0; i < 4; i++) {
        if (!IsHex(text[i]))
            return -1;
        v = v * 16 + long(HexValue(text[i]));
    }
    return v;
}

class Lexer {
public:
    explicit Lexer(const char* text) : mAt(text), mLine(1) {}

    // The next token; for strings and numbers mStart/mLength give its characters.
    Token Next() {
        SkipBlank();
        char c = *mAt;
        switch (c) {
        case 0: return _TOKEN_END;
        case '{': mAt++; return _TOKEN_OPEN_OBJECT;
        case '}': mAt++; return _TOKEN_CLOSE_OBJECT;
        case '[': mAt++; return _TOKEN_OPEN_ARRAY;
        case ']': mAt++; return _TOKEN_CLOSE_ARRAY;
        case ':': mAt++; return _TOKEN_COLON;
        case ',': mAt++; return _TOKEN_COMMA;
        case '"': return String();
        case 't': return Word("true", _TOKEN_TRUE);
        case 'f': return Word("false", _TOKEN_FALSE);
        case 'n': return Word("null", _TOKEN_NULL);
        default: return (c == '-' || IsDigit(c)) ? Number() : _TOKEN_MALFORMED;
        }
    }

    size_t Line() const { return mLine; }

    const char* mStart = nullptr;
    size_t mLength = 0;

private:
    void SkipBlank() {
        for (;; mAt++) {
            if (*mAt == '\n')
                mLine++;
            else if (*mAt != ' ' && *mAt != '\t' && *mAt != '\r')
                return;
        }
    }

    Token Word(const char* word, Token token) {
        for (size_t i = 0; word[i] != 0; i++) {
            if (mAt[i] == 0)
                return _TOKEN_INCOMPLETE;
            if (mAt[i] != word[i])
                return _TOKEN_MALFORMED;
        }
        mAt += strlen(word);
        return token;
    }

    Token String() {
        const char* p = mAt + 1;
        mStart = p;
        for (;;) {
            unsigned char c = static_cast<unsigned char>(*p);
            if (c == 0)
                return _TOKEN_INCOMPLETE;
            if (c == '"')
                break;
            if (c < 0x20)
                return _TOKEN_MALFORMED;
            if (c == '\\') {
                char e = p[1];
                if (e == 0)
                    return _TOKEN_INCOMPLETE;
                if (e == 'u') {
                    for (int i = 2; i < 6; i++) {
                        if (p[i] == 0)
                            return _TOKEN_INCOMPLETE;
                        if (!IsHex(p[i]))
                            return _TOKEN_MALFORMED;
                    }
                    p += 6;
                    continue;
                }
                if (strchr(_ESCAPED, e) == nullptr)
                    return _TOKEN_MALFORMED;
                p += 2;
                continue;
            }
            p++;
        }
        mLength = size_t(p - mStart);
        mAt = p + 1;
        return _TOKEN_STRING;
    }

    Token Number() {
        const char* p = mAt;
        mStart = p;
        if (*p == '-')
            p++;
        if (*p == 0)
            return _TOKEN_INCOMPLETE;
        if (*p == '0')
            p++;
        else if (IsDigit(*p))
            while (IsDigit(*p))
                p++;
        else
            return _TOKEN_MALFORMED;
        if (*p == '.') {
            p++;
            if (*p == 0)
                return _TOKEN_INCOMPLETE;
            if (!IsDigit(*p))
                return _TOKEN_MALFORMED;
            while (IsDigit(*p))
                p++;
        }
        if (*p == 'e' || *p == 'E') {
            p++;
            if (*p == '+' || *p == '-')
                p++;
            if (*p == 0)
                return _TOKEN_INCOMPLETE;
            if (!IsDigit(*p))
                return _TOKEN_MALFORMED;
            while (IsDigit(*p))
                p++;
        }
        // "01" or "1x": the number is not followed by a separator.
        if (IsDigit(*p) || (*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || *p == '.' || *p == '-' || *p == '+')
            return _TOKEN_MALFORMED;
        mLength = size_t(p - mStart);
        mAt = p;
        return _TOKEN_NUMBER;
    }

    const char* mAt;
    size_t mLine;
};

Node* NewNode(int type, Node* parent, const char* text, size_t length) {
    Node* node = static_cast<Node*>(MemAlloc(sizeof(Node)));
    if (node == nullptr)
        return nullptr;
    memset(node, 0, sizeof(Node));
    node->type = type;
    if (text != nullptr) {
        node->text = static_cast<char*>(MemAlloc(length + 1));
        if (node->text == nullptr) {
            MemFree(node);
            return nullptr;
        }
        memcpy(node->text, text, length);
        node->text[length] = 0;
    }
    node->parent = parent;
    if (parent != nullptr) {
        node->previous = parent->lastChild;
        if (parent->lastChild != nullptr)
            parent->lastChild->next = node;
        else
            parent->child = node;
        parent->lastChild = node;
    }
    return node;
}

// After a complete value inside container (an array, a member or nothing): the state that
// follows and the container that is open afterwards.
State AfterValue(Node*& container) {
    if (container == nullptr)
        return _STATE_END;
    if (container->type == _STRING)  // a member has its value: back to its object
        container = container->parent;
    return _STATE_COMMA_OR_CLOSE;
}

int Parse(const char* text, Node*& root) {
    Lexer lexer(text);
    State state = _STATE_VALUE;
    Node* container = nullptr;  // innermost open array or object, or a member awaiting its value
    int depth = 0;
    for (;;) {
        Token token = lexer.Next();
        if (token == _TOKEN_MALFORMED)
            return _PARSE_MALFORMED;
        if (token == _TOKEN_INCOMPLETE)
            return _PARSE_INCOMPLETE;
        if (token == _TOKEN_END)
            return state == _STATE_END ? _PARSE_OK : _PARSE_INCOMPLETE;

        switch (state) {
        case _STATE_VALUE:
        case _STATE_VALUE_OR_CLOSE:
            if (token == _TOKEN_CLOSE_ARRAY && state == _STATE_VALUE_OR_CLOSE)
                break;  // handled with the closing tokens below
            if (token == _TOKEN_OPEN_OBJECT || token == _TOKEN_OPEN_ARRAY) {
                if (++depth > _MAX_DEPTH)
                    return _PARSE_MALFORMED;
                Node* node = NewNode(token == _TOKEN_OPEN_OBJECT ? _OBJECT : _ARRAY, container, nullptr, 0);
                if (node == nullptr)
                    return _PARSE_OUT_OF_MEMORY;
                if (root == nullptr)
                    root = node;
                container = node;
                state = token == _TOKEN_OPEN_OBJECT ? _STATE_LABEL_OR_CLOSE : _STATE_VALUE_OR_CLOSE;
                continue;
            }
            {
                int type;
                switch (token) {
                case _TOKEN_STRING: type = _STRING; break;
                case _TOKEN_NUMBER: type = _NUMBER; break;
                case _TOKEN_TRUE: type = _TRUE; break;
                case _TOKEN_FALSE: type = _FALSE; break;
                case _TOKEN_NULL: type = _NULL; break;
                default: return _PARSE_MALFORMED;
                }
                bool hasText = type == _STRING || type == _NUMBER;
                Node* node = NewNode(type, container, hasText ? lexer.mStart : nullptr, lexer.mLength);
                if (node == nullptr)
                    return _PARSE_OUT_OF_MEMORY;
                if (root == nullptr)
                    root = node;
                state = AfterValue(container);
            }
            continue;
        case _STATE_LABEL_OR_CLOSE:
        case _STATE_LABEL:
            if (token == _TOKEN_CLOSE_OBJECT && state == _STATE_LABEL_OR_CLOSE)
                break;
            if (token != _TOKEN_STRING)
                return _PARSE_MALFORMED;
            {
                Node* member = NewNode(_STRING, container, lexer.mStart, lexer.mLength);
                if (member == nullptr)
                    return _PARSE_OUT_OF_MEMORY;
                container = member;
            }
            state = _STATE_COLON;
            continue;
        case _STATE_COLON:
            if (token != _TOKEN_COLON)
                return _PARSE_MALFORMED;
            state = _STATE_VALUE;
            continue;
        case _STATE_COMMA_OR_CLOSE:
            if (container == nullptr) {
                fprintf(stderr, "JSON: *state missing: %d\n", int(state));
                return _PARSE_BAD_TREE;
            }
            if (token == _TOKEN_COMMA) {
                state = container->type == _OBJECT ? _STATE_LABEL : _STATE_VALUE;
                continue;
            }
            break;
        case _STATE_END:
            return _PARSE_MALFORMED;  // something after the document
        default:
            fprintf(stderr, "JSON: state %d: defaulted at line %zd\n", int(state), static_cast<ptrdiff_t>(lexer.Line()));
            return _PARSE_OTHER;
        }

        // A closing token where one is allowed: it must match the open container.
        if (token != _TOKEN_CLOSE_OBJECT && token != _TOKEN_CLOSE_ARRAY)
            return _PARSE_MALFORMED;
        if (container == nullptr || container->type != (token == _TOKEN_CLOSE_OBJECT ? _OBJECT : _ARRAY))
            return _PARSE_MALFORMED;
        depth--;
        container = container->parent;
        state = AfterValue(container);
    }
}

} // namespace

int ParseDocument(const char* text, Node** root) {
    if (root != nullptr)
        *root = nullptr;
    if (text == nullptr || root == nullptr)
        return _PARSE_OTHER;
    Node* tree = nullptr;
    int result = Parse(text, tree);
    if (result != _PARSE_OK) {
        FreeTree(tree);
        return result;
    }
    *root = tree;
    return result;
}

void FreeTree(Node* root) {
    // Depth first without recursion: descend to a leaf, free it, continue at its sibling
    // or parent. The root's own siblings and parent are not part of this tree.
    Node* node = root;
    while (node != nullptr) {
        if (node->child != nullptr) {
            node = node->child;
            continue;
        }
        Node* next = node == root ? nullptr : (node->next != nullptr ? node->next : node->parent);
        if (next != nullptr && next == node->parent)
            next->child = nullptr;  // all its children are gone
        MemFree(node->text);
        MemFree(node);
        node = next;
    }
}

Node* FindFirstLabel(const Node* object, const char* label) {
    if (object == nullptr || label == nullptr || object->type != _OBJECT)
        return nullptr;
    for (Node* member = object->child; member != nullptr; member = member->next) {
        if (member->text != nullptr && strcmp(member->text, label) == 0)
            return member;
    }
    return nullptr;
}

char* Unescape(const char* text) {
    text = NonNull(text);
    // No escape produces more bytes than it takes: six characters give at most three bytes,
    // a twelve-character pair four.
    size_t size = strlen(text);
    char* out = static_cast<char*>(MemAlloc(size + 1));
    if (out == nullptr)
        return nullptr;
    char* o = out;
    for (const char* p = text; *p != 0;) {
        if (*p != '\\') {
            *o++ = *p++;
            continue;
        }
        char e = p[1];
        const char* simple = e != 0 ? strchr(_ESCAPED, e) : nullptr;
        if (simple != nullptr) {
            *o++ = _DECODED[simple - _ESCAPED];
            p += 2;
            continue;
        }
        long v = e == 'u' ? HexQuad(p + 2) : -1;
        if (v < 0) {
            *o++ = *p++;  // not an escape: the backslash stays
            continue;
        }
        p += 6;
        unsigned long code = static_cast<unsigned long>(v);
        if (v >= 0xD800 && v <= 0xDBFF) {
            long w = (p[0] == '\\' && p[1] == 'u') ? HexQuad(p + 2) : -1;
            if (w >= 0xDC00 && w <= 0xDFFF) {
                p += 6;
                code = static_cast<unsigned long>((v - 0xD7F7) * 1024 + w);
            } else {
                code = 0x110000;  // half a pair cannot be encoded
            }
        } else if (v >= 0xDC00 && v <= 0xDFFF) {
            code = 0x110000;  // the second half of a pair on its own
        }
        if (code < 0x80) {
            *o++ = char(code);
        } else if (code < 0x800) {
            *o++ = char(0xC0 | (code >> 6));
            *o++ = char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            *o++ = char(0xE0 | (code >> 12));
            *o++ = char(0x80 | ((code >> 6) & 0x3F));
            *o++ = char(0x80 | (code & 0x3F));
        } else if (code < 0x110000) {
            *o++ = char(0xF0 | (code >> 18));
            *o++ = char(0x80 | ((code >> 12) & 0x3F));
            *o++ = char(0x80 | ((code >> 6) & 0x3F));
            *o++ = char(0x80 | (code & 0x3F));
        } else {
            fprintf(stderr, "JSON: unsupported unicode value: 0x%lX\n", static_cast<unsigned long>(v));
        }
    }
    *o = 0;
    return out;
}

char16_t* RawToWide(const char* text) {
    text = NonNull(text);
    size_t count = 0;
    for (const char* p = text; *p != 0; count++)
        p += (p[0] == '\\' && p[1] == 'u' && HexQuad(p + 2) >= 0) ? 6 : 1;
    char16_t* out = static_cast<char16_t*>(MemAlloc(sizeof(char16_t) * (count + 1)));
    if (out == nullptr)
        return nullptr;
    char16_t* o = out;
    for (const char* p = text; *p != 0;) {
        long v = (p[0] == '\\' && p[1] == 'u') ? HexQuad(p + 2) : -1;
        if (v >= 0) {
            *o++ = char16_t(v);
            p += 6;
        } else {
            *o++ = char16_t(static_cast<unsigned char>(*p++));
        }
    }
    *o = 0;
    return out;
}

WString GetMemberText(const Node* object, const char16_t* label, bool raw) {
    if (object == nullptr)
        return WString();
    char label8[1024];
    WideToUtf8(label8, int(sizeof(label8)), NonNull(label));
    const Node* member = FindFirstLabel(object, label8);
    if (member == nullptr || member->child == nullptr || member->child->text == nullptr)
        return WString();
    const char* valueText = member->child->text;
    if (raw) {
        char16_t* wide = RawToWide(valueText);
        WString result(wide);
        MemFree(wide);
        return result;
    }
    char* utf8 = Unescape(valueText);
    if (utf8 == nullptr)
        return WString();
    char16_t buffer[1024];
    Utf8ToWide(buffer, 1024, utf8);
    MemFree(utf8);
    return WString(buffer);
}

} // namespace Json
} // namespace Volux
