// big_parse over any text: the result always keeps the BigFloat invariants;
// for text of the documented grammar, spaces* [+-] digits [. digits]
// [DEde [+-] digits], it is the value truncated to n words (checked with GMP).
#include <gmpxx.h>

#include "bignum/bigfloat.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

struct Text {  // a text of the grammar: value = (-1)^negative * digits * 10^(exponent - fraction)
  bool negative = false;
  std::string digits;
  int64_t fraction = 0, exponent = 0;
};

bool read_grammar(const char* s, Text* t) {
  auto digit = [&] { return *s >= '0' && *s <= '9'; };
  while (*s == ' ') ++s;
  t->negative = *s == '-';
  if (*s == '+' || *s == '-') ++s;
  for (; digit(); ++s) t->digits += *s;
  if (*s == '.')
    for (++s; digit(); ++s, ++t->fraction) t->digits += *s;
  if (*s != '\0' && std::strchr("DEde", *s) != nullptr) {
    const bool negative = *++s == '-';
    if (*s == '+' || *s == '-') ++s;
    for (; digit(); ++s) t->exponent = std::min<int64_t>(t->exponent * 10 + (*s - '0'), int64_t{1} << 40);
    t->exponent = negative ? std::max<int64_t>(-t->exponent, INT32_MIN) : std::min<int64_t>(t->exponent, INT32_MAX);
  }
  return *s == '\0';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int32_t k = 1 + data[0] % 4, n = 1 + data[0] / 4 % 48, R = k == 1 ? 10 : k == 2 ? 100 : k == 3 ? 1000 : 10000;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);  // up to its first NUL
  std::vector<unsigned char> record(big_record_bytes(n), 0x5f);  // exactly n words, all invalid
  BigFloat* out = reinterpret_cast<BigFloat*>(record.data());
  big_parse(n, k, text.c_str(), out);

  mpz_class words = 0;
  for (int32_t i = 0; i < n; ++i) {
    FUZZ_CHECK(out->digits[i] < R);
    words = words * R + out->digits[i];
  }
  if (out->sign == 0)
    FUZZ_CHECK(out->exponent == 0 && words == 0);
  else
    FUZZ_CHECK((out->sign == 1 || out->sign == -1) && out->digits[0] != 0);

  Text t;
  if (!read_grammar(text.c_str(), &t)) return 0;
  const size_t lead = t.digits.find_first_not_of('0');
  if (lead == std::string::npos) {
    FUZZ_CHECK(out->sign == 0);
    return 0;
  }
  FUZZ_CHECK(out->sign == (t.negative ? -1 : 1));
  // The power of ten of the leading digit, its word, clamped.
  const int64_t p = static_cast<int64_t>(t.digits.size() - lead) - 1 - t.fraction + t.exponent;
  const int64_t e = p >= 0 ? p / k : -((-p + k - 1) / k);
  FUZZ_CHECK(out->exponent == std::min<int64_t>(std::max<int64_t>(e, INT32_MIN), INT32_MAX));
  if (t.exponent < -10000 || t.exponent > 10000) return 0;
  // words * 10^(k (e - n + 1)) <= |value| < (words + 1) * 10^(k (e - n + 1))
  auto pow10 = [](int64_t x) { return mpz_class("1" + std::string(static_cast<size_t>(x), '0')); };
  const int64_t unit = k * (e - n + 1), exact = t.exponent - t.fraction, low = std::min(unit, exact);
  const mpz_class value = mpz_class(t.digits.substr(lead)) * pow10(exact - low), step = pow10(unit - low);
  FUZZ_CHECK(words * step <= value && value < (words + 1) * step);
  return 0;
}
