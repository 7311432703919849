// Reciprocal, square root and inverse square root of a small integer against
// exact rational arithmetic at n = L + 2 words. The last step leaves the
// square of the previous error, some R units of the last word (measured up to
// 7.9 R): the bound is R^2 units, every word but the last two exact up to a
// carry.
#include "bignum/big_newton.h"
#include "tests/bignum/bignum_test_support.h"

namespace bigtest {
namespace {

using Arr = std::vector<double>;
constexpr int32_t kLengths[] = {2, 4, 8, 16, 32, 64, 128, 256, 1024, 4096};

enum Op { kReciprocal, kSqrt, kRsqrt };
const char* const kOpNames[] = {"big_reciprocal", "big_sqrt", "big_rsqrt_small"};

mpq_class value(const Exact& v, int32_t R) {  // m R^e as a fraction
  mpq_class q(v.m * power(R, std::max<int64_t>(v.e, 0)), power(R, std::max<int64_t>(-v.e, 0)));
  q.canonicalize();
  return q;
}

// How many units of its last word y lies from 1/x, sqrt(x) or 1/sqrt(x),
// measured without roots: |y x - 1| / x, |y^2 - x| / 2y and |x y^2 - 1| / 2xy
// (the last two to first order in the error, which is tiny against y).
double units_off(Op op, const Big& y, int32_t R, const mpq_class& x) {
  const Exact e = exact(y, R);
  const mpq_class v = value(e, R), unit = value({1, e.e}, R);
  const mpq_class off = op == kReciprocal ? mpq_class(v * x - 1)
                        : op == kSqrt       ? mpq_class(v * v - x)
                                            : mpq_class(x * v * v - 1);
  const mpq_class scale = op == kReciprocal ? mpq_class(abs(x)) : op == kSqrt ? mpq_class(2 * v) : mpq_class(2 * x * v);
  return mpq_class(abs(off) / (scale * unit)).get_d();
}

// An iteration's records at transform length L, with n = L + 2 words.
struct Newton {
  int32_t L, n;
  Big out, tmp1, tmp2;
  Arr P, Q;
  explicit Newton(int32_t l) : L(l), n(l + 2), out(garbage(n)), tmp1(garbage(n)), tmp2(garbage(n)), P(n), Q(n) {}
  int32_t operator()(Op op, int32_t R, const Big& x, int32_t k = 0) {
    BigFloat *o = out.get(), *t1 = tmp1.get(), *t2 = tmp2.get();
    const ProductScratch scratch = {L, P.data(), Q.data(), nullptr, nullptr, nullptr};
    if (op == kReciprocal) return big_reciprocal(n, R, x.get(), o, t1, t2, &scratch);
    if (op == kSqrt) return big_sqrt(n, R, x.get(), o, t1, t2, &scratch);
    return big_rsqrt_small(n, R, k, o, t1, t2, &scratch);
  }
};

TEST(BigNewton, RandomOperandsAgainstExactArithmetic) {
  std::mt19937_64 g(0x6e7774);
  for (int32_t R : kRadices) {
    const double bound = static_cast<double>(R) * R;
    for (int32_t L : kLengths) {
      Newton w(L);
      const int trials = L <= 64 ? 30 : L <= 256 ? 8 : 3;
      for (int t = 0; t < trials && !HasFailure(); ++t) {
        // Odd and even exponents; runs of R - 1 put results next to a power of R.
        Big x = random_big(g, w.n, R, static_cast<int32_t>(g() % 15) - 7);
        if (x->sign == 0) x = Big(w.n, 1, 0, {static_cast<int>(1 + g() % (R - 1))});
        const int32_t ks[] = {2, 3, 5, 8, 10, R - 1, R + 1, static_cast<int32_t>(1 + g() % 1000000), INT32_MAX};
        const int32_t k = ks[g() % 9];
        for (Op op : {kReciprocal, kSqrt, kRsqrt}) {
          if (op == kSqrt) x->sign = 1;
          w.out = garbage(w.n);
          const int32_t rc = w(op, R, x, k);
          const mpq_class x_value = op == kRsqrt ? mpq_class(k) : value(exact(x, R), R);
          const double err = normalised(w.out, R) && w.out->sign == (op == kReciprocal ? x->sign : 1)
                                 ? units_off(op, w.out, R, x_value)
                                 : INFINITY;
          EXPECT_TRUE(rc == 0 && err <= bound)
              << kOpNames[op] << " R " << R << " L " << L << (op == kRsqrt ? " k " + std::to_string(k) : "")
              << "\n x " << show(x) << "\n got " << show(w.out) << "\n error " << err << " units of the last word";
        }
      }
    }
  }
}

// Exact results, also below the starting precision (one step at p = L).
TEST(BigNewton, ExactAndKnownResults) {
  for (int32_t R : kRadices) {
    for (int32_t L : {2, 4, 8, 64, 512}) {
      Newton w(L);
      const Big one(w.n, 1, 0, {1}), minus_one(w.n, -1, 0, {1}), two(w.n, 1, 0, {2}), four(w.n, 1, 0, {4});
      const Big half(w.n, 1, -1, {R / 2});
      const struct { Op op; const Big& x; int32_t k; const Big& want; } cases[] = {
          {kReciprocal, one, 0, one}, {kReciprocal, minus_one, 0, minus_one}, {kSqrt, four, 0, two},
          {kSqrt, one, 0, one},       {kRsqrt, one, 1, one},                  {kRsqrt, one, 4, half}};
      for (const auto& c : cases) {
        w.out = garbage(w.n);
        EXPECT_EQ(w(c.op, R, c.x, c.k), 0);
        EXPECT_TRUE(matches(w.out, c.want, R)) << kOpNames[c.op] << " R " << R << " L " << L << " k " << c.k;
      }
    }
  }
}

// big_round_words keeps h + 1 = 2 of w = 4 words: a dropped word of R/2 rounds
// up (no other test meets an exact tie), less rounds down, and a carry out of
// the top leaves 1 one word higher.
TEST(BigNewton, RoundWordsHalfUpAndCarryOut) {
  for (int32_t R : kRadices) {
    const struct { Big in, want; } cases[] = {
        {Big(4, 1, 3, {1, 2, R / 2, 0}), Big(4, 1, 3, {1, 3})},
        {Big(4, -1, 3, {1, 2, R / 2 - 1, R - 1}), Big(4, -1, 3, {1, 2})},
        {Big(4, 1, 3, {R - 1, R - 1, R / 2, 1}), Big(4, 1, 4, {1})}};
    for (const auto& c : cases) {
      Big y = c.in;
      big_round_words(y.get(), 1, 4, R);
      EXPECT_TRUE(matches(y, c.want, R)) << show(c.in);
    }
  }
}

// Bad arguments return -1 and leave the output untouched; sqrt(0) is zero.
TEST(BigNewton, ArgumentFailuresLeaveTheOutputUntouched) {
  for (int32_t L : {2, 64}) {
    Newton w(L);
    const Big zero(w.n), negative(w.n, -1, 2, {7, 1}), before = garbage(w.n);
    EXPECT_TRUE(w(kReciprocal, 10000, zero) == -1 && w(kSqrt, 10000, negative) == -1 &&
                w(kRsqrt, 10000, zero, 0) == -1 && w(kRsqrt, 10000, zero, -5) == -1);
    EXPECT_TRUE(w.out == before) << show(w.out);
    EXPECT_EQ(w(kSqrt, 10000, zero), 0);
    EXPECT_TRUE(matches(w.out, zero, 10000));
  }
}

}  // namespace
}  // namespace bigtest
