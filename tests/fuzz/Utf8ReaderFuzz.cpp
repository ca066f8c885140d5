// UTF-8 to wide conversion into buffers of exactly the stated capacity (so an overrun is
// caught), the round trip back, and the text reader's operations over the same bytes.
// Input: byte 0 picks the capacity, byte 1 the reader's operations, the rest is the text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Common/Memory.h"
#include "Common/StringEncoding.h"
#include "Common/StringReader.h"

using namespace Volux;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    int capacity = data[0] & 0x7F;
    _byte operations = data[1];
    const char* text = reinterpret_cast<const char*>(data + 2);
    int count = int(size - 2);

    // Allocating form, then every capacity below what it needed.
    int length = 0;
    char16_t* full = Utf8ToWide(nullptr, 0, text, count, &length);
    std::vector<char16_t> bounded(size_t(capacity) + 1);
    bool truncated = false;
    int boundedLength = 0;
    Utf8ToWide(bounded.data(), capacity, text, count, &boundedLength, &truncated);
    if (capacity > 0 && (boundedLength > capacity - 1 || bounded[size_t(boundedLength)] != 0))
        abort();
    if (full != nullptr) {
        if (full[length] != 0)
            abort();
        char* back = WideToUtf8(nullptr, 0, full, length);
        MemFree(back);
        std::vector<char> narrow(size_t(capacity) + 1);
        WideToUtf8(narrow.data(), capacity, full, length);
        MemFree(full);
    }

    StringReader reader;
    if (!reader.Attach(data + 2, _dword(size - 2), (operations & 0x80) != 0))
        return 0;
    reader.SetSeparators((operations & 0x40) != 0 ? u",;" : u"");
    reader.stopAtLineEnd = (operations & 0x20) != 0;
    WString out;
    // Every read either consumes input or fails, so this many rounds reach the end.
    for (size_t round = 0; round <= size && !reader.AtEnd(); round++) {
        switch ((operations + round) & 3) {
        case 0: reader.ReadWord(out); break;
        case 1: reader.ReadWordInLine(out); break;
        case 2: reader.ReadLine(out); break;
        default:
            if ((operations & 0x10) != 0)
                reader.ReadRest(out);
            else
                reader.ReadWord(out);
            break;
        }
    }
    return 0;
}
