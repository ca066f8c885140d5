// UTF-8 encoder and decoder of the engine, and the ANSI code-page conversions on top of the
// platform converter.
#include "Common/StringEncoding.h"

#include "Common/Memory.h"
#include "Common/WString.h"
#include "Platform/CodePage.h"

namespace Volux {

namespace {
constexpr const char16_t* _SOURCE = u"Common/StringEncoding";

int SourceLength(const char16_t* src, int count) {
    int n = 0;
    while ((count < 0 || n < count) && src[n] != 0)
        n++;
    return n;
}

int SourceLength(const char* src, int count) {
    int n = 0;
    while ((count < 0 || n < count) && src[n] != 0)
        n++;
    return n;
}

template <class T>
T* Allocate(int units) {
    return static_cast<T*>(MemAlloc(size_t(units) * sizeof(T)));
}

// Bytes one UTF-16 unit takes in UTF-8 (surrogates are encoded one by one).
inline int Utf8Bytes(char16_t u) { return u < 0x80 ? 1 : u < 0x800 ? 2 : 3; }

// Length of the UTF-8 sequence starting at b0 (0 = a byte that produces nothing).
inline int SequenceLength(unsigned char b0) {
    if (b0 < 0x80)
        return 1;
    if ((b0 & 0xE0) == 0xC0)
        return 2;
    if ((b0 & 0xF0) == 0xE0)
        return 3;
    return 0;
}
} // namespace

char* WideToUtf8(char* dst, int capacity, const char16_t* src, int count, int* outLength, bool* truncated) {
    if (outLength != nullptr)
        *outLength = 0;
    if (truncated != nullptr)
        *truncated = false;
    const char16_t* str = src;
    if (!VOLUX_CHECK(_SOURCE, str != _null))
        src = _EMPTY_TEXT;
    int units = SourceLength(src, count);
    if (dst == nullptr) {
        int bytes = 0;
        for (int i = 0; i < units; i++)
            bytes += Utf8Bytes(src[i]);
        dst = Allocate<char>(bytes + 1);
        if (dst == nullptr)
            return nullptr;
        capacity = bytes + 1;
    }
    if (capacity <= 0)
        return dst;
    int written = 0;
    for (int i = 0; i < units; i++) {
        char16_t u = src[i];
        int need = Utf8Bytes(u);
        if (written + need > capacity - 1) {
            if (truncated != nullptr)
                *truncated = true;
            break;
        }
        if (need == 1) {
            dst[written++] = char(u);
        } else if (need == 2) {
            dst[written++] = char(0xC0 | u >> 6);
            dst[written++] = char(0x80 | (u & 0x3F));
        } else {
            dst[written++] = char(0xE0 | u >> 12);
            dst[written++] = char(0x80 | ((u >> 6) & 0x3F));
            dst[written++] = char(0x80 | (u & 0x3F));
        }
    }
    dst[written] = 0;
    if (outLength != nullptr)
        *outLength = written;
    return dst;
}

char16_t* Utf8ToWide(char16_t* dst, int capacity, const char* src, int count, int* outLength, bool* truncated) {
    if (outLength != nullptr)
        *outLength = 0;
    if (truncated != nullptr)
        *truncated = false;
    const char* str = src;
    if (!VOLUX_CHECK(_SOURCE, str != _null))
        src = "";
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(src);
    int size = SourceLength(src, count);
    int characters = 0;
    for (int i = 0; i < size;) {
        int n = SequenceLength(bytes[i]);
        if (n == 0) {
            i++;
            continue;
        }
        if (i + n > size)
            break;  // a sequence running past the end is dropped
        characters++;
        i += n;
    }
    if (dst == nullptr) {
        dst = Allocate<char16_t>(characters + 1);
        if (dst == nullptr)
            return nullptr;
        capacity = characters + 1;
    }
    if (capacity <= 0)
        return dst;
    if (characters > capacity - 1) {
        characters = capacity - 1;
        if (truncated != nullptr)
            *truncated = true;
    }
    int produced = 0;
    for (int i = 0; i < size && produced < characters;) {
        unsigned char b0 = bytes[i];
        int n = SequenceLength(b0);
        if (n == 0) {
            i++;
            continue;
        }
        if (n == 1)
            dst[produced++] = char16_t(b0);
        else if (n == 2)
            dst[produced++] = char16_t((b0 & 0x1F) << 6 | (bytes[i + 1] & 0x3F));
        else
            dst[produced++] = char16_t((b0 & 0x0F) << 12 | (bytes[i + 1] & 0x3F) << 6 | (bytes[i + 2] & 0x3F));
        i += n;
    }
    dst[produced] = 0;
    if (outLength != nullptr)
        *outLength = produced;
    return dst;
}

char16_t* AnsiToWide(char16_t* dst, int capacity, const char* src, int count, int* outLength) {
    if (outLength != nullptr)
        *outLength = 0;
    const char* str = src;
    if (!VOLUX_CHECK(_SOURCE, str != _null))
        src = "";
    int size = SourceLength(src, count);
    if (dst == nullptr) {
        int need = size == 0 ? 0 : CodePage::ToWide(nullptr, 0, src, size);
        dst = Allocate<char16_t>(need + 1);
        if (dst == nullptr)
            return nullptr;
        capacity = need + 1;
    }
    if (capacity <= 0)
        return dst;
    // A capacity of 1 leaves no room at all: the system converter, asked for 0 characters,
    // would only report the size it needs.
    int written = size == 0 || capacity == 1 ? 0 : CodePage::ToWide(dst, capacity - 1, src, size);
    if (written < 0 || written > capacity - 1)
        written = 0;
    dst[written] = 0;
    if (outLength != nullptr)
        *outLength = written;
    return dst;
}

char* WideToAnsi(char* dst, int capacity, const char16_t* src, int count, int* outLength) {
    if (outLength != nullptr)
        *outLength = 0;
    const char16_t* str = src;
    if (!VOLUX_CHECK(_SOURCE, str != _null))
        src = _EMPTY_TEXT;
    int units = SourceLength(src, count);
    if (dst == nullptr) {
        int need = units == 0 ? 0 : CodePage::FromWide(nullptr, 0, src, units);
        dst = Allocate<char>(need + 1);
        if (dst == nullptr)
            return nullptr;
        capacity = need + 1;
    }
    if (capacity <= 0)
        return dst;
    int written = units == 0 || capacity == 1 ? 0 : CodePage::FromWide(dst, capacity - 1, src, units);
    if (written < 0 || written > capacity - 1)
        written = 0;
    dst[written] = 0;
    if (outLength != nullptr)
        *outLength = written;
    return dst;
}

} // namespace Volux
