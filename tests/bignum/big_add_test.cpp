// big_add and big_sub (and through them big_add_aligned) against exact GMP arithmetic.
#include "tests/bignum/bignum_test_support.h"

namespace bigtest {
namespace {

// a + s*b under the rounding rule: same signs (or a zero) truncate the exact
// sum to n words; opposite signs drop the smaller magnitude's words below the
// larger one's last word, i.e. round the difference up to that grid.
Big expected(int32_t R, const Big& a, const Big& b, int32_t s) {
  Exact x = exact(a, R), y = exact(b, R);
  y.m *= s;
  if (sgn(x.m) * sgn(y.m) >= 0) return truncated(a.n, R, sum(x, y, R));
  if (sgn(sum({abs(x.m), x.e}, {-abs(y.m), y.e}, R).m) < 0) std::swap(x, y);
  return truncated(a.n, R, {sgn(x.m) * (abs(x.m) - abs(y.m) / power(R, x.e - y.e)), x.e});
}

TEST(BigAdd, RandomOperandsMatchExactArithmetic) {
  std::mt19937_64 g(20240611);
  for (int32_t R : kRadices) {
    for (int iter = 0; iter < 4000 && !HasFailure(); ++iter) {
      const int32_t n = random_n(g), ea = static_cast<int32_t>(g() % 11) - 5;
      const int64_t diffs[] = {0, 1, n - 1, n, n + 1, static_cast<int64_t>(g() % (n + 4))};
      const int32_t d = static_cast<int32_t>(diffs[g() % 6]) * (g() % 2 ? 1 : -1);
      Big a = random_big(g, n, R, ea), b = random_big(g, n, R, ea + d);
      switch (a->sign == 0 || b->sign == 0 ? 0 : g() % 4) {
        case 1:  // equal magnitudes: a + a, a - a, a + (-a)
          b = a;
          break;
        case 2: {  // nearly equal: long borrows and deep cancellation
          b = a;
          const int32_t i = static_cast<int32_t>(g() % n);
          b[i] = static_cast<uint16_t>(b[i] + 1 < R ? b[i] + 1 : b[i] - 1);
          if (b[0] == 0) b = a;
          break;
        }
        case 3:  // complementary words: the last word's carry runs through every word
          b->exponent = a->exponent;
          for (int32_t i = 1; i < n; ++i) b[i] = static_cast<uint16_t>(R - 1 - a[i]);
          if (n > 1 && a[n - 1] > 0) b[n - 1] = static_cast<uint16_t>(R - a[n - 1]);
          break;
      }
      if (g() % 2) b->sign = -b->sign;
      expect_all_aliasings(R, a, b, expected(R, a, b, 1), "add",
                           [&](const BigFloat* x, const BigFloat* y, BigFloat* o) { big_add(n, R, x, y, o); });
      expect_all_aliasings(R, a, b, expected(R, a, b, -1), "sub",
                           [&](const BigFloat* x, const BigFloat* y, BigFloat* o) { big_sub(n, R, x, y, o); });
    }
  }
}

TEST(BigAdd, EdgeCasesAndExtremeExponents) {
  const int32_t lo = INT32_MIN, hi = INT32_MAX;
  struct Case { decltype(&big_add) op; int32_t R; Big a, b, want; };
  const Case cases[] = {
      {big_add, 10000, Big(1, 1, 0, {9999}), Big(1, 1, 0, {1}), Big(1, 1, 1, {1})},
      {big_add, 10000, Big(3, 1, 0, {9999}), Big(3, 1, 0, {1}), Big(3, 1, 1, {1, 0, 0})},
      {big_sub, 10, Big(2), Big(2, 1, -3, {4, 2}), Big(2, -1, -3, {4, 2})},
      {big_add, 10, Big(2, 1, hi, {9, 9}), Big(2, 1, lo, {9, 9}), Big(2, 1, hi, {9, 9})},  // shift 2^32 - 1
      {big_sub, 10, Big(2, 1, lo, {9, 9}), Big(2, 1, hi, {9, 9}), Big(2, -1, hi, {9, 9})},
      {big_add, 10, Big(2, 1, hi, {9, 9}), Big(2, 1, hi, {1}), Big(2, 1, hi, {1, 0})},     // exponent clamped
      {big_sub, 10, Big(2, 1, lo, {1, 5}), Big(2, 1, lo, {1, 4}), Big(2, 1, lo, {1, 0})},  // exponent clamped
  };
  for (const Case& c : cases) {
    Big out = garbage(c.a.n);
    c.op(c.a.n, c.R, c.a.get(), c.b.get(), out.get());
    EXPECT_TRUE(matches(out, c.want, c.R)) << "a " << show(c.a) << "\n b " << show(c.b);
  }
}

}  // namespace
}  // namespace bigtest
