// Tokenizer over a text file image whose encoding (ANSI, UTF-16LE, UTF-8) it detects.
#pragma once

#include "Common/ByteBuffer.h"
#include "Common/WString.h"

namespace Volux {

class StringReader {
public:
    enum Encoding { _UNKNOWN = -1, _ANSI = 0, _UTF16 = 1, _UTF8 = 2 };

    StringReader();

    bool Attach(const void* bytes, _dword size, bool copy = false);
    void SetSeparators(const char16_t* text) { separators.Assign(text); }
    bool ReadWord(WString& out);
    bool ReadWordInLine(WString& out);
    bool ReadLine(WString& out);
    bool ReadRest(WString& out);
    bool AtEnd();

    ByteBuffer buffer;
    int encoding;
    int bomLength;
    bool stopAtLineEnd;
    WString separators;

private:
    void Detect();
    int UnitSize() const { return encoding == _UTF16 ? 2 : 1; }
    bool HasUnit(const _byte* at) const;
    char16_t UnitAt(const _byte* at) const;
    bool IsSeparator(char16_t unit) const;
    static bool IsLineEnd(char16_t unit) { return unit == 13 || unit == 10; }
    void SkipBlank(bool crossLines);
    bool Take(WString& out, bool stopAtSeparator);
};

} // namespace Volux
