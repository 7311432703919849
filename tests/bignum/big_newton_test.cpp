// Reciprocal, square root and inverse square root of a small integer against
// MPFR, at the word counts the pi computation uses (n = L + 2).
//
// Tolerance. The last step rounds its approximation to h + 1 = L/2 + 1 words
// (half a unit of word h) on top of the previous step's error (a few units of
// that step's last word, h + 1), and the step leaves the square of that error,
// about (1/2 + a few/R)^2 R^(-2h) relative, as the leading error term: some R
// units of the last word (n - 1 = 2h + 1), up to R times more when the
// result's leading word is small. Corrections formed with fewer words (w3)
// and truncated add a few units. Measured over a 40 times larger sample than
// this one: up to 3.7 R units at R = 10, 1.1 R at 100, 7.9 R at 1000 and
// 2.2 R at 10000 (the inverse square root of large k, with results just
// above a power of R, is the worst). The bound checked is R^2 units of the
// last word: every word but the last two is exact up to a carry.
#include <cmath>
#include <cstdio>
#include <vector>

#include "bignum/big_newton.h"
#include "tests/bignum/mpfr_support.h"

namespace bigtest {
namespace {

using Arr = std::vector<double>;
constexpr int32_t kLengths[] = {2, 4, 8, 16, 32, 64, 128, 256, 1024, 4096};

enum Op { kReciprocal, kSqrt, kRsqrt };
const char* const kOpNames[] = {"big_reciprocal", "big_sqrt", "big_rsqrt_small"};

// An iteration's records at transform length L, with n = L + 2 words.
struct Newton {
  int32_t L, n;
  Big out, tmp1, tmp2;
  Arr P, Q;
  explicit Newton(int32_t l) : L(l), n(l + 2), out(garbage(n)), tmp1(garbage(n)), tmp2(garbage(n)), P(n), Q(n) {}
  int32_t operator()(Op op, int32_t R, const Big& x, int32_t k = 0) {
    BigFloat *o = out.get(), *t1 = tmp1.get(), *t2 = tmp2.get();
    if (op == kReciprocal) return big_reciprocal(n, R, x.get(), o, t1, t2, L, P.data(), Q.data());
    if (op == kSqrt) return big_sqrt(n, R, x.get(), o, t1, t2, L, P.data(), Q.data());
    return big_rsqrt_small(n, R, k, o, t1, t2, L, P.data(), Q.data());
  }
};

bool normalised(const Big& b, int32_t R) {
  bool ok = (b->sign == 1 || b->sign == -1) && b[0] != 0;
  for (int32_t i = 0; i < b.n; ++i) ok = ok && b[i] < R;
  return ok;
}

TEST(BigNewton, RandomOperandsAgainstMpfr) {
  std::mt19937_64 g(0x6e7774);
  double worst[3][4] = {};
  for (int ri = 0; ri < 4; ++ri) {
    const int32_t R = kRadices[ri];
    const double bound = static_cast<double>(R) * R;
    for (int32_t L : kLengths) {
      Newton w(L);
      const int trials = L <= 64 ? 30 : L <= 256 ? 8 : 3;
      Mp x_mp(bits_for(w.n, R)), ref(bits_for(w.n, R));
      for (int t = 0; t < trials && !HasFailure(); ++t) {
        // Exponents odd and even, negative and positive; runs of R - 1 put
        // some results next to a power of R.
        Big x = random_big(g, w.n, R, static_cast<int32_t>(g() % 15) - 7);
        if (x->sign == 0) x = Big(w.n, 1, 0, {static_cast<int>(1 + g() % (R - 1))});
        const int32_t ks[] = {2, 3, 5, 8, 10, R - 1, R + 1, static_cast<int32_t>(1 + g() % 1000000), INT32_MAX};
        const int32_t k = ks[g() % 9];
        for (Op op : {kReciprocal, kSqrt, kRsqrt}) {
          if (op == kSqrt) x->sign = 1;
          if (op == kRsqrt) {
            mpfr_set_si(ref, k, MPFR_RNDN);
            mpfr_rec_sqrt(ref, ref, MPFR_RNDN);
          } else {
            set_big(x_mp, x, R);
            if (op == kSqrt) mpfr_sqrt(ref, x_mp, MPFR_RNDN);
            else mpfr_ui_div(ref, 1, x_mp, MPFR_RNDN);
          }
          w.out = garbage(w.n);
          const int32_t rc = w(op, R, x, k);
          const double err = normalised(w.out, R) ? std::fabs(ulps(w.out, R, ref)) : INFINITY;
          worst[op][ri] = std::max(worst[op][ri], err);
          EXPECT_TRUE(rc == 0 && err <= bound)
              << kOpNames[op] << " R " << R << " L " << L << (op == kRsqrt ? " k " + std::to_string(k) : "")
              << "\n x " << show(x) << "\n got " << show(w.out) << "\n error " << err << " units of the last word";
        }
      }
    }
  }
  for (int op = 0; op < 3; ++op)
    std::printf("%-16s largest error, units of the last word: R 10 %.1f, R 100 %.1f, R 1000 %.1f, R 10000 %.1f\n",
                kOpNames[op], worst[op][0], worst[op][1], worst[op][2], worst[op][3]);
}

// Values the iterations must reach exactly or to a known word pattern, also
// at lengths below the starting precision (p0 = 16 words for R = 10, 4 for
// R = 10000), where a single step at p = L runs.
TEST(BigNewton, ExactAndKnownResults) {
  for (int32_t R : kRadices) {
    for (int32_t L : {2, 4, 8, 64, 512}) {
      Newton w(L);
      const Big one(w.n, 1, 0, {1}), minus_one(w.n, -1, 0, {1}), two(w.n, 1, 0, {2}), four(w.n, 1, 0, {4});
      const Big half(w.n, 1, -1, {R / 2});
      const struct {
        Op op;
        const Big& x;
        int32_t k;
        const Big& want;
      } cases[] = {{kReciprocal, one, 0, one}, {kReciprocal, minus_one, 0, minus_one}, {kSqrt, four, 0, two},
                   {kSqrt, one, 0, one},       {kRsqrt, one, 1, one},                  {kRsqrt, one, 4, half}};
      for (const auto& c : cases) {
        w.out = garbage(w.n);
        EXPECT_EQ(w(c.op, R, c.x, c.k), 0);
        EXPECT_TRUE(matches(w.out, c.want, R)) << kOpNames[c.op] << " R " << R << " L " << L << " k " << c.k;
      }
    }
  }
  for (int32_t L : {2, 8, 64, 1024}) {
    Newton w(L);
    w(kReciprocal, 10, Big(w.n, 1, 0, {3}));  // 0.333..., but for the last word or two
    EXPECT_EQ(w.out->exponent, -1);
    for (int32_t i = 0; i < w.n - 2; ++i) ASSERT_EQ(w.out[i], 3) << "1/3, L " << L << " word " << i;
    w(kRsqrt, 10000, Big(w.n), 8);  // 0.3535 5339 0593 ...
    EXPECT_EQ(w.out->exponent, -1);
    const uint16_t lead[] = {3535, 5339, 593};
    for (int32_t i = 0; i < 3 && i < w.n - 2; ++i) EXPECT_EQ(w.out[i], lead[i]) << "1/sqrt 8, L " << L;
  }
}

// Bad arguments return -1 and leave the output as it was, byte for byte; the
// square root of zero is the canonical zero.
TEST(BigNewton, ArgumentFailuresLeaveTheOutputUntouched) {
  for (int32_t L : {2, 64}) {
    Newton w(L);
    const Big zero(w.n), negative(w.n, -1, 2, {7, 1}), before = garbage(w.n);
    EXPECT_EQ(w(kReciprocal, 10000, zero), -1);
    EXPECT_EQ(w(kSqrt, 10000, negative), -1);
    EXPECT_EQ(w(kRsqrt, 10000, zero, 0), -1);
    EXPECT_EQ(w(kRsqrt, 10000, zero, -5), -1);
    EXPECT_TRUE(w.out == before) << show(w.out);
    EXPECT_EQ(w(kSqrt, 10000, zero), 0);
    EXPECT_TRUE(matches(w.out, zero, 10000));
  }
}

}  // namespace
}  // namespace bigtest
