// Exact decimal digits of a double in the three printf styles, rounded as printf rounds (the
// exact binary value, ties to even), the same on every platform and without the large tables of
// a shortest-digits library.
#pragma once

namespace Volux {

// Writes the digits of `value` in style 'f', 'e' or 'g' with `precision` (as printf's %.Nf,
// %.Ne and %.Ng: lower-case, no '#' flag, 'g' drops trailing zeros) into `out`: a leading '-'
// when the sign bit is set, "inf" and "nan" for the special values. Returns the character
// count (no terminator is written), or 0 for another style, a negative precision or when
// `size` is too small.
int FloatDigits(char* out, int size, double value, char style, int precision);

} // namespace Volux
