// Loading numbers into transform arrays and carrying a convolution back into
// rounded words.
#include <cmath>
#include <cstddef>
#include <cstring>

#include "bignum/big_transform.h"

// big_to_transform(a, s, w, R, L, X): X (L + 2 doubles) <- m = min(L/2 + 1,
// w - s) words of a from index s (m = 0 when s >= w). Words 3 ... m-1 of the
// loaded run are balanced into [-R/2, R/2) with their carry moved up; the
// first two loaded words are not balanced, so X[1] >= 0 and X[2] >= 0, and a
// word of exactly R/2 is stored as -R/2 with a carry of 1. Balancing keeps
// the convolution's coefficients, and so its rounding errors, small.
void big_to_transform(const BigFloat* a, int32_t s, int32_t w, int32_t R, int32_t L, double* X) {
  const int32_t limit = L / 2 + 1;
  const int32_t m = s >= w ? 0 : (w - s < limit ? w - s : limit);
  const uint16_t* d = a->digits + s;
  const int32_t w0 = m > 0 ? d[0] : 0;
  X[L + 1] = static_cast<double>(a->sign) * w0;
  for (int32_t i = m + 1; i <= L; ++i) X[i] = 0.0;
  if (m >= 3) {
    const int32_t half = R / 2;
    int32_t c = 0;
    for (int32_t j = m - 1; j >= 2; --j) {
      const int32_t t = d[j] + c;
      c = t >= half;
      X[1 + j] = t - (c ? R : 0);
    }
    X[2] = d[1] + c;
  } else if (m == 2) {
    X[2] = d[1];
  }
  X[1] = w0;
  X[0] = static_cast<double>(a->exponent) - s;
}

// big_from_transform(w, R, L, X, out): X holds an inverse-transformed
// product: X[1+i] = (L/2) c_i for the convolution coefficients c_0 ... c_{L-1},
// except that c_L has wrapped onto c_0; X[L+1] is the exact leading product,
// X[0] the exponent. Writes w >= 1 words into out (not aliasing X).
//
// Coefficient 0 is the leading product itself, so the wrapped c_L is what
// remains of X[1]. Each scaled coefficient plus the incoming carries is
// rounded to the nearest integer (the 0.5) and cut into three base-R parts:
// the lowest becomes a word, the middle is carried one word up, the highest
// two words up. All parts are exact integers below 2^53; taking the highest
// part minus one keeps every truncation a floor, negative coefficients
// included. Correct as long as every coefficient is within 0.5 of an integer,
// which the radix choice of the computation guarantees.
void big_from_transform(int32_t w, int32_t R, int32_t L, double* X, BigFloat* out) {
  const double s = 2.0 / L;
  const double rinv = 1.0 / R;
  const double rinv2 = rinv * rinv;
  const double dR = R;
  const double v = X[L + 1];
  const double lead = std::fabs(v);
  const int32_t big = lead + 0.5 >= dR ? 1 : 0;  // the leading product needs two words
  const double scale = L / 2.0;
  X[L + 1] = X[1] - scale * lead;
  X[1] = scale * lead;

  uint16_t* digits = out->digits;
  const int32_t top = L + 1 + big;
  int32_t c = w;
  if (w > top) {
    std::memset(digits + top, 0, static_cast<std::size_t>(w - top) * sizeof(uint16_t));
    c = top;
  }

  // Coefficients below the last word only decide its rounding: sum them with
  // weights R^-j while the weight is at least 2^-52.
  double tau = 0.0;
  const int32_t t0 = c + 1 - big;
  if (t0 <= L + 1) {
    double weight = 1.0;
    for (int32_t i = t0; i <= L + 1 && weight >= 2.220446049250313e-16; ++i) {
      tau += X[i] * weight;
      weight *= rinv;
    }
  }
  double u = (tau * s + 0.5) * rinv2;
  double h = std::trunc(u) - 1.0;
  double q = std::trunc((u - h) * dR + 0.5);

  for (int32_t i = c; i >= 2; --i) {
    const double V = X[i - big] * s + (q + 0.5);
    u = V * rinv2;
    const double h2 = std::trunc(u) - 1.0;
    const double t = (u - h2) * dR;
    const double tt = std::trunc(t);
    q = h + tt;
    digits[i - 1] = static_cast<uint16_t>((t - tt) * dR);
    h = h2;
  }

  double V = h * dR + q + 0.5;
  if (!big) V += X[1] * s;
  const double g = std::trunc(V / dR);  // a carry out of the leading word
  digits[0] = static_cast<uint16_t>(V - g * dR);
  int32_t e = big;
  if (g >= 1.0) {
    std::memmove(digits + 1, digits, static_cast<std::size_t>(w - 1) * sizeof(uint16_t));
    digits[0] = static_cast<uint16_t>(g);
    e += 1;
  }
  out->exponent = static_cast<int32_t>(std::floor(X[0] + e + 0.5));
  out->sign = v > 0.5 ? 1 : -1;
  if (digits[0] == 0) {
    out->sign = 0;
    out->exponent = 0;
  }
}
