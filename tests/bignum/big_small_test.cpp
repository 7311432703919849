// big_mul_small, big_div_small and big_half against exact GMP arithmetic.
#include "tests/bignum/bignum_test_support.h"

namespace bigtest {
namespace {

// a * k truncated to n words; a carry that alone needs more than n words is
// instead rounded to n words one word at a time (half up at each step).
Big expected_mul(int32_t R, const Big& a, int32_t k) {
  const Exact x = exact(a, R);
  const mpz_class p = x.m * k, top = power(R, a.n);
  mpz_class carry = abs(p) / top;
  if (carry < top) return truncated(a.n, R, {p, x.e});
  int64_t steps = 0;
  for (; carry >= top; ++steps) carry = (carry + R / 2) / R;
  return truncated(a.n, R, {sgn(p) * carry, x.e + a.n + steps});
}

// a / k truncated toward zero to n words (enough extra words that the
// integer quotient keeps n significant words).
Big expected_div(int32_t R, const Big& a, int32_t k) {
  const Exact x = exact(a, R);
  return truncated(a.n, R, {x.m * power(R, a.n + 12) / k, x.e - a.n - 12});
}

TEST(BigSmall, RandomOperandsMatchExactArithmetic) {
  std::mt19937_64 g(31337);
  for (int32_t R : kRadices) {
    for (int iter = 0; iter < 4000 && !HasFailure(); ++iter) {
      const int32_t n = random_n(g);
      const Big a = random_big(g, n, R, static_cast<int32_t>(g() % 11) - 5);
      const int32_t ks[] = {1, 2, 3, 7, R - 1, R, R + 1, static_cast<int32_t>(1 + g() % 1000),
                            static_cast<int32_t>(1 + g() % INT32_MAX), INT32_MAX};
      int32_t k = ks[g() % 10] * (g() % 2 ? 1 : -1);
      if (g() % 40 == 0) k = g() % 2 ? INT32_MIN : 0;
      const std::string what = " by " + std::to_string(k);
      expect_all_aliasings(R, a, a, k == 0 ? Big(n) : expected_mul(R, a, k), "mul" + what,
                           [&](const BigFloat* x, const BigFloat*, BigFloat* o) { big_mul_small(n, R, x, k, o); });
      expect_all_aliasings(R, a, a, expected_div(R, a, 2), "half",
                           [&](const BigFloat* x, const BigFloat*, BigFloat* o) { big_half(n, R, x, o); });
      if (k != 0) {
        expect_all_aliasings(R, a, a, expected_div(R, a, k), "div" + what, [&](const BigFloat* x, const BigFloat*, BigFloat* o) {
          EXPECT_EQ(0, big_div_small(n, R, x, k, o));
        });
      } else {
        Big out = garbage(n), in_place = a;
        EXPECT_EQ(-1, big_div_small(n, R, a.get(), 0, out.get()));
        EXPECT_EQ(-1, big_div_small(n, R, in_place.get(), 0, in_place.get()));
        EXPECT_TRUE(out == garbage(n) && in_place == a) << "division by 0 wrote into its output";
      }
    }
  }
}

TEST(BigSmall, EdgeCasesAndExtremeExponents) {
  const int32_t lo = INT32_MIN, hi = INT32_MAX;
  struct Case { char op; int32_t R; Big a; int32_t k; Big want; };
  const Case cases[] = {
      {'*', 10000, Big(2, 1, 0, {9999}), 8, Big(2, 1, 1, {7, 9992})},
      {'*', 10000, Big(2, 1, 0, {9999}), 0, Big(2)},
      {'*', 10000, Big(3, 1, 0, {1}), INT32_MIN, Big(3, -1, 2, {21, 4748, 3648})},
      {'*', 10, Big(1, 1, 0, {5}), 199990, Big(1, 1, 6, {1})},  // carry 99995 rounds up to 10^5
      {'*', 10, Big(1, -1, 0, {5}), -199990, Big(1, 1, 6, {1})},
      {'*', 10, Big(2, 1, hi, {5}), 2, Big(2, 1, hi, {1, 0})},  // exponent clamped
      {'/', 10, Big(4, 1, 0, {1}), 3, Big(4, 1, -1, {3, 3, 3, 3})},
      {'/', 10, Big(4, 1, 0, {1}), -3, Big(4, -1, -1, {3, 3, 3, 3})},
      {'/', 10000, Big(2, 1, 0, {1}), INT32_MIN, Big(2, -1, -3, {465, 6612})},
      {'/', 10, Big(2, 1, lo, {1}), 7, Big(2, 1, lo, {1, 4})},  // exponent clamped
      {'h', 10000, Big(3, 1, 0, {1}), 2, Big(3, 1, -1, {5000, 0, 0})},
      {'h', 10, Big(2, -1, lo, {1, 1}), 2, Big(2, -1, lo, {5, 5})},  // exponent clamped
  };
  for (const Case& c : cases) {
    Big out = garbage(c.a.n);
    switch (c.op) {
      case '*': big_mul_small(c.a.n, c.R, c.a.get(), c.k, out.get()); break;
      case '/': EXPECT_EQ(0, big_div_small(c.a.n, c.R, c.a.get(), c.k, out.get())); break;
      default: big_half(c.a.n, c.R, c.a.get(), out.get());
    }
    EXPECT_TRUE(matches(out, c.want, c.R)) << c.op << " " << c.k << "\n a " << show(c.a);
  }
}

}  // namespace
}  // namespace bigtest
