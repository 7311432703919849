// Addition and subtraction: the aligned word-array addition both share, and
// the magnitude comparison and subtraction used when the signs cancel.
#include "bignum/bigfloat.h"

#include <cstring>

#include "bignum/word_vec.h"

static int32_t clamp_exponent(int64_t e) {
  return e < INT32_MIN ? INT32_MIN : e > INT32_MAX ? INT32_MAX : static_cast<int32_t>(e);
}

// Exponent difference d >= 0 as a word shift; every d >= n acts like n.
static int32_t clamp_shift(int32_t n, int64_t d) {
  return d < n ? static_cast<int32_t>(d) : n;
}

// Adds a carry c (0 or 1) to the finished word out[i]; returns the carry
// that leaves it. absorb_borrow likewise takes a borrow away.
static int32_t absorb_carry(uint16_t* out, int32_t i, int32_t c, uint32_t r) {
  const uint32_t s = out[i] + static_cast<uint32_t>(c);
  const uint32_t up = s >= r;
  out[i] = static_cast<uint16_t>(s - (r & (0u - up)));
  return static_cast<int32_t>(up);
}
static int32_t absorb_borrow(uint16_t* out, int32_t i, int32_t b, int32_t r) {
  const int32_t t = out[i] - b;
  const int32_t down = t < 0;
  out[i] = static_cast<uint16_t>(t + (r & -down));
  return down;
}

// The word chains of addition and subtraction, in the vector or the portable
// form, chosen here for both: add_words sets out[begin ... end-1] to
// x[i] + y[i - shift] with carries, sub_words to x[i] - y[i - shift] with
// borrows, from the least significant word (end - 1) up and from the incoming
// carry (borrow); each returns the carry (borrow) out of word begin. step(i, c)
// is the one-word step: it writes out[i] from the incoming carry c and
// returns the outgoing one. out may alias x and y as big_add_aligned allows.
#ifdef MORLANT_FFT_HAVE_VEC
// The vector path takes eight words at a time (word_vec.h). Within a block the
// word sums (differences) without carries are formed at once; a word whose
// sum reaches R (difference is negative) generates a carry (borrow) into the
// word above it, and only a word at exactly R - 1 (0) would pass an incoming
// one on. A block without such a word takes its carries in one step; a block
// with one, rare for the words of a computation at R = 10000, takes the
// one-word steps. Each block is read before it is written, and the blocks
// after it read only below it.
template <class Step>
static uint32_t add_words(int32_t begin, int32_t end, uint32_t c, uint32_t r, const uint16_t* x,
                          const uint16_t* y, int32_t shift, uint16_t* out, Step step) {
  const uint16_t rw = static_cast<uint16_t>(r);
  int32_t i = end;
  for (; i - begin >= 8; ) {
    i -= 8;
    const u16x8 s = load8(x + i) + load8(y + (i - shift));
    const i16x8 gen = s >= rw;
    if (any_set(s == static_cast<uint16_t>(rw - 1))) {
      for (int32_t k = i + 7; k >= i; --k) c = static_cast<uint32_t>(step(k, static_cast<int32_t>(c)));
      continue;
    }
    const u16x8 g = reinterpret_cast<const u16x8&>(gen) & 1;
    store8(out + i, s + carries_in(g, static_cast<uint16_t>(c)) - (reinterpret_cast<const u16x8&>(gen) & rw));
    c = g[0];
  }
  for (int32_t k = i - 1; k >= begin; --k) c = static_cast<uint32_t>(step(k, static_cast<int32_t>(c)));
  return c;
}

template <class Step>
static int32_t sub_words(int32_t begin, int32_t end, int32_t b, int32_t r, const uint16_t* x, const uint16_t* y,
                         int32_t shift, uint16_t* out, Step step) {
  int32_t i = end;
  for (; i - begin >= 8; ) {
    i -= 8;
    const i16x8 d = reinterpret_cast<i16x8>(load8(x + i)) - reinterpret_cast<i16x8>(load8(y + (i - shift)));
    const i16x8 gen = d < 0;
    if (any_set(d == 0)) {
      if (!any_set(d)) {
        // Eight equal words, common where two nearly equal numbers meet: the
        // borrow passes through, leaving R - 1 or 0 behind.
        const int16_t word = static_cast<int16_t>(b ? r - 1 : 0);
        const i16x8 fill = d + word;
        store8(out + i, reinterpret_cast<const u16x8&>(fill));
        continue;
      }
      for (int32_t k = i + 7; k >= i; --k) b = step(k, b);
      continue;
    }
    const u16x8 g = reinterpret_cast<const u16x8&>(gen) & 1;
    const i16x8 borrow = reinterpret_cast<i16x8>(carries_in(g, static_cast<uint16_t>(b)));
    store8(out + i, reinterpret_cast<u16x8>(d - borrow + (gen & static_cast<int16_t>(r))));
    b = g[0];
  }
  for (int32_t k = i - 1; k >= begin; --k) b = step(k, b);
  return b;
}
#else
// The portable path: one or two chains of one-word steps (chain_words).

// Runs of at least this many words take the two-chain path below.
constexpr int32_t kSplitWords = 128;

// Carry (or borrow) chains over out[begin ... end-1] of x[i] op y[i - shift],
// least significant word (end - 1) first, where `step(i, c)` writes out[i]
// from the incoming carry c and returns the outgoing one, and `absorb(i, c)`
// adds a carry c to the finished out[i] and returns what leaves it. Long
// runs are cut in two halves whose chains run interleaved, the upper half
// starting from carry 0, which doubles the work in flight on a chain that
// is otherwise one dependent step per word; the lower half's carry is then
// rippled into the upper half, where it is absorbed within a few words
// (beyond a run of full words). The total carry out is at most 1, so the two
// ways it can leave the upper half combine with an OR.
//
// The halves may run side by side only if no half reads a word the other
// has already written: out aliasing y with 0 < shift lets the lower half
// read y in the upper half's range, so that case keeps one chain.
template <class Step, class Absorb>
static int32_t chain_words(int32_t begin, int32_t end, int32_t c, bool split_safe, Step step, Absorb absorb) {
  if (!split_safe || end - begin < kSplitWords) {
    for (int32_t i = end - 1; i >= begin; --i) c = step(i, c);
    return c;
  }
  const int32_t mid = begin + (end - begin) / 2;
  int32_t lo = end - 1, cl = c, cu = 0;
  for (; lo - mid >= mid - begin; --lo) cl = step(lo, cl);  // the lower half is the longer one
  for (int32_t up = mid - 1; up >= begin; --up, --lo) {
    cl = step(lo, cl);
    cu = step(up, cu);
  }
  for (int32_t i = mid - 1; i >= begin && cl != 0; --i) cl = absorb(i, cl);
  return cu | cl;
}

template <class Step>
static uint32_t add_words(int32_t begin, int32_t end, uint32_t c, uint32_t r, const uint16_t* /*x*/,
                          const uint16_t* y, int32_t shift, uint16_t* out, Step step) {
  return static_cast<uint32_t>(chain_words(begin, end, static_cast<int32_t>(c), out != y || shift == 0, step,
                                           [&](int32_t i, int32_t carry) { return absorb_carry(out, i, carry, r); }));
}

template <class Step>
static int32_t sub_words(int32_t begin, int32_t end, int32_t b, int32_t r, const uint16_t* /*x*/, const uint16_t* y,
                         int32_t shift, uint16_t* out, Step step) {
  return chain_words(begin, end, b, out != y || shift == 0, step,
                     [&](int32_t i, int32_t borrow) { return absorb_borrow(out, i, borrow, r); });
}
#endif

// A word chain over [begin, end) shared by a team (team_chain): chain(lo,
// hi, c) runs the words lo ... hi-1 from the incoming carry (borrow) c and
// returns the one out of word lo, absorb(i, c) adds a carry to the finished
// word i. A piece's own carry and one absorbed from below never both occur
// (the carry out of any run of words is at most 1), so the words are those of
// one chain. As in chain_words, pieces may run side by side only if none
// reads a word another has already written: callers pass a null team when
// out aliases y with 0 < shift.
template <class Chain, class Absorb>
static int32_t shared_chain(Team* team, int32_t begin, int32_t end, int32_t c, Chain chain, Absorb absorb) {
  return team_chain<int32_t>(
      team_for_length(team, end - begin), end - begin,
      [&](int64_t lo, int64_t hi, bool lowest) {
        return chain(begin + static_cast<int32_t>(lo), begin + static_cast<int32_t>(hi), lowest ? c : 0);
      },
      [&](int64_t lo, int64_t hi, int32_t carry) {
        for (int32_t i = begin + static_cast<int32_t>(hi) - 1; i >= begin + lo && carry != 0; --i)
          carry = absorb(i, carry);
        return carry;
      });
}

// n >= 1 words each; 0 <= shift (values above n act like n); out may alias x
// and/or y. The loops run from the least significant word to word 0 and read
// y at i - shift <= i, so out[i] is written only after x[i] and y[i] are read.
int32_t big_add_aligned(int32_t n, int32_t R, int32_t shift, const uint16_t* x,
                        const uint16_t* y, uint16_t* out, Team* team) {
  const uint32_t r = static_cast<uint32_t>(R);
  team = team_for_length(team, n);
  if (shift == 0 && uint32_t{x[0]} + y[0] >= r && team == nullptr) {
    // The top carries out for certain: build the sum one word lower at once
    // rather than shifting afterwards. The lowest sum only feeds its carry.
    // (A team takes the chains below and shifts: the same words.)
    uint32_t c = uint32_t{x[n - 1]} + y[n - 1] >= r;
    for (int32_t i = n - 1; i >= 1; --i) {
      const uint32_t s = x[i - 1] + y[i - 1] + c;
      c = s >= r;
      out[i] = static_cast<uint16_t>(s - (r & (0u - c)));
    }
    out[0] = 1;
    return 1;
  }
  if (shift > n) shift = n;
  auto step = [&](int32_t i, int32_t carry) {
    const uint32_t s = x[i] + y[i - shift] + static_cast<uint32_t>(carry);
    const uint32_t up = s >= r;
    out[i] = static_cast<uint16_t>(s - (r & (0u - up)));
    return static_cast<int32_t>(up);
  };
  uint32_t c = static_cast<uint32_t>(shared_chain(
      out != y || shift == 0 ? team : nullptr, shift, n, 0,
      [&](int32_t begin, int32_t end, int32_t carry) {
        return static_cast<int32_t>(add_words(begin, end, static_cast<uint32_t>(carry), r, x, y, shift, out, step));
      },
      [&](int32_t i, int32_t carry) { return absorb_carry(out, i, carry, r); }));
  // Above y's words the carry runs into x's alone; once it stops, the rest
  // is x's words as they are.
  int32_t i = shift - 1;
  for (; i >= 0 && c != 0; --i) {
    const uint32_t s = x[i] + c;
    c = s >= r;
    out[i] = static_cast<uint16_t>(s - (r & (0u - c)));
  }
  if (out != x && i >= 0) std::memcpy(out, x, sizeof(uint16_t) * static_cast<std::size_t>(i + 1));
  if (c == 0) return 0;
  std::memmove(out + 1, out, sizeof(uint16_t) * static_cast<std::size_t>(n - 1));
  out[0] = 1;
  return 1;
}

// Sign of |a| - |b| for non-zero normalised a and b (may be the same record).
// Normalisation makes the larger exponent the larger magnitude.
// Nearly equal numbers share long runs of leading words (the AGM's means and
// a Newton step's residual), so equal blocks are skipped with memcmp first.
static int32_t compare_magnitudes(int32_t n, const BigFloat* a, const BigFloat* b) {
  if (a->exponent != b->exponent) return a->exponent > b->exponent ? 1 : -1;
  constexpr int32_t kBlock = 64;
  int32_t i = 0;
  while (i + kBlock <= n && std::memcmp(a->digits + i, b->digits + i, kBlock * sizeof(uint16_t)) == 0) i += kBlock;
  for (; i < n; ++i) {
    if (a->digits[i] != b->digits[i]) return a->digits[i] > b->digits[i] ? 1 : -1;
  }
  return 0;
}

// out = sign * (|X| - |Y|) for non-zero normalised X, Y with |X| >= |Y|, so
// X.exponent >= Y.exponent. Words of Y below X's last word are dropped before
// subtracting: the result is the exact difference rounded up to the grid
// R^(X.exponent - n + 1), then normalised (exactly zero when |X| = |Y|).
// out may alias X and/or Y: word i is written after X[i] and Y[i] are read.
static void subtract_magnitudes(int32_t n, int32_t R, const BigFloat* X, const BigFloat* Y,
                                int32_t sign, BigFloat* out, Team* team) {
  const int64_t top = X->exponent;
  const int32_t shift = clamp_shift(n, top - Y->exponent);
  const uint16_t* x = X->digits;
  const uint16_t* y = Y->digits;
  uint16_t* o = out->digits;
  auto step = [&](int32_t i, int32_t borrow) {
    const int32_t t = x[i] - y[i - shift] - borrow;
    const int32_t down = t < 0;
    o[i] = static_cast<uint16_t>(t + (R & -down));
    return down;
  };
  int32_t b = shared_chain(
      o != y || shift == 0 ? team : nullptr, shift, n, 0,
      [&](int32_t begin, int32_t end, int32_t borrow) { return sub_words(begin, end, borrow, R, x, y, shift, o, step); },
      [&](int32_t i, int32_t borrow) { return absorb_borrow(o, i, borrow, R); });
  int32_t i = shift - 1;
  for (; i >= 0 && b != 0; --i) {
    const int32_t t = x[i] - b;
    b = t < 0;
    o[i] = static_cast<uint16_t>(t + (R & -b));
  }
  if (o != x && i >= 0) std::memcpy(o, x, sizeof(uint16_t) * static_cast<std::size_t>(i + 1));
  // The leading zeros of a cancellation, four words at a time first.
  int32_t z = 0;
  for (uint64_t four = 0; z + 4 <= n; z += 4) {
    std::memcpy(&four, o + z, sizeof four);
    if (four != 0) break;
  }
  while (z < n && o[z] == 0) ++z;
  if (z == n) {
    out->sign = 0;
    out->exponent = 0;
    return;
  }
  if (z > 0) {
    const std::size_t kept = static_cast<std::size_t>(n - z);
    std::memmove(o, o + z, sizeof(uint16_t) * kept);
    std::memset(o + kept, 0, sizeof(uint16_t) * static_cast<std::size_t>(z));
  }
  out->sign = sign;
  out->exponent = clamp_exponent(top - z);
}

// out = a + bsign * |b|, where bsign is b's sign for an addition and its
// negation for a subtraction; a zero b has bsign 0 either way. Every field of
// a and b that decides sign and exponent is read before out is written.
static void add_signed(int32_t n, int32_t R, const BigFloat* a, int32_t bsign,
                       const BigFloat* b, BigFloat* out, Team* team) {
  const int32_t asign = a->sign;
  const int64_t ae = a->exponent;
  const int64_t be = b->exponent;
  if (asign == 0 || bsign == 0) {
    // A zero has exponent 0 and zero words: adding the arrays copies the
    // other operand and no carry can occur.
    const int32_t sign = asign + bsign;
    const int32_t carry = big_add_aligned(n, R, 0, a->digits, b->digits, out->digits, team);
    out->sign = sign;
    out->exponent = sign == 0 ? 0 : clamp_exponent(ae + be + carry);
  } else if (asign == bsign) {
    const bool a_top = ae >= be;
    const int64_t top = a_top ? ae : be;
    const int32_t shift = clamp_shift(n, a_top ? ae - be : be - ae);
    const int32_t carry = a_top ? big_add_aligned(n, R, shift, a->digits, b->digits, out->digits, team)
                                : big_add_aligned(n, R, shift, b->digits, a->digits, out->digits, team);
    out->sign = asign;
    out->exponent = clamp_exponent(top + carry);
  } else if (compare_magnitudes(n, a, b) < 0) {
    subtract_magnitudes(n, R, b, a, bsign, out, team);
  } else {
    subtract_magnitudes(n, R, a, b, asign, out, team);
  }
}

// n >= 1 words; a, b, out may be any mix of the same and different records.
void big_add(int32_t n, int32_t R, const BigFloat* a, const BigFloat* b, BigFloat* out, Team* team) {
  add_signed(n, R, a, b->sign, b, out, team);
}

// As big_add; 0 - b gives -b, a - 0 gives a, a - a gives the canonical zero.
void big_sub(int32_t n, int32_t R, const BigFloat* a, const BigFloat* b, BigFloat* out, Team* team) {
  add_signed(n, R, a, -b->sign, b, out, team);
}
