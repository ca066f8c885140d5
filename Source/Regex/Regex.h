// A small backtracking matcher over wide text, for picking a key's value out of a page
// address ("w=\w+"). Supported: literal characters, "\w" (one word character: A-Z, a-z,
// 0-9, '_'), a backslash before punctuation for that character, and "+" after a literal
// or "\w" for one or more, matched greedily. Any other construct fails to compile.
#pragma once

#include "Common/Array.h"
#include "Common/WString.h"

namespace Volux {

class Regex {
public:
    // Longer patterns are refused: they are written by hand and short.
    static constexpr int _MAX_PATTERN = 256;

    // False (logged) for an unsupported pattern; the matcher then finds nothing.
    bool Compile(const char16_t* pattern);
    bool IsCompiled() const { return mCompiled; }

    // The leftmost match at or after from: *start is its first character, *end the one
    // after its last. False when there is none.
    bool Search(const char16_t* text, int* start, int* end, int from = 0) const;

private:
    struct Atom {
        bool wordClass;  // "\w" instead of the literal
        bool repeat;     // "+": one or more
        char16_t literal;
    };

    bool MatchesOne(const Atom& atom, char16_t c) const;
    // Length matched by the atoms from index on at text + position, or -1.
    int MatchHere(const char16_t* text, int length, int index, int position) const;

    Array<Atom> mAtoms;
    bool mCompiled = false;
};

} // namespace Volux
