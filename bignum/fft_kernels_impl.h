// The fused frequency-domain pass behind every product kernel, shared by its
// portable form (fft_kernels.cpp) and its vector form (fft_kernels_vec.cpp).
// Internal header of bignum/; the tests use it to check the vector form
// against the portable one.
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
// 128 values of k, so the recurrence never runs more than 128 steps. Both
// forms take exactly the same twiddle values.
#ifndef MORLANT_BIGNUM_FFT_KERNELS_IMPL_H
#define MORLANT_BIGNUM_FFT_KERNELS_IMPL_H

#include <cmath>
#include <cstddef>
#include <cstdint>

// The eight kernels of big_transform.h; the pass reads x, y, z and writes
// the product to `out`, which is y, z or x as the kernel says.
enum class FusedKernel { mul, mul_stored, mul_into_stored, mul_partial, mul_accumulate, sqr, sqr_keep, sqr_stored };

// L >= 4 doubles; the arrays as the kernel of that kind takes them (unused
// ones may be null).
void fft_fused_portable(FusedKernel kind, int32_t L, double* x, double* y, double* z);
// The same with the vector type of fft/fft_vec.h; call only when
// fft_simd_available() (fft/fft_simd.h).
void fft_fused_vec(FusedKernel kind, int32_t L, double* x, double* y, double* z);

namespace fftkern {
// Internal linkage: the vector form is compiled with other instruction-set
// flags, and its copies must never be the ones the portable code links to.
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

// The value k = L/4, its own mirror: the product alone.
template <bool Square, bool Acc>
inline void middle_value(int32_t L, const double* x, const double* y, const double* z, double* out) {
  const std::size_t mid = static_cast<std::size_t>(L) / 4;
  const cpx xm = load(x, mid);
  cpx p = Square ? sqr(xm) : mul(xm, load(y, mid));
  if (Acc) p = add(p, load(z, mid));
  store(out, mid, p);
}

// Calls one(k, wr, wi) for k = L/4-1 down to 1 (L >= 8), or, when Pairs,
// two(k, wr(k), wi(k), wr(k-1), wi(k-1)) for k = L/4-1, L/4-3, ..., 3 and
// one(1, ...) last.
template <bool Pairs, class One, class Two>
inline void walk_pairs(int32_t L, One one, Two two) {
  const double sl = std::sin(kTwoPi / 2.0 / L), cl = std::cos(kTwoPi / 2.0 / L);
  const double delta = 4.0 * sl * cl;
  const double c2 = 1.0 - 2.0 * sl * sl, s2 = 2.0 * sl * cl;
  const int32_t top = L / 4 - 1;
  // (wr, wi) at k+1 and at k.
  double wr1 = 0.0, wi1 = 0.0, wr0 = sl * sl, wi0 = sl * cl;
  auto next = [&] {
    const double wr = wr1 + delta * wi0, wi = wi1 + delta * (0.5 - wr0);
    wr1 = wr0;
    wi1 = wi0;
    wr0 = wr;
    wi0 = wi;
  };
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
    int32_t k = kt;
    if (Pairs) {
      // Blocks start at odd k (top is odd, blocks are even in length), so
      // every block but the last is whole pairs and the last ends with k = 1.
      for (; k > kend; k -= 2) {
        const double wra = wr0, wia = wi0;
        next();
        const double wrb = wr0, wib = wi0;
        next();
        two(static_cast<std::size_t>(k), wra, wia, wrb, wib);
      }
    }
    for (; k >= kend; --k) {
      one(static_cast<std::size_t>(k), wr0, wi0);
      next();
    }
  }
}

// The pass on one pair (k, L/2-k), scalar.
//   XSplit: x is already in split form; KeepX: write x's split values back;
//   Square: the second operand is x itself; YSplit: y is in split form;
//   Acc: add the product to z's split-form product; Unsplit: unsplit result.
template <bool XSplit, bool KeepX, bool Square, bool YSplit, bool Acc, bool Unsplit>
inline void fused_one(std::size_t half, std::size_t k, double wr, double wi, double* x, const double* y,
                      const double* z, double* out) {
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
}

// The whole pass: the middle value, then every pair (k, L/2-k) by the scalar
// fused_one, or, when Pairs, two pairs at a time by two(k, wr(k), wi(k),
// wr(k-1), wi(k-1)) and k = 1 alone by fused_one (see walk_pairs).
template <bool XSplit, bool KeepX, bool Square, bool YSplit, bool Acc, bool Unsplit, bool Pairs, class Two>
inline void fused_pass(int32_t L, double* x, const double* y, const double* z, double* out, Two two) {
  middle_value<Square, Acc>(L, x, y, z, out);
  if (L < 8) return;
  const std::size_t half = static_cast<std::size_t>(L) / 2;
  walk_pairs<Pairs>(
      L,
      [&](std::size_t k, double wr, double wi) {
        fused_one<XSplit, KeepX, Square, YSplit, Acc, Unsplit>(half, k, wr, wi, x, y, z, out);
      },
      two);
}

// Calls F::template run<XSplit, KeepX, Square, YSplit, Acc, Unsplit>(L, x, y,
// z, out) with the flags and the output of the kernel `kind`.
template <class F>
inline void dispatch(FusedKernel kind, int32_t L, double* x, double* y, double* z) {
  switch (kind) {
    case FusedKernel::mul: return F::template run<false, true, false, false, false, true>(L, x, y, z, y);
    case FusedKernel::mul_stored: return F::template run<true, false, false, false, false, true>(L, x, y, z, y);
    case FusedKernel::mul_into_stored: return F::template run<false, true, false, true, false, true>(L, x, y, z, y);
    case FusedKernel::mul_partial: return F::template run<false, true, false, false, false, false>(L, x, y, z, y);
    case FusedKernel::mul_accumulate: return F::template run<true, false, false, false, true, true>(L, x, y, z, z);
    case FusedKernel::sqr: return F::template run<false, false, true, false, false, true>(L, x, y, z, x);
    case FusedKernel::sqr_keep: return F::template run<false, true, true, false, false, true>(L, x, y, z, y);
    case FusedKernel::sqr_stored: return F::template run<true, false, true, false, false, true>(L, x, y, z, x);
  }
}

}  // namespace
}  // namespace fftkern

#endif  // MORLANT_BIGNUM_FFT_KERNELS_IMPL_H
