#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "Common/FloatDigits.h"

using namespace Volux;

namespace {

std::string Digits(double value, char style, int precision) {
    char buffer[2048];
    int count = FloatDigits(buffer, sizeof(buffer), value, style, precision);
    return std::string(buffer, count);
}

// What the C library prints for the same conversion (exact on both test platforms).
std::string Reference(double value, char style, int precision) {
    char format[8] = {'%', '.', '*', style, 0};
    char buffer[2048];
    int count = std::snprintf(buffer, sizeof(buffer), format, precision, value);
    return std::string(buffer, count > 0 ? count : 0);
}

double FromBits(std::uint64_t bits) {
    double value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

} // namespace

TEST(FloatDigits, EdgeValuesMatchTheCLibrary) {
    // Ties at every style, carries through nines, both zeros, subnormals and the extremes.
    const double values[] = {0.0, -0.0, 0.5, 1.5, 2.5, -2.5, 0.125, 0.375, 9.5, 99.5, 999.9999, 9.9999995,
                             1e-5, 0.0001, 0.00001234, 123456.0, 1234567.0, 1e15, 1e16, 1e22, 1e23, 0.1, 0.3,
                             DBL_MIN, DBL_MAX, DBL_TRUE_MIN, 4.9406564584124654e-324, 2.2250738585072009e-308,
                             5e-324 * 3, 1.0 / 3.0, 2.0 / 3.0, 4503599627370496.5, 9007199254740993.0, 0.95, 0.05};
    for (double value : values)
        for (char style : {'f', 'e', 'g'})
            for (int precision : {0, 1, 2, 3, 6, 10, 17, 25})
                EXPECT_EQ(Digits(value, style, precision), Reference(value, style, precision))
                    << "value " << value << " style " << style << " precision " << precision;
    // Long expansions: every digit of the smallest subnormal and of the largest double.
    EXPECT_EQ(Digits(DBL_TRUE_MIN, 'f', 1074), Reference(DBL_TRUE_MIN, 'f', 1074));
    EXPECT_EQ(Digits(DBL_MAX, 'f', 0), Reference(DBL_MAX, 'f', 0));
    EXPECT_EQ(Digits(DBL_TRUE_MIN, 'e', 760), Reference(DBL_TRUE_MIN, 'e', 760));
}

TEST(FloatDigits, RandomBitPatternsMatchTheCLibrary) {
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    int mismatches = 0;
    for (int i = 0; i < 4000 && mismatches < 10; i++) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        double value = FromBits(state);
        if (!std::isfinite(value))
            continue;
        // Moderate magnitudes too, where %f and %g print both sides of the point.
        if (i % 2 == 0) {
            int exponent = 0;
            value = std::ldexp(std::frexp(value, &exponent), int(state >> 58) - 30);
        }
        const int precision = int((state >> 20) % 21);
        for (char style : {'e', 'g', 'f'}) {
            std::string got = Digits(value, style, precision);
            std::string want = Reference(value, style, precision);
            if (got != want) {
                mismatches++;
                ADD_FAILURE() << "value " << value << " style " << style << " precision " << precision << ": " << got
                              << " != " << want;
            }
        }
    }
}

TEST(FloatDigits, SpecialValuesAndRefusals) {
    EXPECT_EQ(Digits(HUGE_VAL, 'f', 2), "inf");
    EXPECT_EQ(Digits(-HUGE_VAL, 'e', 2), "-inf");
    EXPECT_EQ(Digits(std::nan(""), 'g', 2), "nan");
    EXPECT_EQ(Digits(-std::nan(""), 'g', 2), "-nan");
    char small[4];
    struct Case {
        const char* what;
        int count;
    } cases[] = {
        {"too small for 12.50", FloatDigits(small, sizeof(small), 12.5, 'f', 2)},
        {"no buffer", FloatDigits(nullptr, 10, 1.0, 'f', 2)},
        {"zero size", FloatDigits(small, 0, 1.0, 'f', 2)},
        {"unknown style", FloatDigits(small, sizeof(small), 1.0, 'a', 2)},
        {"negative precision", FloatDigits(small, sizeof(small), 1.0, 'e', -1)},
        {"precision beyond what is kept", FloatDigits(small, sizeof(small), 1.0, 'f', 1 << 30)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.count, 0) << c.what;
    EXPECT_EQ(FloatDigits(small, sizeof(small), 1.5, 'f', 1), 3);
    EXPECT_EQ(std::string(small, 3), "1.5");
}
