// The linear operations against exact GMP arithmetic: big_parse, big_add and
// big_sub (and through them big_add_aligned), big_mul_small, big_div_small
// and big_half; every output aliasing, extreme exponents.
#include "tests/bignum/bignum_test_support.h"

namespace bigtest {
namespace {

::testing::AssertionResult parses_to(int32_t k, const std::string& text, const Big& want) {
  Big out = garbage(want.n);
  big_parse(want.n, k, text.c_str(), out.get());
  return matches(out, want, kRadices[k - 1]) << "\n text \"" << text.substr(0, 60) << "\", k " << k;
}

// Exact documented results: digits grouped into words by k, signs, blanks
// between digits, exponent letters, saturated and clamped exponents, long
// texts, and texts without a significant digit (zero). The fuzz target checks
// arbitrary texts against GMP.
TEST(BigParse, ExamplesAndHostileTexts) {
  std::string run;
  while (run.size() < 1000000) run += "1234567890";
  const std::string tiny = "0." + std::string(50000, '0') + "1";
  const struct { int32_t k; std::string text; Big want; } cases[] = {
      {4, "1", Big(3, 1, 0, {1})},
      {4, "0.625", Big(3, 1, -1, {6250})},
      {1, "0.625", Big(4, 1, -1, {6, 2, 5})},
      {4, "-0.0625", Big(3, -1, -1, {625})},
      {1, "1.5e3", Big(3, 1, 3, {1, 5})},
      {2, "  - 0 0 1 2.5 0 E -02", Big(2, -1, -1, {12, 50})},
      {3, "1e", Big(2, 1, 0, {1})},
      {3, "1e+", Big(2, 1, 0, {1})},
      {3, "7d- 3", Big(2, 1, 0, {7})},
      {3, "1 x 5", Big(2, 1, 0, {1})},
      {1, "1e4294967297", Big(2, 1, INT32_MAX, {1})},                     // 2^32 + 1 saturates
      {4, "1e18446744073709551617", Big(2, 1, INT32_MAX / 4, {1000})},  // 2^64 + 1 saturates
      {2, "1e99999999999999999999", Big(2, 1, INT32_MAX / 2, {10})},
      {1, "1e-99999999999999999999", Big(2, 1, INT32_MIN, {1})},
      {3, "1e-99999999999999999999", Big(2, 1, -715827883, {10})},
      {3, tiny, Big(2, 1, -16667, {1})},
      {1, tiny + "e-2147483648", Big(2, 1, INT32_MIN, {1})},  // word exponent clamped
      {4, run, Big(3, 1, 249999, {1234, 5678, 9012})},
      {1, run + "e2147483647", Big(3, 1, INT32_MAX, {1, 2, 3})},
      {1, "0..05", Big(3)},  // no significant digit where one is expected: zero, all words 0
  };
  for (const auto& c : cases) EXPECT_TRUE(parses_to(c.k, c.text, c.want));
  for (const char* text : {"", "   ", "+", "-", "+-", "-+1", "e", "e5", ".", "-.", "000", "-0.000e9", "0 0 .0 0"}) {
    for (int32_t k = 1; k <= 4; ++k) EXPECT_TRUE(parses_to(k, text, Big(3)));
  }
}

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

// Exact results at the edges: carries out of the top word, a zero operand,
// the largest exponent shift (2^32 - 1), exponents clamped at the int32
// limits, INT32_MIN as factor and divisor, a carry alone longer than n words.
TEST(BigLinear, EdgeCasesAndExtremeExponents) {
  const int32_t lo = INT32_MIN, hi = INT32_MAX;
  struct Case { char op; int32_t R; Big a, want, b = Big(1); int32_t k = 0; };
  const Case cases[] = {
      {'+', 10000, Big(1, 1, 0, {9999}), Big(1, 1, 1, {1}), Big(1, 1, 0, {1})},
      {'+', 10000, Big(3, 1, 0, {9999}), Big(3, 1, 1, {1, 0, 0}), Big(3, 1, 0, {1})},
      {'-', 10, Big(2), Big(2, -1, -3, {4, 2}), Big(2, 1, -3, {4, 2})},
      {'+', 10, Big(2, 1, hi, {9, 9}), Big(2, 1, hi, {9, 9}), Big(2, 1, lo, {9, 9})},  // shift 2^32 - 1
      {'-', 10, Big(2, 1, lo, {9, 9}), Big(2, -1, hi, {9, 9}), Big(2, 1, hi, {9, 9})},
      {'+', 10, Big(2, 1, hi, {9, 9}), Big(2, 1, hi, {1, 0}), Big(2, 1, hi, {1})},     // exponent clamped
      {'-', 10, Big(2, 1, lo, {1, 5}), Big(2, 1, lo, {1, 0}), Big(2, 1, lo, {1, 4})},  // exponent clamped
      {'*', 10000, Big(2, 1, 0, {9999}), Big(2, 1, 1, {7, 9992}), Big(1), 8},
      {'*', 10000, Big(2, 1, 0, {9999}), Big(2), Big(1), 0},
      {'*', 10000, Big(3, 1, 0, {1}), Big(3, -1, 2, {21, 4748, 3648}), Big(1), INT32_MIN},
      {'*', 10, Big(1, 1, 0, {5}), Big(1, 1, 6, {1}), Big(1), 199990},  // carry 99995 rounds up to 10^5
      {'*', 10, Big(1, -1, 0, {5}), Big(1, 1, 6, {1}), Big(1), -199990},
      {'*', 10, Big(2, 1, hi, {5}), Big(2, 1, hi, {1, 0}), Big(1), 2},  // exponent clamped
      {'/', 10, Big(4, 1, 0, {1}), Big(4, 1, -1, {3, 3, 3, 3}), Big(1), 3},
      {'/', 10, Big(4, 1, 0, {1}), Big(4, -1, -1, {3, 3, 3, 3}), Big(1), -3},
      {'/', 10000, Big(2, 1, 0, {1}), Big(2, -1, -3, {465, 6612}), Big(1), INT32_MIN},
      {'/', 10, Big(2, 1, lo, {1}), Big(2, 1, lo, {1, 4}), Big(1), 7},  // exponent clamped
      {'h', 10000, Big(3, 1, 0, {1}), Big(3, 1, -1, {5000, 0, 0})},
      {'h', 10, Big(2, -1, lo, {1, 1}), Big(2, -1, lo, {5, 5})},  // exponent clamped
  };
  for (const Case& c : cases) {
    const int32_t n = c.a.n;
    Big out = garbage(n);
    switch (c.op) {
      case '+': big_add(n, c.R, c.a.get(), c.b.get(), out.get()); break;
      case '-': big_sub(n, c.R, c.a.get(), c.b.get(), out.get()); break;
      case '*': big_mul_small(n, c.R, c.a.get(), c.k, out.get()); break;
      case '/': EXPECT_EQ(0, big_div_small(n, c.R, c.a.get(), c.k, out.get())); break;
      default: big_half(n, c.R, c.a.get(), out.get());
    }
    EXPECT_TRUE(matches(out, c.want, c.R)) << c.op << " " << c.k << "\n a " << show(c.a) << "\n b " << show(c.b);
  }
}

}  // namespace
}  // namespace bigtest
