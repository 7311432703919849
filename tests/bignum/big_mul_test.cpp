// Transform products and squares against exact GMP products of the parts that
// enter them (hi: first min(L/2 + 1, w) words; lo: from the first non-zero
// word at index >= L/2 + 1, at most L/2 + 1 words; lo*lo never formed), and
// the radix test at the benchmark's length. Bounds, in units of the last word:
// one carry-back < 1/2 + 1/R (< 1 when the value carries out of the leading
// product's words); the long products add a second: < 2 + 1/R.
#include <cmath>
#include <limits>
#include <vector>

#include "bignum/big_mul.h"
#include "tests/bignum/bignum_test_support.h"

namespace bigtest {
namespace {

using Arr = std::vector<double>;
constexpr int32_t kLengths[] = {2, 4, 8, 16, 32, 64, 128, 512, 2048, 4096};

Exact times(const Exact& a, const Exact& b) { return {a.m * b.m, a.e + b.e}; }

// First index in [from, w) at which x (or y) has a non-zero word, else -1.
int32_t first_nonzero(const Big& x, const Big* y, int32_t from, int32_t w) {
  for (int32_t j = from; j < w; ++j)
    if (x[j] != 0 || (y != nullptr && (*y)[j] != 0)) return j;
  return -1;
}

// The part of x loaded from index j (none when j < 0).
Exact loaded(const Big& x, int32_t R, int32_t L, int32_t j) {
  return j < 0 ? Exact{0, 0} : part(x, R, j, j + L / 2 + 1);
}

// got is normalised, has want's sign and lies within `bound` units of its last
// word of want.
::testing::AssertionResult near(const Big& got, int32_t R, const Exact& want, double bound) {
  if (!normalised(got, R)) return ::testing::AssertionFailure() << "not normalised: " << show(got);
  if (want.m == 0 || got->sign != sgn(want.m))
    return got->sign == sgn(want.m) ? ::testing::AssertionSuccess()
                                    : ::testing::AssertionFailure() << "got " << show(got) << ", exact sign "
                                                                    << sgn(want.m);
  const Exact g = exact(got, R);
  const int64_t e = std::min(g.e, want.e);
  mpq_class d(g.m * power(R, g.e - e) - want.m * power(R, want.e - e), power(R, g.e - e));
  d.canonicalize();
  const double err = std::fabs(d.get_d());
  if (err <= bound) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "off by " << err << " units of the last word (bound " << bound
                                       << "): got " << show(got);
}

// The bound for one carry-back, given the loaded parts' exponents and leading words.
double one_rounding(int32_t R, const Exact& want, int64_t exponents, int64_t lead) {
  if (want.m == 0) return 0;
  return truncated(1, R, want)->exponent > exponents + (lead >= R ? 1 : 0) ? 1.0 : 0.5 + 1.0 / R;
}

// Invalid sign and exponent, w zero words, garbage beyond (stale words within
// w have a regression test of their own).
Big fresh(int32_t n, int32_t w) {
  Big out = garbage(n);
  std::fill_n(out->digits, w, uint16_t{0});
  return out;
}

// op(x, out) out of place and (optionally) in place: words beyond w untouched,
// both runs agree. Returns the first w words.
template <typename Op>
Big run(int32_t w, const Big& x, const std::string& what, Op op, bool in_place = true) {
  Big out = fresh(x.n, w), same = x;
  op(x.get(), out.get());
  if (in_place) op(same.get(), same.get());
  else same = out;
  const Big untouched = garbage(x.n);
  const auto tail = static_cast<std::ptrdiff_t>(big_record_bytes(w));
  EXPECT_TRUE(std::equal(out.bytes.begin() + tail, out.bytes.end(), untouched.bytes.begin() + tail))
      << what << " wrote beyond word " << w;
  EXPECT_TRUE(prefix(same, w) == prefix(out, w))
      << what << " in place\n  " << show(prefix(same, w)) << "\n  vs " << show(prefix(out, w));
  return prefix(out, w);
}

TEST(BigMul, RandomOperandsMatchExactProductsOfTheirParts) {
  std::mt19937_64 g(0x6d756c);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (int32_t R : kRadices) {
    const double two = 2.0 + 1.0 / R;
    for (int32_t L : kLengths) {
      const int32_t N = L + 2, half = L / 2 + 1;
      Arr P(N), Q(N), S(N), kept(N);
      Big tmp(N);
      const ProductScratch scratch = {L, P.data(), Q.data(), S.data(), tmp.get(), nullptr};
      const int trials = L <= 64 ? 40 : L <= 512 ? 6 : 2;
      for (int t = 0; t < trials && !HasFailure(); ++t) {
        const int32_t w = t % 2 == 0 ? N : 1 + static_cast<int32_t>(g() % N);
        auto operand = [&] {  // zero operands have a regression test below
          Big x = random_big(g, N, R, static_cast<int32_t>(g() % 15) - 7);
          return x->sign != 0 ? x : Big(N, -1, 2, {static_cast<int>(1 + g() % (R - 1))});
        };
        const Big a = operand(), b = operand(), c = operand();
        const Big pa = prefix(a, w), pb = prefix(b, w), pc = prefix(c, w);
        const std::string at = "R " + std::to_string(R) + " L " + std::to_string(L) + " w " + std::to_string(w) +
                               "\n a " + show(pa) + "\n b " + show(pb) + "\n c " + show(pc) + "\n ";
        const Exact ah = part(pa, R, 0, half), bh = part(pb, R, 0, half), aa = times(ah, ah), ab = times(ah, bh);
        // One carry-back of a_hi times x's part loaded from index j.
        auto one = [&](const Exact& want, const Big& x, int32_t j) {
          return one_rounding(R, want, int64_t{pa->exponent} + x->exponent - j, int64_t{pa[0]} * x[j]);
        };
        auto lo = [&](const Big& x, const Big* y, int32_t from) {
          return loaded(x, R, L, first_nonzero(x, y, from, w));
        };
        // op on x (out of place, and in place unless told otherwise) within
        // `bound` units of the last word of want.
        auto check = [&](const std::string& op, const Big& x, auto f, const Exact& want, double bound,
                         bool in_place = true) { EXPECT_TRUE(near(run(w, x, at + op, f, in_place), R, want, bound)) << at << op; };
        // The long products run in place only at w = L + 2, as compute_pi calls them;
        // their scratch record starts stale.
        const bool long_in_place = w == N;
        const int32_t j0 = first_nonzero(pa, &pb, half, w);  // common to both lo parts
        check("big_mul", a, [&](BigFloat* x, BigFloat* o) {
          big_mul(w, R, x, b.get(), o, &scratch);
        }, sum(sum(ab, times(ah, loaded(pb, R, L, j0)), R), times(loaded(pa, R, L, j0), bh), R), two, long_in_place);

        // big_mul_short leaves a_hi's spectrum in P: big_sqr_short then gives
        // a_hi * a. Q is clobbered in between, as in the final combination.
        check("big_mul_short", b, [&](BigFloat* x, BigFloat* o) {
          big_mul_short(w, R, a.get(), x, o, &scratch);
        }, sum(ab, times(ah, lo(pb, nullptr, half)), R), two, long_in_place);
        kept = P;
        check("big_sqr_short", a, [&](BigFloat* x, BigFloat* o) {
          std::copy(kept.begin(), kept.end(), P.begin());  // in place: scratch points into P
          std::fill(Q.begin(), Q.end(), nan);
          big_sqr_short(w, R, x, o, &scratch);
        }, sum(aa, times(ah, lo(pa, nullptr, half)), R), two, long_in_place);

        // big_mul_half keeps a_hi for any number of stored products (Newton
        // steps), and for a square of the kept spectrum, which consumes it.
        check("big_mul_half", b, [&](BigFloat* x, BigFloat* o) { big_mul_half(w, R, a.get(), x, o, &scratch); }, ab,
              one(ab, pb, 0));
        kept = P;
        for (int32_t s : {half, static_cast<int32_t>(g() % (w + 1))}) {
          const std::string op = "big_mul_stored from " + std::to_string(s);
          const int32_t j = first_nonzero(pc, nullptr, s, w);
          const Exact want = times(ah, loaded(pc, R, L, j));
          check(op, c, [&](BigFloat* x, BigFloat* o) { big_mul_stored(w, R, x, s, o, &scratch); }, want,
                j < 0 ? 0 : one(want, pc, j));
          EXPECT_TRUE(P == kept) << at << op << " changed the kept spectrum";
        }
        check("big_sqr_stored after big_mul_half", a, [&](BigFloat*, BigFloat* o) {
          std::copy(kept.begin(), kept.end(), P.begin());
          big_sqr_stored(w, R, o, &scratch);
        }, aa, one(aa, pa, 0));
        check("big_sqr", a, [&](BigFloat* x, BigFloat* o) { big_sqr(w, R, x, o, &scratch); }, aa, one(aa, pa, 0));
        check("big_sqr_keep", a, [&](BigFloat* x, BigFloat* o) { big_sqr_keep(w, R, x, o, &scratch); }, aa,
              one(aa, pa, 0));
        check("big_mul_stored after big_sqr_keep", b,
              [&](BigFloat* x, BigFloat* o) { big_mul_stored(w, R, x, 0, o, &scratch); }, ab, one(ab, pb, 0));
      }
    }
  }
}

// Every product form at n = L + 2 words, out of place, on the first n words
// of a and b: big_mul, big_mul_short, big_mul_half, and for a == b the
// squares big_sqr and big_sqr_keep.
std::vector<std::pair<const char*, Big>> products(int32_t R, int32_t L, const Big& a, const Big& b) {
  const int32_t n = L + 2;
  const Big pa = prefix(a, n), pb = prefix(b, n);
  Big tmp(n);
  Arr P(n), Q(n), S(n);
  const ProductScratch scratch = {L, P.data(), Q.data(), S.data(), tmp.get(), nullptr};
  std::vector<std::pair<const char*, Big>> out;
  const auto form = [&](const char* name, auto op) {
    out.emplace_back(name, fresh(n, n));
    op(pa.get(), pb.get(), out.back().second.get());
  };
  form("big_mul", [&](auto x, auto y, auto o) { big_mul(n, R, x, y, o, &scratch); });
  form("big_mul_short", [&](auto x, auto y, auto o) { big_mul_short(n, R, x, y, o, &scratch); });
  form("big_mul_half", [&](auto x, auto y, auto o) { big_mul_half(n, R, x, y, o, &scratch); });
  if (!(a == b)) return out;
  form("big_sqr", [&](auto x, auto, auto o) { big_sqr(n, R, x, o, &scratch); });
  form("big_sqr_keep", [&](auto x, auto, auto o) { big_sqr_keep(n, R, x, o, &scratch); });
  return out;
}

// Exact carry-backs (two-word lead, carry out of the top, signs, zero) at
// L = 2, 4 and 8 through every product of a and b.
TEST(BigMul, LeadingProductSignAndZero) {
  // a, b and want of 10 words; the products use the first L + 2.
  struct Case { int32_t R; Big a, b, want; } const cases[] = {
      {10000, Big(10, 1, 0, {1234}), Big(10, 1, 0, {5678}), Big(10, 1, 1, {700, 6652})},
      {10000, Big(10, 1, 0, {9999}), Big(10, 1, 0, {9999}), Big(10, 1, 1, {9998, 1})},
      {10000, Big(10, -1, 3, {9999}), Big(10, 1, -5, {9999}), Big(10, -1, -1, {9998, 1})},
      {10000, Big(10, 1, 0, {99}), Big(10, 1, 0, {101, 102}), Big(10, 1, 1, {1, 0, 98})},  // 10000.0098
      {10, Big(10, -1, 0, {3, 2}), Big(10, -1, 0, {3, 2}), Big(10, 1, 1, {1, 0, 2, 4})},    // 10.24
      {100, Big(10, 1, -2, {7, 1}), Big(10, -1, 1, {1, 3}), Big(10, -1, -1, {7, 22, 3})},
      {1000, Big(10), Big(10, -1, 2, {999, 1, 2}), Big(10)},
      {1000, Big(10, 1, 0, {5, 500, 500}), Big(10), Big(10)},
  };
  for (const Case& k : cases)
    for (int32_t L : {2, 4, 8})
      for (const auto& [what, got] : products(k.R, L, k.a, k.b))
        EXPECT_TRUE(matches(got, prefix(k.want, L + 2), k.R)) << what << " L " << L << "\n a " << show(k.a) << "\n b "
                                                             << show(k.b);
}

// Regression: the cross products' record (fewer than n words) must be cleared
// beyond its words, or adding it to hi*hi picks up stale words when the cross
// products are zero (no word beyond L/2, n <= L/2 + 1, or a zero operand).
TEST(BigMul, CrossProductRecordIsClearedBeyondItsWords) {
  const int32_t R = 10000, L = 8, n = L + 2;
  const Big a(n, 1, 0, {1234, 5678}), b(n, -1, 3, {4321}), zero(n), full(n, 1, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  const Exact ea = exact(a, R), eb = exact(b, R);
  Big tmp(n), stale = garbage(n);
  Arr P(n), Q(n), S(n);
  const ProductScratch scratch = {L, P.data(), Q.data(), S.data(), tmp.get(), nullptr};
  const ProductScratch stale_tmp = {L, P.data(), Q.data(), S.data(), stale.get(), nullptr};
  Big outs[] = {garbage(n), garbage(n), a, full};
  big_mul(n, R, a.get(), b.get(), outs[0].get(), &scratch);
  big_mul_short(n, R, a.get(), b.get(), outs[1].get(), &scratch);
  big_sqr_short(n, R, outs[2].get(), outs[2].get(), &stale_tmp);
  big_mul(n, R, outs[3].get(), zero.get(), outs[3].get(), &scratch);
  const Big want[] = {truncated(n, R, times(ea, eb)), truncated(n, R, times(ea, eb)), truncated(n, R, times(ea, ea)),
                      zero};
  const char* const what[] = {"big_mul out of place", "big_mul_short out of place",
                              "big_sqr_short in place, stale tmp", "big_mul in place, full-length a by zero"};
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(matches(outs[i], want[i], R)) << what[i];

  // n <= L/2 + 1: every word is in hi, so even in place a's own words come back.
  const Big x(3, -1, -2, {9, 9, 9}), y(3, -1, -6, {9, 9, 9});
  Big in_place = x, t3(3);
  Arr P4(6), Q4(6), S4(6);
  const ProductScratch scratch4 = {4, P4.data(), Q4.data(), S4.data(), t3.get(), nullptr};
  big_mul(3, 10, in_place.get(), y.get(), in_place.get(), &scratch4);
  EXPECT_TRUE(matches(in_place, Big(3, 1, -7, {9, 9, 8}), 10)) << "big_mul in place, n = 3, L = 4";
}

// Regression: the cross products' mantissa may reach R^2 while a_hi*b_hi stays
// below R; carried back with n/2 + 1 words they missed the last word (errors
// of about R units). Here a_hi*b_hi = 9999.9 and the cross mantissa >= R^2.
TEST(BigMul, CrossProductsCarryingTwoWordsStillReachTheLastWord) {
  for (int32_t L : {8, 64, 1024}) {
    const int32_t R = 10000, n = L + 2, half = L / 2 + 1;
    Big a(n, 1, 0, {1, 0, 4000}), b(n, 1, 0, {9999, 5000}), tmp(n);
    for (int32_t i = half; i < n; ++i) {
      a[i] = static_cast<uint16_t>(i < half + 2 ? 9999 : i * 7919 % R);
      b[i] = static_cast<uint16_t>(i < half + 2 ? 9999 : i * 104729 % R);
    }
    const Exact ah = part(a, R, 0, half), bh = part(b, R, 0, half);
    const Exact want = sum(sum(times(ah, bh), times(ah, part(b, R, half, n)), R), times(part(a, R, half, n), bh), R);
    Arr P(n), Q(n), S(n);
    const ProductScratch scratch = {L, P.data(), Q.data(), S.data(), tmp.get(), nullptr};
    Big outs[] = {fresh(n, n), a};
    big_mul(n, R, a.get(), b.get(), outs[0].get(), &scratch);
    big_mul(n, R, outs[1].get(), b.get(), outs[1].get(), &scratch);
    EXPECT_TRUE(near(outs[0], R, want, 2.0 + 1.0 / R)) << "L " << L << ", output words zero";
    EXPECT_TRUE(near(outs[1], R, want, 2.0 + 1.0 / R)) << "L " << L << ", in place";
  }
}

// Regression: runs of full words make the segmented carry-back's ripples cross
// whole segments, through negative coefficients of the balanced loading.
TEST(BigMul, CarriesRippleThroughRunsOfFullWords) {
  for (int32_t R : {10, 10000}) {
    for (int32_t L : {512, 4096}) {
      const int32_t n = L + 2;
      Big a(n, 1, 0, {}), b(n, 1, 0, {});
      for (int32_t i = 0; i < n; ++i) {
        a[i] = static_cast<uint16_t>(R - 1);
        b[i] = static_cast<uint16_t>(i % 97 == 5 ? 0 : R - 1);
      }
      const Exact ah = part(a, R, 0, L / 2 + 1), bh = part(b, R, 0, L / 2 + 1);
      Arr P(n), Q(n);
      const ProductScratch scratch = {L, P.data(), Q.data(), nullptr, nullptr, nullptr};
      Big sq(n), prod(n);
      big_sqr(n, R, a.get(), sq.get(), &scratch);
      EXPECT_TRUE(near(sq, R, times(ah, ah), 0.5 + 1.0 / R)) << "R " << R << ", L " << L << ", square";
      big_mul_half(n, R, a.get(), b.get(), prod.get(), &scratch);
      EXPECT_TRUE(near(prod, R, times(ah, bh), 0.5 + 1.0 / R)) << "R " << R << ", L " << L << ", product";
    }
  }
}

// Regression: the radix test must allow R = 10000 at the benchmark's length.
TEST(BigMul, RoundoffTestAllowsRadix10000AtTheBenchmarkLength) {
  const int32_t L = 1 << 21, n = L + 2;
  Arr X(n);
  const double e = fft_roundoff_test(n, 10, L, X.data());
  EXPECT_GT(e, 0.0);
  EXPECT_LT(e + 25.0 * n * 2.220446049250313e-16, 0.4e-6) << "test result " << e;
}

}  // namespace
}  // namespace bigtest
