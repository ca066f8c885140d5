#include "Storage/NameKey.h"

#include "Common/StringFormatter.h"

namespace Volux {

namespace {

int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

char16_t UpperLetter(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }

} // namespace

bool ParseNameKeyText(const char16_t* text, NameKey& key) {
    text = NonNull(text);
    if (text[0] != u'<')
        return false;
    NameKey parsed;
    // Digits 1..8 are k3, 9..16 k2, 17..24 k1, 25..32 k0.
    for (int i = 0; i < 32; i++) {
        int digit = HexValue(text[1 + i]);
        if (digit < 0)
            return false;
        _dword& word = parsed.word[3 - i / 8];
        word = (word << 4) | _dword(digit);
    }
    if (text[33] != 0)
        return false;
    key = parsed;
    return true;
}

WString NameKeyText(const NameKey& key) {
    return Format(u"<%.8x%.8x%.8x%.8x", key.word[3], key.word[2], key.word[1], key.word[0]);
}

NameKey ComputeNameKey(const char16_t* name) {
    NameKey key;
    if (ParseNameKeyText(name, key))
        return key;
    WString normal(NonNull(name));
    const char16_t* text = normal.length > 0 ? Path::NormalizePath(normal.text) : normal.text;

    _dword r = 0x7FED7FED, s = 0xEEEEEEEE;
    _dword h = 0;
    _dword sums[4] = {0, 0, 0, 0};
    for (int i = 0; text[i] != 0; i++) {
        _dword c = UpperLetter(text[i]);
        r = c ^ (r + s);
        s = c + r + 33 * s + 3;
        h = h * 31 + c;
        sums[i % 4] += c & 0xFF;
    }
    key.word[0] = r;
    key.word[1] = h;
    // The sums are not masked: a sum past 255 spills into the next byte on purpose.
    key.word[2] = sums[0] | (sums[1] << 8) | (sums[2] << 16) | (sums[3] << 24);
    key.word[3] = 0;
    return key;
}

} // namespace Volux
