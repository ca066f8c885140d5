// Tokenizer over a text file image. Units are bytes for ANSI and UTF-8, 16-bit little-endian
// characters for UTF-16; carriage return and line feed end lines.
#include "Common/StringReader.h"

#include "Common/Memory.h"
#include "Common/StringEncoding.h"

namespace Volux {

namespace {
// Little-endian 16-bit units to a string in one allocation.
void AssignUtf16(WString& out, const _byte* bytes, int units) {
    char16_t* wide = static_cast<char16_t*>(MemAlloc(size_t(units + 1) * sizeof(char16_t)));
    if (wide == nullptr)
        return;
    for (int i = 0; i < units; i++)
        wide[i] = char16_t(bytes[2 * i] | bytes[2 * i + 1] << 8);
    wide[units] = 0;
    out.Assign(wide, units);
    MemFree(wide);
}
} // namespace

StringReader::StringReader() : encoding(_UNKNOWN), bomLength(0), stopAtLineEnd(false), separators(u",;|\t ") {}

bool StringReader::Attach(const void* bytes, _dword size, bool copy) {
    encoding = _UNKNOWN;
    bomLength = 0;
    return buffer.Attach(bytes, size, copy);
}

void StringReader::Detect() {
    if (encoding != _UNKNOWN)
        return;
    const _byte* d = buffer.data;
    _dword size = buffer.size;
    encoding = _ANSI;
    bomLength = 0;
    if (d != nullptr && size >= 2) {
        if (d[0] == 0xFF && d[1] == 0xFE) {
            encoding = _UTF16;
            bomLength = 2;
        } else if (size >= 3 && d[0] == 0xEF && d[1] == 0xBB && d[2] == 0xBF) {
            encoding = _UTF8;
            bomLength = 3;
        } else if (d[0] != 0 && d[1] == 0) {
            encoding = _UTF16;
        }
    }
}

bool StringReader::HasUnit(const _byte* at) const {
    return at != nullptr && buffer.data != nullptr && at + UnitSize() <= buffer.data + buffer.size;
}

char16_t StringReader::UnitAt(const _byte* at) const {
    return encoding == _UTF16 ? char16_t(at[0] | at[1] << 8) : char16_t(at[0]);
}

bool StringReader::IsSeparator(char16_t unit) const { return unit != 0 && separators.FindChar(unit) >= 0; }

void StringReader::SkipBlank(bool crossLines) {
    Detect();
    if (buffer.data == nullptr)
        return;
    if (buffer.cursor < buffer.data + bomLength)
        buffer.cursor = buffer.data + bomLength;
    while (HasUnit(buffer.cursor)) {
        char16_t unit = UnitAt(buffer.cursor);
        if (IsLineEnd(unit)) {
            if (!crossLines)
                break;
            buffer.cursor += UnitSize();
            if (unit == 10 && stopAtLineEnd)
                break;
        } else if (IsSeparator(unit)) {
            buffer.cursor += UnitSize();
        } else {
            break;
        }
    }
}

bool StringReader::Take(WString& out, bool stopAtSeparator) {
    out.Assign(nullptr, 0);
    const _byte* start = buffer.cursor;
    while (HasUnit(buffer.cursor)) {
        char16_t unit = UnitAt(buffer.cursor);
        if (IsLineEnd(unit) || (stopAtSeparator && IsSeparator(unit)))
            break;
        buffer.cursor += UnitSize();
    }
    int bytes = int(buffer.cursor - start);
    if (bytes == 0)
        return false;
    if (encoding == _UTF16) {
        AssignUtf16(out, start, bytes / 2);
    } else {
        const char* narrow = reinterpret_cast<const char*>(start);
        char16_t* wide = encoding == _UTF8 ? Utf8ToWide(nullptr, 0, narrow, bytes) : AnsiToWide(nullptr, 0, narrow, bytes);
        out.Assign(wide);
        MemFree(wide);
    }
    return true;
}

bool StringReader::ReadWordInLine(WString& out) {
    SkipBlank(false);
    return Take(out, true);
}

bool StringReader::ReadWord(WString& out) {
    SkipBlank(true);
    return Take(out, true);
}

bool StringReader::ReadLine(WString& out) {
    SkipBlank(true);
    return Take(out, false);
}

bool StringReader::ReadRest(WString& out) {
    Detect();
    out.Assign(nullptr, 0);
    if (buffer.data == nullptr)
        return false;
    if (buffer.cursor < buffer.data + bomLength)
        buffer.cursor = buffer.data + bomLength;
    const _byte* end = buffer.data + buffer.size;
    if (encoding == _UTF16) {
        int units = int(end - buffer.cursor) / 2;
        if (units <= 0)
            return false;
        AssignUtf16(out, buffer.cursor, units);
        buffer.cursor += units * 2;
        return true;
    }
    int bytes = int(end - buffer.cursor);
    if (bytes <= 0)
        return false;
    const char* narrow = reinterpret_cast<const char*>(buffer.cursor);
    char16_t* wide = encoding == _UTF8 ? Utf8ToWide(nullptr, 0, narrow, bytes) : AnsiToWide(nullptr, 0, narrow, bytes);
    out.Assign(wide);
    MemFree(wide);
    buffer.cursor += bytes;
    return true;
}

bool StringReader::AtEnd() {
    Detect();
    if (buffer.data == nullptr)
        return true;
    const _byte* at = buffer.cursor < buffer.data + bomLength ? buffer.data + bomLength : buffer.cursor;
    for (; HasUnit(at); at += UnitSize()) {
        char16_t unit = UnitAt(at);
        if (!IsLineEnd(unit) && !IsSeparator(unit))
            return false;
    }
    return true;
}

} // namespace Volux
