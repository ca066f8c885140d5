// A double is m * 2^e with an integer m below 2^53. For e < 0 it equals m * 5^-e / 10^-e, so its
// exact decimal expansion is the integer m * 5^-e with the point -e digits from the right; for
// e >= 0 it is the integer m * 2^e. Either integer has at most 767 digits, held here in base
// 10^9, and every style rounds that exact digit string.
#include "Common/FloatDigits.h"

#include <cstdint>
#include <cstring>

namespace Volux {

namespace {

constexpr std::uint32_t _LIMB = 1000000000;
constexpr int _MAX_LIMBS = 90;      // 767 digits need 86
constexpr int _MAX_DIGITS = _MAX_LIMBS * 9;
// Digits a result may keep: 309 before the point and a precision up to about 1700 after it.
constexpr int _KEPT_DIGITS = 2048;

// The exact digits of |value|: digits[0..count) with no leading zero (zero is "0"), and
// `point`, the number of digits before the decimal point (zero or negative when the value is
// below 0.1).
struct ExactDigits {
    char digits[_MAX_DIGITS];
    int count = 0;
    int point = 0;
};

struct BigDecimal {
    std::uint32_t limbs[_MAX_LIMBS];  // least significant first
    int used = 0;

    void Multiply(std::uint32_t factor) {
        std::uint64_t carry = 0;
        for (int i = 0; i < used; i++) {
            std::uint64_t product = std::uint64_t(limbs[i]) * factor + carry;
            limbs[i] = std::uint32_t(product % _LIMB);
            carry = product / _LIMB;
        }
        while (carry != 0 && used < _MAX_LIMBS) {
            limbs[used++] = std::uint32_t(carry % _LIMB);
            carry /= _LIMB;
        }
    }
};

void Expand(double value, ExactDigits& out) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    const int exponentField = int((bits >> 52) & 0x7FF);
    std::uint64_t mantissa = bits & ((std::uint64_t(1) << 52) - 1);
    int exponent = -1074;
    if (exponentField != 0) {
        mantissa |= std::uint64_t(1) << 52;
        exponent = exponentField - 1075;
    }
    if (mantissa == 0) {
        out.digits[0] = '0';
        out.count = 1;
        out.point = 1;
        return;
    }
    // Fewer factors to multiply by: trailing zero bits move into the exponent.
    while ((mantissa & 1) == 0) {
        mantissa >>= 1;
        exponent++;
    }
    BigDecimal number;
    while (mantissa != 0) {
        number.limbs[number.used++] = std::uint32_t(mantissa % _LIMB);
        mantissa /= _LIMB;
    }
    int scale = 0;  // digits after the point
    if (exponent < 0) {
        scale = -exponent;
        int fives = scale;
        for (; fives >= 13; fives -= 13)
            number.Multiply(1220703125u);  // 5^13
        std::uint32_t rest = 1;
        while (fives-- > 0)
            rest *= 5;
        number.Multiply(rest);
    } else {
        int twos = exponent;
        for (; twos >= 31; twos -= 31)
            number.Multiply(std::uint32_t(1) << 31);
        number.Multiply(std::uint32_t(1) << twos);
    }
    // Most significant limb without leading zeros, then nine digits per limb.
    int count = 0;
    char top[10];
    int topCount = 0;
    for (std::uint32_t v = number.limbs[number.used - 1]; v != 0; v /= 10)
        top[topCount++] = char('0' + v % 10);
    while (topCount > 0)
        out.digits[count++] = top[--topCount];
    for (int i = number.used - 2; i >= 0; i--) {
        std::uint32_t v = number.limbs[i];
        for (int d = 8; d >= 0; d--) {
            out.digits[count + d] = char('0' + v % 10);
            v /= 10;
        }
        count += 9;
    }
    out.count = count;
    out.point = count - scale;
}

// The first `keep` digits of the expansion (zeros past its end), rounded to nearest with ties to
// even on what is cut off. Writes `keep` digits (none when keep <= 0) and returns whether
// rounding carried out of the first one (the result is then 1 followed by the written zeros).
bool RoundDigits(const ExactDigits& exact, int keep, char* kept) {
    for (int i = 0; i < keep; i++)
        kept[i] = i < exact.count ? exact.digits[i] : '0';
    if (keep < 0 || keep >= exact.count)
        return false;  // nothing cut, or the whole value lies below half a unit
    const char first = exact.digits[keep];
    bool up = first > '5';
    if (first == '5') {
        bool restNonZero = false;
        for (int i = keep + 1; i < exact.count && !restNonZero; i++)
            restNonZero = exact.digits[i] != '0';
        const bool lastOdd = keep > 0 && ((kept[keep - 1] - '0') & 1) != 0;
        up = restNonZero || lastOdd;
    }
    if (!up)
        return false;
    for (int i = keep - 1; i >= 0; i--) {
        if (kept[i] != '9') {
            kept[i]++;
            return false;
        }
        kept[i] = '0';
    }
    return true;
}

struct Writer {
    char* out;
    int size;
    int count = 0;
    bool overflow = false;

    void Put(char c) {
        if (count < size)
            out[count++] = c;
        else
            overflow = true;
    }
    void Put(const char* text, int length) {
        for (int i = 0; i < length; i++)
            Put(text[i]);
    }
};

void WriteFixed(Writer& w, const ExactDigits& exact, int precision) {
    char kept[_KEPT_DIGITS];
    // Digits kept: those before the point and `precision` after it.
    const long long wanted = (long long)exact.point + precision;
    if (wanted > int(sizeof(kept)) - 1) {
        w.overflow = true;
        return;
    }
    int keep = int(wanted);
    char* digits = kept + 1;
    int length = keep > 0 ? keep : 0;
    if (RoundDigits(exact, keep, digits)) {
        digits = kept;
        digits[0] = '1';
        length++;
    }
    // At least one digit before the point: zeros in front of a value below one.
    const int integral = length - precision;
    if (integral <= 0) {
        w.Put('0');
        if (precision > 0)
            w.Put('.');
        for (int i = integral; i < 0; i++)
            w.Put('0');
        w.Put(digits, length);
        return;
    }
    w.Put(digits, integral);
    if (precision > 0) {
        w.Put('.');
        w.Put(digits + integral, precision);
    }
}

// Rounds to `significant` digits; returns the decimal exponent of the first one.
int RoundSignificant(const ExactDigits& exact, int significant, char* kept) {
    int exponent = exact.point - 1;
    if (RoundDigits(exact, significant, kept)) {
        kept[0] = '1';
        for (int i = 1; i < significant; i++)
            kept[i] = '0';
        exponent++;
    }
    return exponent;
}

void WriteExponent(Writer& w, int exponent) {
    w.Put('e');
    w.Put(exponent < 0 ? '-' : '+');
    int magnitude = exponent < 0 ? -exponent : exponent;
    char reversed[8];
    int n = 0;
    do {
        reversed[n++] = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (n < 2)
        reversed[n++] = '0';
    while (n > 0)
        w.Put(reversed[--n]);
}

void WriteScientific(Writer& w, const ExactDigits& exact, int precision, bool trimZeros) {
    char kept[_KEPT_DIGITS];
    if (precision + 1 > int(sizeof(kept))) {
        w.overflow = true;
        return;
    }
    const int exponent = RoundSignificant(exact, precision + 1, kept);
    int fraction = precision;
    if (trimZeros)
        while (fraction > 0 && kept[fraction] == '0')
            fraction--;
    w.Put(kept[0]);
    if (fraction > 0) {
        w.Put('.');
        w.Put(kept + 1, fraction);
    }
    WriteExponent(w, exponent);
}

} // namespace

int FloatDigits(char* out, int size, double value, char style, int precision) {
    if (out == nullptr || size <= 0 || precision < 0 || (style != 'f' && style != 'e' && style != 'g'))
        return 0;
    Writer w{out, size};
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    if (bits >> 63)
        w.Put('-');
    if (((bits >> 52) & 0x7FF) == 0x7FF) {
        w.Put((bits & ((std::uint64_t(1) << 52) - 1)) != 0 ? "nan" : "inf", 3);
        return w.overflow ? 0 : w.count;
    }
    ExactDigits exact;
    Expand(value, exact);
    if (style == 'f') {
        WriteFixed(w, exact, precision);
    } else if (style == 'e') {
        WriteScientific(w, exact, precision, false);
    } else {
        // %g: the exponent the value has once rounded to P significant digits picks the style;
        // trailing zeros go.
        const int significant = precision == 0 ? 1 : precision;
        char kept[_KEPT_DIGITS];
        if (significant > int(sizeof(kept)))
            return 0;
        const int exponent = RoundSignificant(exact, significant, kept);
        if (exponent >= -4 && exponent < significant) {
            const int start = w.count;
            WriteFixed(w, exact, significant - 1 - exponent);
            bool hasPoint = false;
            for (int i = start; i < w.count; i++)
                hasPoint = hasPoint || out[i] == '.';
            if (hasPoint && !w.overflow) {
                while (out[w.count - 1] == '0')
                    w.count--;
                if (out[w.count - 1] == '.')
                    w.count--;
            }
        } else {
            WriteScientific(w, exact, significant - 1, true);
        }
    }
    return w.overflow ? 0 : w.count;
}

} // namespace Volux
