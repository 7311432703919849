// big_parse against values built digit by digit, and on hostile texts.
#include "tests/bignum/bignum_test_support.h"

namespace bigtest {
namespace {

::testing::AssertionResult parses_to(int32_t k, const std::string& text, const Big& want) {
  Big out = garbage(want.n);
  big_parse(want.n, k, text.c_str(), out.get());
  return matches(out, want, kRadices[k - 1]) << "\n text \"" << text.substr(0, 60) << "\", k " << k;
}

TEST(BigParse, RandomTextsMatchTheirDigits) {
  std::mt19937_64 g(4242);
  const auto digits = [&g](uint64_t len, bool nonzero_first) {
    std::string s;
    for (uint64_t i = 0; i < len; ++i) s += static_cast<char>('0' + (i == 0 && nonzero_first ? 1 + g() % 9 : g() % 10));
    return s;
  };
  const auto spaced = [&g](std::string s) {  // spaces between digits are skipped
    for (size_t i = s.size(); i > 0; --i) s.insert(i, g() % 10 ? "" : " ");
    return s;
  };
  for (int iter = 0; iter < 8000 && !HasFailure(); ++iter) {
    const int32_t n = 1 + static_cast<int32_t>(g() % 20), k = 1 + static_cast<int32_t>(g() % 4);
    const int sign = g() % 3 ? 1 : -1;
    const bool point = g() % 4 != 0, has_exp = g() % 4 != 0;
    const std::string whole = std::string(g() % 3, '0') + digits(g() % 25, true);
    const std::string frac = point ? std::string(g() % 8, '0') + digits(g() % 25, false) : "";
    const int64_t x = has_exp ? static_cast<int64_t>(g() % 81) - 40 : 0;
    std::string text = std::string(g() % 3, ' ') + (sign < 0 ? "-" : g() % 2 ? "+" : "") + spaced(whole);
    if (point) text += "." + spaced(frac);
    if (has_exp) {
      text += std::string(1, "DEde"[g() % 4]) + (g() % 4 ? "" : " ") + (x < 0 ? "-" : g() % 2 ? "+" : "") +
              std::string(g() % 3, '0') + std::to_string(x < 0 ? -x : x);
    }
    // value = sign * (whole frac) * 10^q, regrouped as m * R^e with e = floor(q / k)
    const int64_t q = x - static_cast<int64_t>(frac.size()), e = (q >= 0 ? q : q - (k - 1)) / k;
    const mpz_class m = sign * mpz_class("0" + whole + frac, 10) * power(10, q - e * k);
    ASSERT_TRUE(parses_to(k, text, truncated(n, kRadices[k - 1], {m, e})));
  }
}

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

}  // namespace
}  // namespace bigtest
