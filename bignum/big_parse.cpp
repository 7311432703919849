// Reading a BigFloat from decimal text.
#include "bignum/bigfloat.h"

#include <cstring>

static bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The decimal integer at s, read the way "%d" reads one: leading white space,
// an optional sign, then digits; no digit gives 0. Values beyond the 32-bit
// range saturate at INT32_MIN / INT32_MAX however many digits follow.
static int64_t read_decimal_exponent(const char* s) {
  while (*s == ' ' || (*s >= '\t' && *s <= '\r')) ++s;
  const bool negative = *s == '-';
  if (*s == '+' || *s == '-') ++s;
  int64_t v = 0;  // stays below 2^35: growth stops once past INT32_MAX
  for (; is_digit(*s); ++s) {
    if (v <= INT32_MAX) v = v * 10 + (*s - '0');
  }
  if (negative) return v > -int64_t{INT32_MIN} ? INT32_MIN : -v;
  return v > INT32_MAX ? INT32_MAX : v;
}

// n >= 1 words, 1 <= k <= 4 digits per word; text is NUL-terminated.
//
// Grammar, as far as it is checked: spaces, an optional sign, then digits
// with an optional point, then anything; the exponent is read after the
// first of D, E, d, e anywhere past the leading zeros. Spaces between digits
// are skipped. The power of ten p of the leading significant digit is
// counted in 64 bits, so neither a huge exponent nor millions of digits or
// zeros can overflow; only the word exponent floor(p / k) is clamped.
void big_parse(int32_t n, int32_t k, const char* text, BigFloat* out) {
  static const uint16_t kPow10[5] = {1, 10, 100, 1000, 10000};
  const char* s = text;
  while (*s == ' ') ++s;
  int32_t sign = 1;
  if (*s == '+') {
    ++s;
  } else if (*s == '-') {
    sign = -1;
    ++s;
  }
  while (*s == '0' || *s == ' ') ++s;

  const char* letter = std::strpbrk(s, "DEde");
  const int64_t x = letter ? read_decimal_exponent(letter + 1) : 0;

  int64_t p = x;
  if (*s == '.') {
    // A fraction: each zero after the point lowers the leading power.
    --p;
    for (++s; *s == '0' || *s == ' '; ++s) p -= *s == '0';
  } else if (*s != '\0') {
    // s is the leading digit: the digits after it up to the point raise p.
    for (const char* q = s + 1; is_digit(*q) || *q == ' '; ++q) p += *q != ' ';
  }

  int64_t exponent = p / k;
  int64_t lead = p % k;  // floor modulo: the first word takes lead + 1 digits
  if (lead < 0) {
    lead += k;
    --exponent;
  }

  uint16_t* o = out->digits;
  int32_t w = 0;
  uint32_t acc = 0;
  int64_t missing = lead + 1;  // digits still missing from word w
  for (; w < n; ++s) {
    if (is_digit(*s)) {
      acc = acc * 10 + static_cast<uint32_t>(*s - '0');
      if (--missing == 0) {
        o[w++] = static_cast<uint16_t>(acc);
        acc = 0;
        missing = k;
      }
    } else if (*s != '.' && *s != ' ') {
      break;
    }
  }
  if (w < n) o[w++] = static_cast<uint16_t>(acc * kPow10[missing]);
  for (; w < n; ++w) o[w] = 0;

  if (o[0] == 0) {
    // No significant digit. Malformed text such as "0..05" can leave later
    // words non-zero; the zero must have all its words 0.
    std::memset(o, 0, sizeof(uint16_t) * static_cast<std::size_t>(n));
    out->sign = 0;
    out->exponent = 0;
    return;
  }
  out->sign = sign;
  out->exponent = exponent < INT32_MIN ? INT32_MIN
                  : exponent > INT32_MAX ? INT32_MAX
                                         : static_cast<int32_t>(exponent);
}
