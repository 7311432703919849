// Decimal text of a BigFloat's leading digits.
#ifndef MORLANT_BIGNUM_BIG_FORMAT_H
#define MORLANT_BIGNUM_BIG_FORMAT_H

#include <cstdint>

#include "bignum/bigfloat.h"

// Writes the first `count` significant decimal digits of x (n words, radix
// R) into out as ASCII, without sign, point or terminator: the leading
// word's digits without leading zeros, then every further word as exactly
// log10 R digits. Returns the number of digits written: count, or fewer when
// x has fewer digits (0 for zero). out must hold `count` bytes.
int64_t big_format_digits(int32_t n, int32_t R, const BigFloat* x, int64_t count, char* out);

// Digits per word of radix R (1 ... 4).
int32_t big_digits_per_word(int32_t R);

#endif  // MORLANT_BIGNUM_BIG_FORMAT_H
