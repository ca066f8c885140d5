// The 16-byte key archives find resources by. Hash archives store no names, only the first
// three key words, so the key functions are part of the file format and must not change.
#pragma once

#include "Common/Base.h"
#include "Common/WString.h"

namespace Volux {

struct NameKey {
    _dword word[4] = {0, 0, 0, 0};  // k0..k3; k3 is always 0 for a computed key

    bool operator==(const NameKey& other) const {
        return word[0] == other.word[0] && word[1] == other.word[1] && word[2] == other.word[2] &&
               word[3] == other.word[3];
    }
    bool operator!=(const NameKey& other) const { return !(*this == other); }
};

// Hash tables of the engine select the bucket by k0.
inline _dword HashKey(const NameKey& key) { return key.word[0]; }

// A name of the form "<" + 32 hex digits (k3, k2, k1, k0, each eight digits) is a key in
// text form and is parsed back; any other name is normalised as a path (separators become
// "\"), its letters a..z upper-cased, and hashed into k0..k2.
NameKey ComputeNameKey(const char16_t* name);
// "<%.8x%.8x%.8x%.8x" of k3, k2, k1, k0.
WString NameKeyText(const NameKey& key);
// True for "<" followed by exactly 32 hex digits; the words are stored in key.
bool ParseNameKeyText(const char16_t* text, NameKey& key);

} // namespace Volux
