// Decimal digits of a BigFloat, most significant first.
#include "bignum/big_format.h"

int32_t big_digits_per_word(int32_t R) { return R >= 10000 ? 4 : R >= 1000 ? 3 : R >= 100 ? 2 : 1; }

int64_t big_format_digits(int32_t n, int32_t R, const BigFloat* x, int64_t count, char* out) {
  if (x->sign == 0 || count <= 0) return 0;
  const int32_t k = big_digits_per_word(R);
  int64_t written = 0;
  // Leading word: skip its leading zeros.
  char lead[4];
  int32_t len = 0;
  for (uint32_t v = x->digits[0]; v != 0; v /= 10) lead[len++] = static_cast<char>('0' + v % 10);
  while (len > 0 && written < count) out[written++] = lead[--len];
  for (int32_t i = 1; i < n && written < count; ++i) {
    uint32_t v = x->digits[i];
    char word[4];
    for (int32_t j = k - 1; j >= 0; --j, v /= 10) word[j] = static_cast<char>('0' + v % 10);
    for (int32_t j = 0; j < k && written < count; ++j) out[written++] = word[j];
  }
  return written;
}
