// Multiplication and division by a small signed integer, and halving.
//
// The multiply and divide run their carry chains in double precision instead
// of integer division. Every intermediate is an integer, or an integer plus
// one half, below 2^45 (a word < 10^4 times |k| <= 2^31, plus a carry or a
// remainder times R below |k| * R), so sums, products and differences are
// exact whether or not the compiler fuses them. Only the products by the
// precomputed reciprocals 1/R and 1/f are rounded. The added 0.5 keeps the
// exact quotient at least 1/(2R) >= 2^-15 (multiply, quotient < 2^31) or
// 1/(2f) >= 2^-32 (divide, quotient < R < 2^14) away from an integer, far
// more than the reciprocal's error of about 2^-52 relative, so truncating
// yields the exact floor quotient.
#include "bignum/bigfloat.h"

#include <cstring>

#include "bignum/word_vec.h"

static int32_t clamp_exponent(int64_t e) {
  return e < INT32_MIN ? INT32_MIN : e > INT32_MAX ? INT32_MAX : static_cast<int32_t>(e);
}

static void set_zero(int32_t n, BigFloat* out) {
  out->sign = 0;
  out->exponent = 0;
  std::memset(out->digits, 0, sizeof(uint16_t) * static_cast<std::size_t>(n));
}

// n >= 1 words; out may be a. Any k: |k| is taken in double, so INT32_MIN is
// fine. The product is truncated to its n leading words, except when the
// carry out of the top alone needs more than n words (tiny n, large k): then
// the carry is rounded to n words, one word at a time, and only it remains.
void big_mul_small(int32_t n, int32_t R, const BigFloat* a, int32_t k, BigFloat* out, Team* team) {
  const int32_t sign = k > 0 ? a->sign : k < 0 ? -a->sign : 0;
  int64_t exponent = a->exponent;
  if (sign == 0) {
    set_zero(n, out);
    return;
  }
  const double f = k < 0 ? -static_cast<double>(k) : static_cast<double>(k);
  const double r = R;
  const double inv_r = 1.0 / r;
  const uint16_t* x = a->digits;
  uint16_t* o = out->digits;
  // On a team the words are cut into pieces, each multiplied from carry 0
  // (team_chain); each piece's carry (below f) is then added into the piece
  // above, where it stops within a few words. The words are the exact
  // product's, whatever the cut.
  const uint64_t ur = static_cast<uint64_t>(R);
  const uint64_t top = team_chain<uint64_t>(
      team_for_length(team, n), n,
      [&](int64_t lo, int64_t hi, bool) {
        double c = 0.0;  // carry, 0 <= c < f
        for (int64_t i = hi - 1; i >= lo; --i) {
          const double t = x[i] * f + (c + 0.5);
          c = static_cast<double>(static_cast<int64_t>(t * inv_r));
          o[i] = static_cast<uint16_t>(t - c * r);
        }
        return static_cast<uint64_t>(c);
      },
      [&](int64_t lo, int64_t hi, uint64_t carry) {
        for (int64_t i = hi - 1; i >= lo && carry != 0; --i) {
          const uint64_t sum = o[i] + carry;
          o[i] = static_cast<uint16_t>(sum % ur);
          carry = sum / ur;
        }
        return carry;
      });
  if (top != 0) {
    // The carry (< 2^31) becomes the leading words: the product's words move
    // down by the carry's word count w and the lowest w are lost.
    uint64_t carry = top;
    int32_t w = 0;
    for (uint64_t v = carry; v != 0; v /= ur) ++w;
    int32_t dropped = 0;  // words rounded off a carry longer than n words
    while (w > n) {
      carry = (carry + ur / 2) / ur;
      ++dropped;
      w = 0;
      for (uint64_t v = carry; v != 0; v /= ur) ++w;
    }
    std::memmove(o + w, o, sizeof(uint16_t) * static_cast<std::size_t>(n - w));
    for (int32_t i = w - 1; i >= 0; --i, carry /= ur) o[i] = static_cast<uint16_t>(carry % ur);
    exponent += w + dropped;
  }
  out->sign = sign;
  out->exponent = clamp_exponent(exponent);
}

// n >= 1 words; out may be a. k = 0 returns -1 with out untouched; any other
// k, INT32_MIN included, returns 0 with out = a / k truncated toward zero to
// n words (the quotient's leading word is non-zero; the remainder is lost).
int32_t big_div_small(int32_t n, int32_t R, const BigFloat* a, int32_t k, BigFloat* out) {
  if (k == 0) return -1;
  const int32_t sign = k > 0 ? a->sign : -a->sign;
  const int64_t exponent = a->exponent;
  if (sign == 0) {
    set_zero(n, out);
    return 0;
  }
  const double f = k < 0 ? -static_cast<double>(k) : static_cast<double>(k);
  const double inv_f = 1.0 / f;
  const double r = R;
  const uint16_t* x = a->digits;
  uint16_t* o = out->digits;
  // Take words until the running value reaches f, so the first quotient word
  // is non-zero and below R; e words beyond the first lower the exponent.
  // Words past the end of a read as 0; at most 10 are taken (f < 10^10).
  double rem = 0.0;
  int32_t j = 0;  // next word of a
  do {
    rem = rem * r + (j < n ? x[j] : 0);
    ++j;
  } while (rem < f);
  const int32_t e = j - 1;
  // Output word i is written after a's word e + i >= i has been read.
  auto step = [&](double t) {  // t = remainder * R + next word + 0.5
    const double q = static_cast<double>(static_cast<int64_t>(t * inv_f));
    rem = static_cast<double>(static_cast<int64_t>(t - q * f));
    return static_cast<uint16_t>(q);
  };
  o[0] = step(rem + 0.5);
  int32_t i = 1;
  for (; i < n && j < n; ++i, ++j) o[i] = step(rem * r + 0.5 + x[j]);
  for (; i < n; ++i) o[i] = step(rem * r + 0.5);
  out->sign = sign;
  out->exponent = clamp_exponent(exponent - e);
  return 0;
}

// n >= 1 words; out may be a. Exact when a's leading word is 1 (the result
// gains a word below, and R is even), otherwise the lowest half-unit is lost.
void big_half(int32_t n, int32_t R, const BigFloat* a, BigFloat* out) {
  const int32_t sign = a->sign;
  int64_t exponent = a->exponent;
  const uint16_t* x = a->digits;
  uint16_t* o = out->digits;
  const uint32_t r = static_cast<uint32_t>(R);
  // A leading 1 becomes R in the word below: one word more of precision.
  // Each output word is half its word plus R/2 when the word above it is odd
  // (R is even): with a leading 1, o[i] comes from x[i+1] and x[i] (x[0] = 1
  // passing R); otherwise from x[i] and x[i-1].
  const bool lead_one = x[0] == 1;
  int32_t i = 0;        // with a leading 1, the one-word steps start at word i
  int32_t head = n;     // otherwise they take words 0 ... head-1
  uint32_t carry = lead_one ? r : 0;
#ifdef MORLANT_FFT_HAVE_VEC
  // Eight words at a time: with a leading 1 from word 0 on, otherwise from
  // the last word up, so that in place no block reads a word an earlier one
  // wrote.
  const uint16_t half_r = static_cast<uint16_t>(r / 2);
  if (lead_one) {
    for (; i + 8 < n; i += 8) {
      const u16x8 up = load8(x + i + 1), here = load8(x + i);
      store8(o + i, (up >> 1) + (here & 1) * half_r);
    }
    carry = (x[i] & 1u) * r;
  } else {
    for (; head - 8 >= 1; head -= 8) {
      const u16x8 here = load8(x + head - 8), above = load8(x + head - 9);
      store8(o + head - 8, (here >> 1) + (above & 1) * half_r);
    }
  }
#endif
  if (lead_one) {
    exponent -= 1;
    for (; i < n - 1; ++i) {
      const uint32_t s = carry + x[i + 1];
      o[i] = static_cast<uint16_t>(s >> 1);
      carry = (s & 1u) * r;
    }
    o[n - 1] = static_cast<uint16_t>(carry >> 1);
  } else {
    for (int32_t k = 0; k < head; ++k) {
      const uint32_t s = carry + x[k];
      o[k] = static_cast<uint16_t>(s >> 1);
      carry = (s & 1u) * r;
    }
  }
  out->sign = sign;
  out->exponent = clamp_exponent(exponent);
}
