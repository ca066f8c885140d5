// Backtracking matcher: a pattern compiles to a list of atoms; a search tries each start
// position in turn and, at a repeated atom, takes the longest run first and gives back one
// character at a time until the rest of the pattern matches.
#include "Regex/Regex.h"

#include "Common/Log.h"

namespace Volux {

namespace {
inline bool IsWordChar(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_';
}

// Characters with a meaning in fuller regular expressions: refused rather than taken
// literally, so a pattern written for another matcher fails loudly instead of silently.
inline bool IsReserved(char16_t c) {
    switch (c) {
    case u'.': case u'*': case u'?': case u'(': case u')': case u'[': case u']':
    case u'{': case u'}': case u'|': case u'^': case u'$':
        return true;
    default:
        return false;
    }
}
} // namespace

bool Regex::Compile(const char16_t* pattern) {
    pattern = NonNull(pattern);
    mAtoms.Clear();
    mCompiled = false;
    int length = Text::Length(pattern);
    const char16_t* reason = nullptr;
    if (length > _MAX_PATTERN)
        reason = u"too long";
    for (int i = 0; reason == nullptr && i < length; i++) {
        char16_t c = pattern[i];
        Atom atom{false, false, c};
        if (c == u'+') {
            if (mAtoms.Count() == 0 || mAtoms[mAtoms.Count() - 1].repeat)
                reason = u"'+' without an atom";
            else
                mAtoms[mAtoms.Count() - 1].repeat = true;
            continue;
        }
        if (c == u'\\') {
            char16_t next = pattern[i + 1];
            if (next == u'w') {
                atom.wordClass = true;
            } else if (next != 0 && !IsWordChar(next) && next > u' ') {
                atom.literal = next;
            } else {
                reason = u"unsupported escape";
                continue;
            }
            i++;
        } else if (IsReserved(c)) {
            reason = u"unsupported construct";
            continue;
        }
        mAtoms.Append(atom);
    }
    if (reason != nullptr) {
        mAtoms.Clear();
        PrintLine(u"[FG] Regular expression \"%ls\" not compiled: %ls", pattern, reason);
        return false;
    }
    mCompiled = true;
    return true;
}

bool Regex::MatchesOne(const Atom& atom, char16_t c) const {
    return c != 0 && (atom.wordClass ? IsWordChar(c) : c == atom.literal);
}

int Regex::MatchHere(const char16_t* text, int length, int index, int position) const {
    if (index == int(mAtoms.Count()))
        return 0;
    const Atom& atom = mAtoms[_dword(index)];
    if (!atom.repeat) {
        if (position >= length || !MatchesOne(atom, text[position]))
            return -1;
        int rest = MatchHere(text, length, index + 1, position + 1);
        return rest < 0 ? -1 : rest + 1;
    }
    int run = 0;
    while (position + run < length && MatchesOne(atom, text[position + run]))
        run++;
    for (; run >= 1; run--) {
        int rest = MatchHere(text, length, index + 1, position + run);
        if (rest >= 0)
            return run + rest;
    }
    return -1;
}

bool Regex::Search(const char16_t* text, int* start, int* end, int from) const {
    if (!mCompiled)
        return false;
    text = NonNull(text);
    int length = Text::Length(text);
    if (from < 0)
        from = 0;
    for (int position = from; position <= length; position++) {
        int matched = MatchHere(text, length, 0, position);
        if (matched >= 0) {
            if (start != nullptr)
                *start = position;
            if (end != nullptr)
                *end = position + matched;
            return true;
        }
    }
    return false;
}

} // namespace Volux
