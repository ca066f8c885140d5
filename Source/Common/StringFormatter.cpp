// The engine's printf-style formatter over UTF-16, and the two text splitters.
// Integers and texts are formatted here; floating-point digits come from the engine's exact
// conversion (Common/FloatDigits), which rounds as printf does, or for the '#' flag and %a from
// a C99-conforming snprintf on every platform, padded here, so output is the same everywhere.
#include "Common/StringFormatter.h"

#include <climits>
#include <cmath>
#include <cstdio>

#include "Common/FloatDigits.h"
#include "Common/Log.h"

namespace Volux {

namespace {

// Writes characters into a bounded buffer; whatever does not fit is dropped. The count of
// characters asked for saturates at INT_MAX, so a huge width or precision can never wrap it
// around into a valid (or negative) index.
struct Output {
    char16_t* buffer;
    int capacity;  // characters including the terminator
    int written;

    void Advance(int count) { written = count > INT_MAX - written ? INT_MAX : written + count; }
    void Put(char16_t c) {
        if (written < capacity - 1)
            buffer[written] = c;
        Advance(1);
    }
    // A run of characters at once: only the part that still fits is copied.
    void PutRun(const char16_t* from, int count) {
        int room = capacity - 1 - written;
        int copy = count < room ? count : (room > 0 ? room : 0);
        for (int i = 0; i < copy; i++)
            buffer[written + i] = from[i];
        Advance(count);
    }
    void Repeat(char16_t c, int count) {
        int room = capacity - 1 - written;
        int fill = count < room ? count : (room > 0 ? room : 0);
        for (int i = 0; i < fill; i++)
            buffer[written + i] = c;
        Advance(count > 0 ? count : 0);
    }
    bool Full() const { return written >= capacity - 1; }
};

struct Spec {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool alternate = false;
    bool zero = false;
    int width = 0;
    int precision = -1;
    enum Length { _NONE, _HH, _H, _L, _LL, _Z, _J, _T, _LONG_DOUBLE } length = _NONE;
};

void PutPadded(Output& out, const Spec& spec, const char16_t* prefix, int prefixLength, const char16_t* body,
               int bodyLength, int zeros) {
    // Zeros from a precision near INT_MAX plus the rest would overflow an int.
    long long total = (long long)prefixLength + zeros + bodyLength;
    int pad = spec.width > total ? int(spec.width - total) : 0;
    if (!spec.left && !(spec.zero && spec.precision < 0))
        out.Repeat(u' ', pad);
    out.PutRun(prefix, prefixLength);
    if (!spec.left && spec.zero && spec.precision < 0)
        out.Repeat(u'0', pad);
    out.Repeat(u'0', zeros);
    out.PutRun(body, bodyLength);
    if (spec.left)
        out.Repeat(u' ', pad);
}

void PutInteger(Output& out, const Spec& spec, unsigned long long magnitude, bool negative, char16_t conversion) {
    // Digits are written from the end; constant divisors and shifts instead of a division
    // by a variable base, which costs tens of cycles per digit.
    char16_t digits[32];
    int start = 32;
    unsigned base = conversion == u'o' ? 8 : (conversion == u'x' || conversion == u'X' || conversion == u'p') ? 16 : 10;
    if (base == 10) {
        while (magnitude > 0xFFFFFFFFull) {
            digits[--start] = char16_t(u'0' + magnitude % 10);
            magnitude /= 10;
        }
        // Two digits per step below 2^32.
        static const char _PAIRS[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839404142434445464748495051525354555657585960616263646566676869707172737475767778798081828384858687888990919293949596979899";
        unsigned small = unsigned(magnitude);
        for (; small >= 100; small /= 100) {
            unsigned pair = (small % 100) * 2;
            digits[--start] = char16_t(_PAIRS[pair + 1]);
            digits[--start] = char16_t(_PAIRS[pair]);
        }
        if (small >= 10) {
            digits[--start] = char16_t(_PAIRS[small * 2 + 1]);
            digits[--start] = char16_t(_PAIRS[small * 2]);
        } else if (small != 0) {
            digits[--start] = char16_t(u'0' + small);
        }
    } else {
        const char* alphabet = conversion == u'x' ? "0123456789abcdef" : "0123456789ABCDEF";
        unsigned shift = base == 16 ? 4 : 3;
        for (; magnitude != 0; magnitude >>= shift)
            digits[--start] = char16_t(alphabet[magnitude & (base - 1)]);
    }
    const char16_t* body = digits + start;
    int count = 32 - start;
    int precision = spec.precision < 0 ? 1 : spec.precision;
    int zeros = precision > count ? precision - count : 0;

    char16_t prefix[3];
    int prefixLength = 0;
    if (conversion == u'd' || conversion == u'i') {
        if (negative)
            prefix[prefixLength++] = u'-';
        else if (spec.plus)
            prefix[prefixLength++] = u'+';
        else if (spec.space)
            prefix[prefixLength++] = u' ';
    } else if (spec.alternate) {
        if (base == 16 && count > 0) {
            prefix[prefixLength++] = u'0';
            prefix[prefixLength++] = conversion;
        } else if (base == 8 && zeros == 0 && (count == 0 || body[0] != u'0')) {
            zeros = 1;
        }
    }
    PutPadded(out, spec, prefix, prefixLength, body, count, zeros);
}

// Decodes one UTF-8 sequence of an 8-bit text as the engine's decoder does; returns the bytes
// consumed and the character (0 when the bytes produce nothing).
int DecodeUtf8(const unsigned char* at, char16_t& c) {
    unsigned char b0 = at[0];
    if (b0 < 0x80) {
        c = b0;
        return 1;
    }
    if ((b0 & 0xE0) == 0xC0 && at[1] != 0) {
        c = char16_t((b0 & 0x1F) << 6 | (at[1] & 0x3F));
        return 2;
    }
    if ((b0 & 0xF0) == 0xE0 && at[1] != 0 && at[2] != 0) {
        c = char16_t((b0 & 0x0F) << 12 | (at[1] & 0x3F) << 6 | (at[2] & 0x3F));
        return 3;
    }
    c = 0;
    return 1;
}

void PutText16(Output& out, const Spec& spec, const char16_t* text) {
    if (text == nullptr)
        text = u"(null)";
    int length = 0;
    while (text[length] != 0 && (spec.precision < 0 || length < spec.precision))
        length++;
    Spec plain = spec;
    plain.zero = false;
    PutPadded(out, plain, nullptr, 0, text, length, 0);
}

void PutText8(Output& out, const Spec& spec, const char* text) {
    if (text == nullptr)
        text = "(null)";
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    // First pass counts the characters so the padding is known.
    int length = 0;
    for (const unsigned char* at = bytes; *at != 0 && (spec.precision < 0 || length < spec.precision);) {
        char16_t c;
        at += DecodeUtf8(at, c);
        if (c != 0)
            length++;
    }
    int pad = spec.width > length ? spec.width - length : 0;
    if (!spec.left)
        out.Repeat(u' ', pad);
    int produced = 0;
    for (const unsigned char* at = bytes; *at != 0 && produced < length;) {
        char16_t c;
        at += DecodeUtf8(at, c);
        if (c != 0) {
            out.Put(c);
            produced++;
        }
    }
    if (spec.left)
        out.Repeat(u' ', pad);
}

// The longest exact expansion of a double has 1074 digits after the point and 309 before, so
// with this precision bound every conversion fits the buffer.
constexpr int _MAX_FLOAT_PRECISION = 1100;
constexpr int _FLOAT_CHARS = 1536;

int FloatWithCLibrary(char* digits, int size, const Spec& spec, long double value, bool isLong, char16_t conversion);

// %f with a small precision for moderate values, by integer arithmetic. The scaled value is
// below 2^40, so its rounding error is under 2^-13; when its fraction lies clearly away from
// one half, the rounding direction equals that of the exact binary value, which is what printf
// rounds. Anything closer to a tie returns 0 and goes through the exact conversion.
int FixedFast(char* out, double value, int precision) {
    static const double _POWERS[10] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
    static const unsigned long long _IPOWERS[10] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000,
                                                    1000000000};
    if (!std::isfinite(value))
        return 0;
    double scaled = std::fabs(value) * _POWERS[precision];
    if (!(scaled < 1099511627776.0))
        return 0;
    double whole = std::floor(scaled);
    double fraction = scaled - whole;
    if (std::fabs(fraction - 0.5) < 1.0 / 1024)
        return 0;
    unsigned long long q = (unsigned long long)whole + (fraction > 0.5 ? 1 : 0);
    unsigned long long integral = q / _IPOWERS[precision];
    unsigned long long decimals = q % _IPOWERS[precision];
    char reversed[24];
    int n = 0;
    do {
        reversed[n++] = char('0' + integral % 10);
        integral /= 10;
    } while (integral != 0);
    char* at = out;
    if (std::signbit(value))
        *at++ = '-';
    while (n > 0)
        *at++ = reversed[--n];
    if (precision > 0) {
        *at++ = '.';
        for (int i = precision - 1; i >= 0; i--) {
            at[i] = char('0' + decimals % 10);
            decimals /= 10;
        }
        at += precision;
    }
    return int(at - out);
}

// Digits of f, e and g; 0 when they cannot be made.
int FloatText(char* digits, int size, const Spec& spec, double value, char16_t conversion) {
    char style;
    switch (conversion) {
    case u'f': case u'F': style = 'f'; break;
    case u'e': case u'E': style = 'e'; break;
    case u'g': case u'G': style = 'g'; break;
    default: return 0;
    }
    int precision = spec.precision < 0 ? 6 : spec.precision > _MAX_FLOAT_PRECISION ? _MAX_FLOAT_PRECISION : spec.precision;
    char* at = digits;
    if (!std::signbit(value)) {
        if (spec.plus)
            *at++ = '+';
        else if (spec.space)
            *at++ = ' ';
    }
    if (style == 'f' && precision <= 9) {
        int count = FixedFast(at, value, precision);
        if (count > 0)
            return int(at - digits) + count;
    }
    int produced = FloatDigits(at, int(digits + size - at), value, style, precision);
    if (produced == 0)
        return 0;
    int count = int(at - digits) + produced;
    if (conversion == u'F' || conversion == u'E' || conversion == u'G')
        for (int i = 0; i < count; i++)
            if (digits[i] >= 'a' && digits[i] <= 'z')
                digits[i] = char(digits[i] - 32);
    return count;
}

void PutFloat(Output& out, const Spec& spec, long double value, bool isLong, char16_t conversion) {
    // Width is applied here; precision is bounded so the digits always fit the stack buffer.
    char digits[_FLOAT_CHARS];
    int count = (!isLong && !spec.alternate) ? FloatText(digits, sizeof(digits), spec, double(value), conversion) : 0;
    if (count == 0)
        count = FloatWithCLibrary(digits, sizeof(digits), spec, value, isLong, conversion);
    char16_t body[_FLOAT_CHARS];
    for (int i = 0; i < count; i++)
        body[i] = char16_t(static_cast<unsigned char>(digits[i]));
    int signLength = (count > 0 && (body[0] == u'-' || body[0] == u'+' || body[0] == u' ')) ? 1 : 0;
    bool finite = count > signLength && body[signLength] >= u'0' && body[signLength] <= u'9';
    Spec padding = spec;
    padding.precision = -1;  // zero padding applies to numbers, not to inf and nan
    if (!finite)
        padding.zero = false;
    PutPadded(out, padding, body, signLength, body + signLength, count - signLength, 0);
}

int FloatWithCLibrary(char* digits, int size, const Spec& spec, long double value, bool isLong, char16_t conversion) {
    char format[16];
    int f = 0;
    format[f++] = '%';
    if (spec.plus)
        format[f++] = '+';
    if (spec.space)
        format[f++] = ' ';
    if (spec.alternate)
        format[f++] = '#';
    int precision = spec.precision > _MAX_FLOAT_PRECISION ? _MAX_FLOAT_PRECISION : spec.precision;
    if (precision >= 0) {
        format[f++] = '.';
        f += snprintf(format + f, sizeof(format) - size_t(f), "%d", precision);
    }
    if (isLong)
        format[f++] = 'L';
    format[f++] = char(conversion);
    format[f] = 0;
    int count = isLong ? snprintf(digits, size_t(size), format, value) : snprintf(digits, size_t(size), format, double(value));
    if (count < 0)
        count = 0;
    return count > size - 1 ? size - 1 : count;
}

} // namespace

int FormatInto(char16_t* buffer, int length, const char16_t* format, va_list arguments) {
    Output out{buffer, length, 0};
    const char16_t* at = format;
    while (*at != 0) {
        if (*at != u'%') {
            const char16_t* run = at;
            while (*at != 0 && *at != u'%')
                at++;
            out.PutRun(run, int(at - run));
            if (out.Full())
                break;
            continue;
        }
        const char16_t* start = at++;
        Spec spec;
        for (;; at++) {
            if (*at == u'-')
                spec.left = true;
            else if (*at == u'+')
                spec.plus = true;
            else if (*at == u' ')
                spec.space = true;
            else if (*at == u'#')
                spec.alternate = true;
            else if (*at == u'0')
                spec.zero = true;
            else
                break;
        }
        if (*at == u'*') {
            spec.width = va_arg(arguments, int);
            if (spec.width < 0) {
                spec.left = true;
                spec.width = spec.width == -2147483647 - 1 ? 0 : -spec.width;
            }
            at++;
        } else {
            while (*at >= u'0' && *at <= u'9') {
                if (spec.width < 100000)
                    spec.width = spec.width * 10 + (*at - u'0');
                at++;
            }
        }
        if (*at == u'.') {
            at++;
            spec.precision = 0;
            if (*at == u'*') {
                spec.precision = va_arg(arguments, int);
                if (spec.precision < 0)
                    spec.precision = -1;
                at++;
            } else {
                while (*at >= u'0' && *at <= u'9') {
                    if (spec.precision < 100000)
                        spec.precision = spec.precision * 10 + (*at - u'0');
                    at++;
                }
            }
        }
        switch (*at) {
        case u'h':
            at++;
            spec.length = Spec::_H;
            if (*at == u'h') {
                at++;
                spec.length = Spec::_HH;
            }
            break;
        case u'l':
            at++;
            spec.length = Spec::_L;
            if (*at == u'l') {
                at++;
                spec.length = Spec::_LL;
            }
            break;
        case u'z': at++; spec.length = Spec::_Z; break;
        case u'j': at++; spec.length = Spec::_J; break;
        case u't': at++; spec.length = Spec::_T; break;
        case u'L': at++; spec.length = Spec::_LONG_DOUBLE; break;
        default: break;
        }
        char16_t conversion = *at;
        if (conversion == 0) {
            // A lone '%' at the end is printed as it stands.
            for (const char16_t* c = start; c < at; c++)
                out.Put(*c);
            break;
        }
        at++;
        switch (conversion) {
        case u'd':
        case u'i': {
            long long value;
            switch (spec.length) {
            case Spec::_HH: value = (signed char)va_arg(arguments, int); break;
            case Spec::_H: value = (short)va_arg(arguments, int); break;
            case Spec::_L: value = va_arg(arguments, long); break;
            case Spec::_LL: value = va_arg(arguments, long long); break;
            case Spec::_Z:
            case Spec::_T: value = va_arg(arguments, ptrdiff_t); break;
            case Spec::_J: value = va_arg(arguments, intmax_t); break;
            default: value = va_arg(arguments, int); break;
            }
            unsigned long long magnitude = value < 0 ? 0ULL - (unsigned long long)value : (unsigned long long)value;
            PutInteger(out, spec, magnitude, value < 0, conversion);
            break;
        }
        case u'u':
        case u'x':
        case u'X':
        case u'o': {
            unsigned long long value;
            switch (spec.length) {
            case Spec::_HH: value = (unsigned char)va_arg(arguments, unsigned); break;
            case Spec::_H: value = (unsigned short)va_arg(arguments, unsigned); break;
            case Spec::_L: value = va_arg(arguments, unsigned long); break;
            case Spec::_LL: value = va_arg(arguments, unsigned long long); break;
            case Spec::_Z:
            case Spec::_T: value = va_arg(arguments, size_t); break;
            case Spec::_J: value = va_arg(arguments, uintmax_t); break;
            default: value = va_arg(arguments, unsigned); break;
            }
            PutInteger(out, spec, value, false, conversion);
            break;
        }
        case u'p': {
            // Upper-case hex of the pointer's full width on every platform.
            uintptr_t value = reinterpret_cast<uintptr_t>(va_arg(arguments, void*));
            Spec pointer = spec;
            pointer.precision = int(sizeof(void*) * 2);
            pointer.alternate = false;
            PutInteger(out, pointer, value, false, u'X');
            break;
        }
        case u'c':
        case u'C': {
            char16_t c = char16_t(va_arg(arguments, int));
            Spec plain = spec;
            plain.zero = false;
            PutPadded(out, plain, nullptr, 0, &c, 1, 0);
            break;
        }
        case u's':
            if (spec.length == Spec::_L)
                PutText16(out, spec, va_arg(arguments, const char16_t*));
            else
                PutText8(out, spec, va_arg(arguments, const char*));
            break;
        case u'S':
            PutText16(out, spec, va_arg(arguments, const char16_t*));
            break;
        case u'f':
        case u'F':
        case u'e':
        case u'E':
        case u'g':
        case u'G':
        case u'a':
        case u'A':
            if (spec.length == Spec::_LONG_DOUBLE)
                PutFloat(out, spec, va_arg(arguments, long double), true, conversion);
            else
                PutFloat(out, spec, va_arg(arguments, double), false, conversion);
            break;
        case u'n':
            // Writing through an argument is never done; the pointer is only consumed.
            (void)va_arg(arguments, void*);
            break;
        case u'%':
            out.Put(u'%');
            break;
        default:
            for (const char16_t* c = start; c < at; c++)
                out.Put(*c);
            break;
        }
        if (out.Full())
            break;
    }
    int end = out.written < length - 1 ? out.written : length - 1;
    if (length > 0)
        buffer[end] = 0;
    return end;
}

WStringPtr FormatBufferV(char16_t* buffer, int length, const char16_t* format, va_list arguments) {
    // A negative length leaves no room at all, as a zero one does.
    if (length < 0)
        length = 0;
    if (!VOLUX_CHECK(u"Common/StringFormatter",
                     buffer != _null && length != 0 && format != _null && arguments != _null))
        return WStringPtr(buffer != nullptr && length > 0 ? (buffer[0] = 0, buffer) : nullptr);
    FormatInto(buffer, length, format, arguments);
    buffer[length - 1] = 0;
    return WStringPtr(buffer);
}

WStringPtr FormatBuffer(char16_t* buffer, int length, const char16_t* format, ...) {
    // A negative length leaves no room at all, as a zero one does.
    if (length < 0)
        length = 0;
    if (!VOLUX_CHECK(u"Common/StringFormatter", buffer != _null && length != 0 && format != _null))
        return WStringPtr(buffer != nullptr && length > 0 ? (buffer[0] = 0, buffer) : nullptr);
    va_list arguments;
    va_start(arguments, format);
    FormatInto(buffer, length, format, arguments);
    va_end(arguments);
    buffer[length - 1] = 0;
    return WStringPtr(buffer);
}

WString Format(const char16_t* format, ...) {
    if (!VOLUX_CHECK(u"Common/StringFormatter", format != _null))
        return WString();
    char16_t buffer[_FORMAT_BUFFER_CHARS];
    va_list arguments;
    va_start(arguments, format);
    int count = FormatInto(buffer, _FORMAT_BUFFER_CHARS, format, arguments);
    va_end(arguments);
    return WString(buffer, count);
}

void SplitWords(const char16_t* text, Array<WString>& words) {
    text = NonNull(text);
    WString word;
    bool quoted = false;
    for (; *text != 0; text++) {
        char16_t c = *text;
        if (c == u'"') {
            quoted = !quoted;
        } else if (!quoted && (c == u' ' || c == u'\t')) {
            if (!word.IsEmpty()) {
                words.Append(word);
                word.Assign(nullptr, 0);
            }
        } else {
            word.AppendChar(c);
        }
    }
    if (!word.IsEmpty())
        words.Append(word);
}

namespace {
// Lets the empty-set check read as its report text: "division != L\"\"".
struct SeparatorSet {
    const char16_t* text;
    bool operator!=(const wchar_t*) const { return text[0] != 0; }
};
} // namespace

void Split(const char16_t* text, Array<WString>& words, const char16_t* separators, const char16_t* trimSet) {
    text = NonNull(text);
    separators = NonNull(separators);
    trimSet = NonNull(trimSet);
    SeparatorSet division{separators};
    if (!VOLUX_CHECK(u"Common/StringFormatter", division != L""))
        return;
    int start = -1;
    for (int i = 0;; i++) {
        char16_t c = text[i];
        bool isSeparator = c != 0 && Text::FindChar(separators, c) >= 0;
        if (c == 0) {
            if (start < 0) {
                words.Append(WString());
            } else {
                WString field(text + start, i - start);
                field.Trim(trimSet);
                if (!field.IsEmpty())
                    words.Append(std::move(field));
            }
            return;
        }
        if (isSeparator) {
            if (start < 0) {
                words.Append(WString());
            } else {
                WString field(text + start, i - start);
                field.Trim(trimSet);
                words.Append(std::move(field));
                start = -1;
            }
        } else if (start < 0) {
            start = i;
        }
    }
}

} // namespace Volux
