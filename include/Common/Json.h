// A small reader of 8-bit JSON text: a document tree, member look-up by label, and two
// ways of turning a string value into wide text. Nothing in the system writes JSON.
#pragma once

#include "Common/WString.h"

namespace Volux {
namespace Json {

enum NodeType {
    _STRING = 0,
    _NUMBER = 1,
    _OBJECT = 2,
    _ARRAY = 3,
    _TRUE = 4,
    _FALSE = 5,
    _NULL = 6,
};

// ParseDocument results.
enum ParseResult {
    _PARSE_OK = 1,
    _PARSE_INCOMPLETE = 2,
    _PARSE_MALFORMED = 4,
    _PARSE_OUT_OF_MEMORY = 6,
    _PARSE_BAD_TREE = 8,
    _PARSE_OTHER = 10,
};

// Objects and arrays nested deeper than this make a document malformed, so a hostile
// answer cannot exhaust memory or stack through nesting alone.
constexpr int _MAX_DEPTH = 256;

struct Node {
    int type;         // NodeType
    char* text;       // strings and numbers: the token as in the source (strings without
                      // quotes, still escaped); object members: the label; else null
    Node* parent;
    Node* next;
    Node* previous;
    Node* child;      // first child: an object's members, an array's elements, a member's value
    Node* lastChild;
};

// Parses a whole NUL-terminated text. *root receives the tree for _PARSE_OK only (null
// otherwise); a document followed by nothing but white space is complete.
int ParseDocument(const char* text, Node** root);
// Frees a tree from ParseDocument (null is allowed).
void FreeTree(Node* root);

// The first member of object whose label equals label byte for byte, or null.
Node* FindFirstLabel(const Node* object, const char* label);

// New NUL-terminated UTF-8 text with the escapes decoded; the caller frees it with MemFree.
// Null only when memory ran out.
char* Unescape(const char* text);
// New wide text: each \uXXXX escape one character of that value, every other byte one
// character of the byte's value; the caller frees it with MemFree.
char16_t* RawToWide(const char* text);

// The text of a member's value: raw through RawToWide, otherwise unescaped and converted
// from UTF-8 (at most 1023 characters). Empty for a null object, a missing member or a
// value without text.
WString GetMemberText(const Node* object, const char16_t* label, bool raw);

} // namespace Json
} // namespace Volux
