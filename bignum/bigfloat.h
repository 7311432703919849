// Multi-precision floating numbers with small decimal words, and the
// elementary operations on them that need no transform.
#ifndef MORLANT_BIGNUM_BIGFLOAT_H
#define MORLANT_BIGNUM_BIGFLOAT_H

#include <cstddef>
#include <cstdint>

#include "fft/team.h"

// A number of one computation: n words in radix R, R one of 10, 100, 1000,
// 10000 (k = 1 ... 4 decimal digits per word). The record is one contiguous
// block of 8 + 2n bytes; the caller owns it and chooses n.
//
//   value = sign * sum_{i=0}^{n-1} digits[i] * R^(exponent - i)
//
// Invariants every operation keeps and expects of its inputs:
//   - every word is in 0 ... R-1;
//   - a non-zero value is normalised: sign is +1 or -1 and digits[0] != 0;
//   - zero is sign 0, exponent 0 and all n words 0 (the additions add a zero
//     operand's words to the other's, so they must really be 0).
// digits[0] is the units word when exponent is 0; a value in [1/R, 1) has
// exponent -1. Results always have exactly n words: what falls below the last
// word is truncated unless an operation says otherwise.
//
// Every operation's output may be the same record as any of its inputs: each
// input word is read before its position in the output is written.
struct BigFloat {
  int32_t sign;
  int32_t exponent;
  uint16_t digits[];  // n words, most significant first
};

// Bytes of a record of n words.
constexpr std::size_t big_record_bytes(int32_t n) {
  return 8u + 2u * static_cast<std::size_t>(n);
}

// out = the decimal value of text, k digits per word (R = 10^k), n words.
// Leading spaces and a sign are accepted, then digits with an optional point
// and an exponent introduced by one of D, E, d, e. Digits beyond word n-1 are
// dropped, not rounded. Never fails: text without a significant digit gives
// zero (with all words 0); an exponent that cannot be read counts as 0; an
// exponent beyond the 32-bit range saturates, and the resulting word exponent
// is clamped to the 32-bit range.
void big_parse(int32_t n, int32_t k, const char* text, BigFloat* out);

// out = a + b and out = a - b, n words, truncated. Magnitude subtraction
// keeps the words of the operand with the larger magnitude and drops the
// smaller operand's words below them. Exponents are handled in 64 bits and
// clamped to the 32-bit range, so extreme exponents cannot overflow. With a
// team (fft/team.h), long word chains are shared among its members, with
// the same words.
void big_add(int32_t n, int32_t R, const BigFloat* a, const BigFloat* b, BigFloat* out, Team* team = nullptr);
void big_sub(int32_t n, int32_t R, const BigFloat* a, const BigFloat* b, BigFloat* out, Team* team = nullptr);

// Adds the word arrays x and y (n words each) with y shifted `shift` >= 0
// words down, into out (may alias x or y). Words of y that would land below
// position n-1 are ignored; shift >= n leaves x. When a carry leaves the top,
// the words move one place down (the lowest is lost), out[0] = 1 and the
// result is 1; otherwise 0. The caller sets sign and exponent.
int32_t big_add_aligned(int32_t n, int32_t R, int32_t shift, const uint16_t* x,
                        const uint16_t* y, uint16_t* out, Team* team = nullptr);

// out = a * k, n words, truncated. Any 32-bit k, INT32_MIN included. When
// the carry out of the top alone needs more than n words (tiny n, large k),
// it is rounded to n words instead and the product's own words are lost. A
// team shares long products (same words).
void big_mul_small(int32_t n, int32_t R, const BigFloat* a, int32_t k, BigFloat* out, Team* team = nullptr);

// out = a / k, n words, truncated toward zero. Returns 0, or -1 when k is 0,
// in which case out is left untouched. Any other 32-bit k, INT32_MIN included.
int32_t big_div_small(int32_t n, int32_t R, const BigFloat* a, int32_t k, BigFloat* out);

// out = a / 2, n words, truncated.
void big_half(int32_t n, int32_t R, const BigFloat* a, BigFloat* out);

#endif  // MORLANT_BIGNUM_BIGFLOAT_H
