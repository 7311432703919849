// Newton iterations with doubling precision: 1/x, sqrt(x) with 1/sqrt(x),
// and 1/sqrt(k).
#include "bignum/big_newton.h"

#include <cmath>
#include <cstring>

#include "bignum/big_mul.h"

namespace {

constexpr double kEpsilon = 2.220446049250313e-16;  // 2^-52

// Smallest power of two p >= 2 with R^p >= 2^52 (one double's worth of
// words), capped at L: 4 words for R = 10000, 8 for 1000 and 100, 16 for 10.
int32_t start_precision(int32_t R, int32_t L) {
  int32_t p = 1;
  double q = R;
  while (q * kEpsilon < 1.0 && p < L) {
    q *= q;
    p *= 2;
  }
  return p;
}

// Mantissa of x's first w words as a double in [1, R).
double leading_value(const BigFloat* x, int32_t w, int32_t R) {
  double f = 0.0;
  for (int32_t i = w - 1; i >= 0; --i) f = f / R + x->digits[i];
  return f;
}

// Writes a double f >= 1 into w words; a value that rounded up to R gives R-1 words.
void write_value(double f, int32_t w, int32_t R, BigFloat* y) {
  for (int32_t i = 0; i < w; ++i) {
    const double d = std::trunc(f);
    if (d < R) {
      y->digits[i] = static_cast<uint16_t>(d);
      f = (f - d) * R;
    } else {
      y->digits[i] = static_cast<uint16_t>(R - 1);
      f = (R - (R - 1)) * static_cast<double>(R);
    }
  }
}

// Scales f < 1 into [1, R), lowering *exponent once per factor R.
double scale_up(double f, int32_t R, int32_t* exponent) {
  while (f < 1.0) {
    f *= R;
    --*exponent;
  }
  return f;
}

void set_one(BigFloat* y, int32_t w) {
  y->sign = 1;
  y->exponent = 0;
  y->digits[0] = 1;
  std::memset(y->digits + 1, 0, static_cast<std::size_t>(w - 1) * sizeof(uint16_t));
}

int32_t min32(int32_t a, int32_t b) { return a < b ? a : b; }
int32_t max32(int32_t a, int32_t b) { return a > b ? a : b; }

// The products of a step at transform length p, in the caller's P and Q,
// on its team.
ProductScratch at_length(int32_t p, const ProductScratch* scratch) {
  return {p, scratch->P, scratch->Q, nullptr, nullptr, scratch->team};
}

// Word count of a correction in a step of w words at half precision h.
int32_t correction_words(int32_t w, int32_t h) { return max32(w / 2 + 1, w - (h + 1)); }

// The precision schedule shared by the three iterations: step at p, repeat
// at the same p while the step's accuracy estimate r says the approximation
// is not yet good enough to double, until p exceeds L. The stricter test
// w - 2 >= 2r is applied once, at the first pass with 8p >= L.
template <class Step>
void run_schedule(int32_t n, int32_t L, int32_t p, Step step) {
  int32_t f = 8;
  do {
    const int32_t w = min32(p + 2, n);
    const int32_t r = step(w, p);
    bool hold;
    if (static_cast<int64_t>(f) * p < L) {
      hold = 3 * static_cast<int64_t>(r) < w - 2;
    } else {
      hold = w - 2 >= 2 * static_cast<int64_t>(r);
      f = 0;
    }
    if (!hold) p *= 2;
  } while (p <= L);
}

}  // namespace

void big_round_words(BigFloat* y, int32_t h, int32_t w, int32_t R) {
  if (w <= h + 1) return;
  if (h + 2 < w) std::memset(y->digits + h + 2, 0, static_cast<std::size_t>(w - h - 2) * sizeof(uint16_t));
  const int32_t d = y->digits[h + 1];
  y->digits[h + 1] = 0;
  if (2 * d < R) return;
  for (int32_t i = h; i >= 0; --i) {
    if (++y->digits[i] < R) return;
    y->digits[i] = 0;
  }
  y->digits[0] = 1;  // the carry left the top: y was R - 1, R - 1 ... at h + 1 words
  ++y->exponent;
}

void big_sqrt_seed(int32_t w, int32_t R, const BigFloat* x, BigFloat* y, BigFloat* z) {
  double f = leading_value(x, w, R);
  const int32_t e = x->exponent;
  f = (e & 1) ? std::sqrt(f * R) : std::sqrt(f);
  int32_t ye = e >> 1;
  if (f < 1.0) {
    --ye;
    f *= R;
  }
  y->sign = 1;
  y->exponent = ye;
  write_value(f, w, R, y);
  int32_t ze = -ye;
  f = scale_up(1.0 / f, R, &ze);
  z->sign = 1;
  z->exponent = ze;
  write_value(f, w, R, z);
}

// y <- y + y (1 - x y): the residual is formed from x's high half times the
// rounded y and, with y's spectrum reused, x's remaining words.
int32_t big_reciprocal_step(int32_t w, int32_t R, const BigFloat* x, BigFloat* y, BigFloat* tmp1, BigFloat* tmp2,
                            int32_t p, const ProductScratch* scratch) {
  const int32_t h = p / 2;
  const int32_t w3 = correction_words(w, h);
  const ProductScratch at_p = at_length(p, scratch);
  big_round_words(y, h, w, R);
  big_mul_half(w, R, y, x, tmp1, &at_p);
  set_one(tmp2, w);
  big_sub(w, R, tmp2, tmp1, tmp2, scratch->team);
  big_mul_stored(w, R, x, h + 1, tmp1, &at_p);
  big_sub(w3, R, tmp2, tmp1, tmp2, scratch->team);
  const int32_t r = tmp2->sign != 0 ? -tmp2->exponent : p + 1;
  big_mul_stored(w3, R, tmp2, 0, tmp2, &at_p);
  big_add(w, R, y, tmp2, y, scratch->team);
  return r;
}

// z <- z (2 - y z^2) toward 1/y, then y <- y + z (x - y^2)/2 toward sqrt(x).
int32_t big_sqrt_step(int32_t w, int32_t R, const BigFloat* x, BigFloat* y, BigFloat* z, BigFloat* tmp, int32_t p,
                      const ProductScratch* scratch, int32_t* marker) {
  const int32_t h = p / 2;
  const int32_t w3 = correction_words(w, h);
  const int32_t lz = p < 4 ? 2 : p / 2;
  const int32_t hz = lz / 2;
  const ProductScratch at_p = at_length(p, scratch);
  const ProductScratch at_lz = at_length(lz, scratch);

  big_round_words(z, hz, w3, R);
  if (*marker == lz) big_sqr_stored(w3, R, tmp, &at_lz);  // P still holds z at length lz
  else big_sqr(w3, R, z, tmp, &at_lz);

  big_round_words(y, h, w, R);
  big_mul_half(w3, R, y, tmp, tmp, &at_p);
  big_sub(w3, R, z, tmp, tmp, scratch->team);
  big_add(w3, R, z, tmp, z, scratch->team);

  big_sqr_stored(w, R, tmp, &at_p);  // y^2 from y's kept spectrum
  big_sub(w, R, x, tmp, tmp, scratch->team);
  const int32_t res_sign = tmp->sign, res_exp = tmp->exponent, res_lead = tmp->digits[0];

  big_round_words(z, h, w3, R);
  big_mul_half(w3, R, z, tmp, tmp, &at_p);
  *marker = p;
  big_half(w3, R, tmp, tmp);
  big_add(w, R, y, tmp, y, scratch->team);

  if (res_sign == 0) return p + 1;
  return x->exponent - res_exp + (x->digits[0] > res_lead ? 1 : 0);
}

// y <- y + y (1 - k y^2)/2.
int32_t big_rsqrt_small_step(int32_t w, int32_t R, int32_t k, BigFloat* y, BigFloat* tmp1, BigFloat* tmp2,
                             int32_t p, const ProductScratch* scratch) {
  const int32_t h = p / 2;
  const int32_t w3 = correction_words(w, h);
  const ProductScratch at_p = at_length(p, scratch);
  big_round_words(y, h, w, R);
  big_sqr_keep(w, R, y, tmp1, &at_p);
  big_mul_small(w, R, tmp1, k, tmp1, scratch->team);
  set_one(tmp2, w);
  big_sub(w, R, tmp2, tmp1, tmp2, scratch->team);
  const int32_t r = tmp2->sign != 0 ? -tmp2->exponent : p + 1;
  big_mul_stored(w3, R, tmp2, 0, tmp2, &at_p);
  big_half(w3, R, tmp2, tmp2);
  big_add(w, R, y, tmp2, y, scratch->team);
  return r;
}

int32_t big_reciprocal(int32_t n, int32_t R, const BigFloat* x, BigFloat* out, BigFloat* tmp1, BigFloat* tmp2,
                       const ProductScratch* scratch) {
  const int32_t L = scratch->L;
  if (x->sign == 0) return -1;
  const int32_t p0 = start_precision(R, L);
  const int32_t w0 = min32(p0 + 2, n);
  int32_t e = -x->exponent;
  const double f = scale_up(1.0 / leading_value(x, w0, R), R, &e);
  out->sign = x->sign;
  out->exponent = e;
  write_value(f, w0, R, out);
  run_schedule(n, L, p0, [&](int32_t w, int32_t p) { return big_reciprocal_step(w, R, x, out, tmp1, tmp2, p, scratch); });
  return 0;
}

int32_t big_sqrt(int32_t n, int32_t R, const BigFloat* x, BigFloat* out, BigFloat* tmp1, BigFloat* tmp2,
                 const ProductScratch* scratch) {
  const int32_t L = scratch->L;
  if (x->sign < 0) return -1;
  if (x->sign == 0) {
    out->sign = 0;
    out->exponent = 0;
    std::memset(out->digits, 0, static_cast<std::size_t>(n) * sizeof(uint16_t));
    return 0;
  }
  const int32_t p0 = start_precision(R, L);
  big_sqrt_seed(min32(p0 + 2, n), R, x, out, tmp1);
  int32_t marker = 0;
  run_schedule(n, L, p0,
               [&](int32_t w, int32_t p) { return big_sqrt_step(w, R, x, out, tmp1, tmp2, p, scratch, &marker); });
  return 0;
}

int32_t big_rsqrt_small(int32_t n, int32_t R, int32_t k, BigFloat* out, BigFloat* tmp1, BigFloat* tmp2,
                        const ProductScratch* scratch) {
  const int32_t L = scratch->L;
  if (k < 1) return -1;
  const int32_t p0 = start_precision(R, L);
  const int32_t w0 = min32(p0 + 2, n);
  int32_t e = 0;
  const double f = scale_up(std::sqrt(1.0 / k), R, &e);
  out->sign = 1;
  out->exponent = e;
  write_value(f, w0, R, out);
  run_schedule(n, L, p0,
               [&](int32_t w, int32_t p) { return big_rsqrt_small_step(w, R, k, out, tmp1, tmp2, p, scratch); });
  return 0;
}
