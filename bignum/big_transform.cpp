// Loading numbers into transform arrays and carrying a convolution back into
// rounded words.
#include <cmath>
#include <cstddef>
#include <cstring>

#include "bignum/big_transform.h"
#include "bignum/word_vec.h"

namespace {

// Nearest integer of x (|x| < 2^52; coefficients are never near a half).
int64_t round_to_int(double x) {
  const double y = x + 0.5;
  const int64_t t = static_cast<int64_t>(y);
  return t - (static_cast<double>(t) > y);
}

// Rounds coef[0 ... count-1] * s to the nearest integers and stores them,
// plus `offset`, in place as int64 bit patterns: adding 1.5 * 2^52 moves the
// integer part into the low bits of the double (exact for |x| < 2^51;
// coefficients stay below 2^46). No dependency between elements, so it
// vectorises.
void round_in_place(double* coef, int32_t count, double s, int64_t offset) {
  constexpr double kMagic = 6755399441055744.0;  // 1.5 * 2^52
  int64_t magic_bits;
  std::memcpy(&magic_bits, &kMagic, sizeof magic_bits);
  const int64_t shift = magic_bits - offset;
  for (int32_t i = 0; i < count; ++i) {
    const double y = coef[i] * s + kMagic;
    int64_t bits;
    std::memcpy(&bits, &y, sizeof bits);
    bits -= shift;
    std::memcpy(coef + i, &bits, sizeof bits);
  }
}

int64_t rounded(const double* coef, int32_t i) {
  int64_t k;
  std::memcpy(&k, coef + i, sizeof k);
  return k;
}

// Writes words[count-1] down to words[0] from the rounded coefficients
// (round_in_place) coef[count-1] ... coef[0] plus the incoming carry, in
// base R; returns the carry out of words[0].
//
// The carry chain is exact 64-bit integer arithmetic: a bias of 2^40 R keeps
// the running value non-negative, so the division by the constant R is a
// plain unsigned multiply and shift. The words are cut into four segments
// whose chains run interleaved, each starting from carry 0 (the lowest from
// the incoming carry); then each segment's carry-out is added into the next
// segment, where it is absorbed within a few words.
template <int32_t R>
struct CarryChain {
  static constexpr uint64_t kBiasWords = uint64_t{1} << 40;
  static constexpr uint64_t kBias = kBiasWords * R;

  // What round_in_place adds to every coefficient for the chains below.
  static constexpr int64_t kOffset = static_cast<int64_t>(kBias - kBiasWords);

  // One step on biased values: with kb = k + kOffset (a rounded coefficient
  // k) and u = carry + 2^40, kb + u = k + carry + 2^40 R >= 0; writes the
  // word and returns the new carry plus 2^40.
  static uint64_t step(int64_t kb, uint64_t u, uint16_t* word) {
    const uint64_t value = static_cast<uint64_t>(kb) + u;
    const uint64_t up = value / R;
    *word = static_cast<uint16_t>(value - up * R);
    return up;
  }

  // Adds carry into words[end-1], words[end-2] ... down to words[begin];
  // returns what leaves words[begin].
  static int64_t ripple(uint16_t* words, int32_t begin, int32_t end, int64_t carry) {
    for (int32_t i = end - 1; i >= begin && carry != 0; --i)
      carry = static_cast<int64_t>(step(words[i] + kOffset, static_cast<uint64_t>(carry) + kBiasWords, words + i) -
                                   kBiasWords);
    return carry;
  }

  // coef rounded by round_in_place with kOffset.
  static int64_t run(const double* coef, int32_t count, int64_t carry, uint16_t* words) {
    constexpr int32_t kSegments = 4;
    const int32_t seg = count / kSegments;
    if (seg < 64) {
      uint64_t u = static_cast<uint64_t>(carry) + kBiasWords;
      for (int32_t i = count - 1; i >= 0; --i) u = step(rounded(coef, i), u, words + i);
      return static_cast<int64_t>(u - kBiasWords);
    }
    // Segment t covers [t seg, (t + 1) seg), the last one up to count;
    // segment kSegments-1 is the least significant.
    uint64_t u[kSegments] = {kBiasWords, kBiasWords, kBiasWords, static_cast<uint64_t>(carry) + kBiasWords};
    // The longer last segment first runs alone down to the common length.
    int32_t i = count - 1;
    for (; i >= kSegments * seg; --i) u[3] = step(rounded(coef, i), u[3], words + i);
    for (int32_t j = seg - 1; j >= 0; --j) {
      u[0] = step(rounded(coef, j), u[0], words + j);
      u[1] = step(rounded(coef, seg + j), u[1], words + seg + j);
      u[2] = step(rounded(coef, 2 * seg + j), u[2], words + 2 * seg + j);
      u[3] = step(rounded(coef, 3 * seg + j), u[3], words + 3 * seg + j);
    }
    int64_t c[kSegments];
    for (int32_t t = 0; t < kSegments; ++t) c[t] = static_cast<int64_t>(u[t] - kBiasWords);
    // Carries move up: segment 3 into 2, 2 into 1, 1 into 0.
    for (int32_t t = kSegments - 1; t >= 1; --t) c[t - 1] += ripple(words, (t - 1) * seg, t * seg, c[t]);
    return c[0];
  }

  // Rounds coef (round_in_place) and runs the chains. On a team the
  // coefficients are cut into pieces (team_pieces), each run from carry 0
  // (the least significant from the incoming carry) by whichever member takes
  // it; then, as within one run, each piece's carry-out ripples into the
  // piece above, from the least significant up. The words are the exact
  // sum's base-R digits, which are unique, so they do not depend on the cut.
  static int64_t run_rounded(double* coef, int32_t count, double s, int64_t carry, uint16_t* words, Team* team) {
    return team_chain<int64_t>(
        team, count,
        [&](int64_t lo, int64_t hi, bool lowest) {
          const int32_t b = static_cast<int32_t>(lo), length = static_cast<int32_t>(hi - lo);
          round_in_place(coef + b, length, s, kOffset);
          return run(coef + b, length, lowest ? carry : 0, words + b);
        },
        [&](int64_t lo, int64_t hi, int64_t c) {
          return ripple(words, static_cast<int32_t>(lo), static_cast<int32_t>(hi), c);
        });
  }
};

// The words of the rounded coefficients, see CarryChain; coef is rounded in place.
int64_t carry_words(int32_t R, double* coef, int32_t count, double s, int64_t carry, uint16_t* words, Team* team) {
  team = team_for_length(team, count);
  switch (R) {
    case 10: return CarryChain<10>::run_rounded(coef, count, s, carry, words, team);
    case 100: return CarryChain<100>::run_rounded(coef, count, s, carry, words, team);
    case 1000: return CarryChain<1000>::run_rounded(coef, count, s, carry, words, team);
    default: return CarryChain<10000>::run_rounded(coef, count, s, carry, words, team);
  }
}

// The balancing of loaded words (big_to_transform): word i, with the carry
// c from the word below it, is stored as t = d[i] + c less R when t >= R/2,
// which passes a carry of 1 to word i - 1.
//
// The carry word i passes on, for the words i ... m-1 balanced from carry 0
// below m: a word >= R/2 passes 1 and a word below R/2 - 1 passes 0 whatever
// it receives; a word of exactly R/2 - 1 passes on what it receives. So the
// first word from i on that is not R/2 - 1 decides, and a share of the words
// can start from its own incoming carry without waiting for the shares below.
int32_t balance_carry(const uint16_t* d, int32_t i, int32_t m, int32_t half) {
  while (i < m && d[i] == half - 1) ++i;
  return i < m && d[i] >= half ? 1 : 0;
}

// Balances words [from, to) of d into X[1 + i] from the carry c that enters
// word to - 1.
void balance_words(const uint16_t* d, int32_t from, int32_t to, int32_t c, int32_t R, double* X) {
  const int32_t half = R / 2;
  int32_t j = to - 1;
  auto step = [&](int32_t i) {
    const int32_t t = d[i] + c;
    c = t >= half;
    X[1 + i] = t - (R & -c);
  };
#ifdef MORLANT_FFT_HAVE_VEC
  // Eight words at a time: a word >= R/2 passes a carry to the word above
  // it, and only a word of R/2 - 1 would pass an incoming one on; blocks
  // with such a word take the scalar steps.
  for (; j - 7 >= from; j -= 8) {
    const u16x8 v = load8(d + (j - 7));
    const i16x8 gen = v >= static_cast<uint16_t>(half);
    if (any_set(v == static_cast<uint16_t>(half - 1))) {
      for (int32_t i = j; i > j - 8; --i) step(i);
      continue;
    }
    const u16x8 g = reinterpret_cast<const u16x8&>(gen) & 1;
    const i16x8 t = reinterpret_cast<i16x8>(v + carries_in(g, static_cast<uint16_t>(c))) -
                    (gen & static_cast<int16_t>(R));
    store8_doubles(X + 1 + (j - 7), t);
    c = g[0];
  }
#endif
  for (; j >= from; --j) step(j);
}

}  // namespace

// big_to_transform(a, s, w, R, L, X): X (L + 2 doubles) <- m = min(L/2 + 1,
// w - s) words of a from index s (m = 0 when s >= w); X[m+1 ... L/2+1] are
// zeroed, X[L/2+2 ... L] left for fft_forward_scrambled_half. The loaded
// words from the third on (X[3 ... m]) are balanced into [-R/2, R/2) with
// their carry moved up; the first two are not balanced, so X[1] >= 0 and
// X[2] >= 0, and a word of exactly R/2 is stored as -R/2 with a carry of 1.
// Balancing keeps the convolution's coefficients, and so its rounding
// errors, small.
void big_to_transform(const BigFloat* a, int32_t s, int32_t w, int32_t R, int32_t L, double* X, Team* team) {
  const int32_t limit = L / 2 + 1;
  const int32_t m = s >= w ? 0 : (w - s < limit ? w - s : limit);
  const uint16_t* d = a->digits + s;
  const int32_t w0 = m > 0 ? d[0] : 0;
  X[L + 1] = static_cast<double>(a->sign) * w0;
  // Each piece zeroes its share of X[m+1 ... L/2+1] and balances its share
  // of the words from the third on. X[L/2 + 2 ... L] stay as they are: the
  // forward transform of the product path takes them as zero without reading
  // them.
  const int32_t zeros = limit - m;
  const int32_t words = m > 2 ? m - 2 : 0;
  team = team_for_length(team, limit);
  const int64_t pieces = team_pieces(team, limit);
  team_for_each(team, pieces, [&](int64_t p) {
    const int64_t z0 = team_piece_start(zeros, p, pieces), z1 = team_piece_start(zeros, p + 1, pieces);
    std::memset(X + m + 1 + z0, 0, static_cast<std::size_t>(z1 - z0) * sizeof(double));
    const int32_t lo = 2 + static_cast<int32_t>(team_piece_start(words, p, pieces));
    const int32_t hi = 2 + static_cast<int32_t>(team_piece_start(words, p + 1, pieces));
    balance_words(d, lo, hi, balance_carry(d, hi, m, R / 2), R, X);
  });
  if (m >= 2) X[2] = d[1] + balance_carry(d, 2, m, R / 2);
  X[1] = w0;
  X[0] = static_cast<double>(a->exponent) - s;
}

// big_from_transform(w, R, L, X, out): X holds an inverse-transformed
// product: X[1+i] = (L/2) c_i for the convolution coefficients c_0 ... c_{L-1},
// except that c_L has wrapped onto c_0; X[L+1] is the exact leading product,
// X[0] the exponent. Writes w >= 1 words into out (not aliasing X); X is
// modified.
//
// Coefficient 0 is the leading product itself, so the wrapped c_L is what
// remains of X[1] and moves to X[L+1]. A leading product of R or more takes
// two words ("big"), and every coefficient then lands one word lower; words
// beyond the L + 1 + big that the coefficients fill are 0. The coefficients
// below the last word only decide its rounding: their sum, weighted by powers
// of 1/R down to 2^-52, is rounded into the carry that enters the last word.
//
// Each coefficient is scaled by 2/L (a power of two, so exactly) and rounded
// to the nearest integer by adding 1.5 * 2^52, which leaves the integer in the
// low bits of the double (exact below 2^51 in magnitude; coefficients stay
// below 2^46). From there on all is exact 64-bit integer arithmetic:
// CarryChain writes the words from the lowest up in four interleaved segments
// and then ripples each segment's carry into the one above. The leading word
// takes what is left, and a carry out of it moves the words one place down
// (the last is lost) and raises the exponent by one.
//
// The words are right as long as every scaled coefficient lies within 1/2 of
// the exact integer coefficient, which the radix that compute_pi chooses with
// fft_roundoff_test provides; nothing is checked here. The result is then the
// product rounded to w words, a tail of half a unit of the last word rounding
// up (the tail is summed in floating point, so one within a hair of half a
// unit may round either way).
void big_from_transform(int32_t w, int32_t R, int32_t L, double* X, BigFloat* out, Team* team) {
  const double s = 2.0 / L;
  const double rinv = 1.0 / R;
  const double dR = R;
  const double v = X[L + 1];
  const double lead = std::fabs(v);
  const int32_t big = lead + 0.5 >= dR ? 1 : 0;  // the leading product needs two words
  const double scale = L / 2.0;
  X[L + 1] = X[1] - scale * lead;
  X[1] = scale * lead;

  uint16_t* digits = out->digits;
  const int32_t top = L + 1 + big;
  int32_t c = w;
  if (w > top) {
    std::memset(digits + top, 0, static_cast<std::size_t>(w - top) * sizeof(uint16_t));
    c = top;
  }

  // Coefficients below the last word only decide its rounding: sum them with
  // weights R^-j while the weight is at least 2^-52.
  double tau = 0.0;
  const int32_t t0 = c + 1 - big;
  if (t0 <= L + 1) {
    double weight = 1.0;
    for (int32_t i = t0; i <= L + 1 && weight >= 2.220446049250313e-16; ++i) {
      tau += X[i] * weight;
      weight *= rinv;
    }
  }
  // Carry into position c from the coefficients below it, rounded.
  int64_t carry = round_to_int((tau * s + 0.5) * rinv);

  carry = carry_words(R, X + 2 - big, c - 1, s, carry, digits + 1, team);
  if (!big) carry += round_to_int(X[1] * s);
  const int64_t g = carry / R;  // a carry out of the leading word (carry >= 0 here)
  digits[0] = static_cast<uint16_t>(carry - g * R);
  int32_t e = big;
  if (g >= 1) {
    std::memmove(digits + 1, digits, static_cast<std::size_t>(w - 1) * sizeof(uint16_t));
    digits[0] = static_cast<uint16_t>(g);
    e += 1;
  }
  out->exponent = static_cast<int32_t>(std::floor(X[0] + e + 0.5));
  out->sign = v > 0.5 ? 1 : -1;
  if (digits[0] == 0) {
    out->sign = 0;
    out->exponent = 0;
  }
}
