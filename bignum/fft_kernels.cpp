// Frequency-domain product kernels over transform arrays.
//
// The forward transform of a transform array is the half-length complex
// spectrum Z of z_j = x_{2j} + i x_{2j+1}. With wr = 0.5 - 0.5 sin(theta),
// wi = 0.5 cos(theta), theta = 2 pi k/L, the split step turns the pair
// (Z_k, Z_{L/2-k}) into the spectrum of the real sequence x at those values;
// products are taken there, and the unsplit step turns the product back into
// a half-length complex spectrum for the inverse transform. One fused pass
// walks the pairs from the middle (k = L/4 - 1) down to k = 1.
//
// Twiddles follow the second-order recurrence
//   wr(k-1) = wr(k+1) + delta wi(k),  wi(k-1) = wi(k+1) + delta (0.5 - wr(k)),
// delta = 2 sin(2 pi/L), restarted from sin/cos at the top of every block of
// 128 values of k, so the recurrence never runs more than 128 steps.
#include <cmath>
#include <cstddef>

#include "bignum/big_transform.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr int32_t kTwiddleBlock = 128;

struct cpx {
  double re, im;
};

inline cpx load(const double* X, std::size_t k) { return {X[1 + 2 * k], X[2 + 2 * k]}; }
inline void store(double* X, std::size_t k, cpx v) {
  X[1 + 2 * k] = v.re;
  X[2 + 2 * k] = v.im;
}
inline cpx mul(cpx a, cpx b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }
inline cpx sqr(cpx a) { return {(a.re - a.im) * (a.re + a.im), 2.0 * a.re * a.im}; }
inline cpx add(cpx a, cpx b) { return {a.re + b.re, a.im + b.im}; }

// Split of the pair (a at k, b at L/2-k), in place.
inline void split(cpx& a, cpx& b, double wr, double wi) {
  const double xr = a.re - b.re, xi = a.im + b.im;
  const double yr = wr * xr - wi * xi, yi = wr * xi + wi * xr;
  a = {a.re - yr, a.im - yi};
  b = {b.re + yr, b.im - yi};
}

// Unsplit of a product pair (u at k, v at L/2-k), in place.
inline void unsplit(cpx& u, cpx& v, double wr, double wi) {
  const double dr = u.re - v.re, di = u.im + v.im;
  const double sr = dr * wr + di * wi, si = di * wr - dr * wi;
  u = {u.re - sr, u.im - si};
  v = {v.re + sr, v.im - si};
}

// Calls pair(k, wr, wi) for k = L/4-1 down to 1 (L >= 8).
template <class Pair>
inline void walk_pairs(int32_t L, Pair pair) {
  const double sl = std::sin(kTwoPi / 2.0 / L), cl = std::cos(kTwoPi / 2.0 / L);
  const double delta = 4.0 * sl * cl;
  const double c2 = 1.0 - 2.0 * sl * sl, s2 = 2.0 * sl * cl;
  const int32_t top = L / 4 - 1;
  // (wr, wi) at k+1 and at k.
  double wr1 = 0.0, wi1 = 0.0, wr0 = sl * sl, wi0 = sl * cl;
  for (int32_t kt = top; kt >= 1; kt -= kTwiddleBlock) {
    if (kt != top) {
      const double phi = kTwoPi * (kt + 1) / L;
      const double sp = std::sin(phi), cp = std::cos(phi);
      wr1 = 0.5 - 0.5 * sp;
      wi1 = 0.5 * cp;
      wr0 = 0.5 - 0.5 * (sp * c2 - cp * s2);
      wi0 = 0.5 * (cp * c2 + sp * s2);
    }
    const int32_t kend = kt - kTwiddleBlock + 1 > 1 ? kt - kTwiddleBlock + 1 : 1;
    for (int32_t k = kt; k >= kend; --k) {
      pair(static_cast<std::size_t>(k), wr0, wi0);
      const double wr = wr1 + delta * wi0, wi = wi1 + delta * (0.5 - wr0);
      wr1 = wr0;
      wi1 = wi0;
      wr0 = wr;
      wi0 = wi;
    }
  }
}

// The fused pass shared by all kernels.
//   XSplit: x is already in split form; KeepX: write x's split values back;
//   Square: the second operand is x itself; YSplit: y is in split form;
//   Acc: add the product to z's split-form product; Unsplit: unsplit result.
// The result goes to `out` (y, z or x).
template <bool XSplit, bool KeepX, bool Square, bool YSplit, bool Acc, bool Unsplit>
inline void fused(int32_t L, double* x, const double* y, const double* z, double* out) {
  const std::size_t half = static_cast<std::size_t>(L) / 2;
  const std::size_t mid = half / 2;
  {
    const cpx xm = load(x, mid);
    cpx p = Square ? sqr(xm) : mul(xm, load(y, mid));
    if (Acc) p = add(p, load(z, mid));
    store(out, mid, p);
  }
  if (L < 8) return;
  walk_pairs(L, [&](std::size_t k, double wr, double wi) {
    cpx xa = load(x, k), xb = load(x, half - k);
    if (!XSplit) split(xa, xb, wr, wi);
    if (KeepX) {
      store(x, k, xa);
      store(x, half - k, xb);
    }
    cpx pa, pb;
    if (Square) {
      pa = sqr(xa);
      pb = sqr(xb);
    } else {
      cpx ya = load(y, k), yb = load(y, half - k);
      if (!YSplit) split(ya, yb, wr, wi);
      pa = mul(xa, ya);
      pb = mul(xb, yb);
    }
    if (Acc) {
      pa = add(pa, load(z, k));
      pb = add(pb, load(z, half - k));
    }
    if (Unsplit) unsplit(pa, pb, wr, wi);
    store(out, k, pa);
    store(out, half - k, pb);
  });
}

}  // namespace

// x raw: split in place and kept; y raw; x*y unsplit into y. L >= 4.
void fft_mul_kernel(int32_t L, double* x, double* y) {
  fused<false, true, false, false, false, true>(L, x, y, nullptr, y);
}

// x in split form (unchanged); y raw; x*y unsplit into y. L >= 4.
void fft_mul_stored_kernel(int32_t L, const double* x, double* y) {
  fused<true, false, false, false, false, true>(L, const_cast<double*>(x), y, nullptr, y);
}

// x raw: split in place and kept; y in split form; x*y unsplit into y. L >= 4.
void fft_mul_into_stored_kernel(int32_t L, double* x, double* y) {
  fused<false, true, false, true, false, true>(L, x, y, nullptr, y);
}

// x raw: split in place and kept; y raw; x*y left in split form in y. L >= 4.
void fft_mul_partial_kernel(int32_t L, double* x, double* y) {
  fused<false, true, false, false, false, false>(L, x, y, nullptr, y);
}

// x in split form; y raw (split only on the fly, y unchanged); z holds a
// split-form product: z + x*y, unsplit, into z. L >= 4.
void fft_mul_accumulate_kernel(int32_t L, const double* x, double* y, double* z) {
  fused<true, false, false, false, true, true>(L, const_cast<double*>(x), y, z, z);
}

// x raw; x^2 unsplit into x. L >= 4.
void fft_sqr_kernel(int32_t L, double* x) {
  fused<false, false, true, false, false, true>(L, x, nullptr, nullptr, x);
}

// x raw: split in place and kept; x^2 unsplit into y (output only). L >= 4.
void fft_sqr_keep_kernel(int32_t L, double* x, double* y) {
  fused<false, true, true, false, false, true>(L, x, nullptr, nullptr, y);
}

// x in split form; x^2 unsplit into x. L >= 4.
void fft_sqr_stored_kernel(int32_t L, double* x) {
  fused<true, false, true, false, false, true>(L, x, nullptr, nullptr, x);
}
