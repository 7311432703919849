// The fused frequency-domain pass behind every product kernel, shared by its
// portable form (fft_kernels.cpp) and its vector form (fft_kernels_vec.cpp).
// Internal header of bignum/; the tests use it to check the vector form
// against the portable one.
//
// The forward transform of a transform array is the half-length complex
// spectrum Z of z_j = x_{2j} + i x_{2j+1}, N = L/2 values, left by the product
// path's transform in bit-reversed order: value k at position rev(k). With
// wr = 0.5 - 0.5 sin(theta), wi = 0.5 cos(theta), theta = 2 pi k/L, the split
// step turns the pair (Z_k, Z_{N-k}) into the spectrum of the real sequence x
// at those values; products are taken there, and the unsplit step turns the
// product back into a half-length complex spectrum for the inverse transform.
//
// Positions in bit-reversed order: 0 holds Z_0 (the caller's), 1 holds the
// middle value Z_{N/2}, its own mirror. Octave m, positions 2^m ... 2^(m+1)-1,
// holds the odd multiples of N/2^(m+1) and is closed under k -> N - k: the
// mirror of position p is 3 2^m - 1 - p. Position 2^m + r has theta =
// pi (2 rev_m(r) + 1) / 2^(m+1); the split of a pair may take either member's
// angle (the other's gives the mirrored step), so each pair takes the angle of
// its member in the octave's first half. There, r = 2t and r = 2t + 1 lie
// side by side with angles theta_t and theta_t + pi/2, theta_t =
// pi (4 rev_b(t) + 1) / 2^(m+1) over b = m - 2 bits: one vector of two
// values, its mirrors another.
//
// Twiddles: the pass walks each octave's t in address order, in blocks of
// B = min(2^b, 64) t: block t0 ... t0 + B - 1 has theta = theta_t0 +
// pi rev_c(u) / (2B) at t = t0 + u (B = 2^c), that is, groups of eight t whose
// angles exceed the group's first by pi rev_3(l) / 16 (l = 0 ... 7), and
// group g's first exceeds the block's by pi rev_3(g) / 128. (cos, sin) of the
// block's first angle comes from cos/sin, each group's first from it by up to
// three products with the constants exp(i pi 4/128), exp(i pi 2/128),
// exp(i pi/128), each t's from that by one product with a compile-time
// constant: at most five roundings from the library's values, no recurrence.
// Octaves with fewer than eight t take cos/sin per t. Both forms take exactly
// the same twiddle values.
#ifndef MORLANT_BIGNUM_FFT_KERNELS_IMPL_H
#define MORLANT_BIGNUM_FFT_KERNELS_IMPL_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "fft/fft_butterfly.h"

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

constexpr double kPi = 3.141592653589793;
constexpr double kSqrtHalf = 0.7071067811865476;
constexpr int kBlockBits = 6;  // at most 2^6 t per cos/sin

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

// The low `bits` bits of v in reverse order.
inline std::size_t reverse_bits(std::size_t v, int bits) {
  std::size_t r = 0;
  for (int i = 0; i < bits; ++i, v >>= 1) r = (r << 1) | (v & 1u);
  return r;
}

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

// The middle value Z_{N/2} at position 1, its own mirror: the product alone.
template <bool Square, bool Acc>
inline void middle_value(const double* x, const double* y, const double* z, double* out) {
  const cpx xm = load(x, 1);
  cpx p = Square ? sqr(xm) : mul(xm, load(y, 1));
  if (Acc) p = add(p, load(z, 1));
  store(out, 1, p);
}

inline constexpr int rev3(int v) { return ((v & 1) << 2) | (v & 2) | ((v >> 2) & 1); }

// exp(i pi rev_3(l) / 16): the angle of t = l in a group of eight, less the group's.
template <int l>
struct GroupRoot {
  static constexpr fftk::cpx value = fftk::unit_root(rev3(l), 32);
};

// The vector pair at positions p, p+1 (mirrors q, q-1) with (cos, sin) = e of
// the angle of p, or its two scalar pairs.
template <bool Pairs, class One, class Two>
inline void emit(std::size_t p, std::size_t q, cpx e, One& one, Two& two) {
  const double wr0 = 0.5 - 0.5 * e.im, wi0 = 0.5 * e.re, wr1 = 0.5 - 0.5 * e.re, wi1 = -0.5 * e.im;
  if (Pairs) {
    two(p, q, wr0, wi0, wr1, wi1);
  } else {
    one(p, q, wr0, wi0);
    one(p + 1, q - 1, wr1, wi1);
  }
}

// Eight t from position p (mirror q), the first with (cos, sin) = base.
template <bool Pairs, class One, class Two, int... l>
inline void group8(std::size_t p, std::size_t q, cpx base, One& one, Two& two, std::integer_sequence<int, l...>) {
  (emit<Pairs>(p + 2 * l, q - 2 * l, mul(base, cpx{GroupRoot<l>::value.re, GroupRoot<l>::value.im}), one, two), ...);
}

// Calls one(p, q, wr, wi) for every pair of positions (p, q = the mirror of
// p) of the spectrum but the middle, with the twiddle of p; or, when Pairs,
// one(2, 3, ...) and two(p, q, wr0, wi0, wr1, wi1) for the vector pairs:
// positions p, p+1 with twiddles (wr0, wi0), (wr1, wi1) and their mirrors q,
// q-1 (see above). L >= 8.
template <bool Pairs, class One, class Two>
inline void walk_pairs(int32_t L, One one, Two two) {
  constexpr fftk::cpx e4 = fftk::unit_root(4, 256), e2 = fftk::unit_root(2, 256), e1 = fftk::unit_root(1, 256);
  const std::size_t N = static_cast<std::size_t>(L) / 2;
  one(2, 3, 0.5 - 0.5 * kSqrtHalf, 0.5 * kSqrtHalf);  // octave 1: Z_{N/4}, theta = pi/4
  for (int m = 2; (std::size_t{1} << m) < N; ++m) {
    const std::size_t octave = std::size_t{1} << m, mirror = 3 * octave - 1;
    const int b = m - 2, c = b < kBlockBits ? b : kBlockBits;
    const std::size_t T = std::size_t{1} << b, B = std::size_t{1} << c;
    // theta of t0 = the block's first t
    auto first_angle = [&](std::size_t t0) {
      const double r = static_cast<double>(reverse_bits(t0 >> c, b - c));
      return kPi * (4.0 * r + 1.0) / static_cast<double>(2 * octave);
    };
    if (T < 8) {
      for (std::size_t t = 0; t < T; ++t) {
        const double theta = kPi * (4.0 * static_cast<double>(reverse_bits(t, b)) + 1.0) / static_cast<double>(2 * octave);
        const std::size_t p = octave + 2 * t;
        emit<Pairs>(p, mirror - p, {std::cos(theta), std::sin(theta)}, one, two);
      }
      continue;
    }
    for (std::size_t t0 = 0; t0 < T; t0 += B) {
      const double theta = first_angle(t0);
      const cpx base = {std::cos(theta), std::sin(theta)};
      for (std::size_t g = 0; g < B / 8; ++g) {
        cpx bg = base;
        if (g & 1) bg = mul(bg, {e4.re, e4.im});
        if (g & 2) bg = mul(bg, {e2.re, e2.im});
        if (g & 4) bg = mul(bg, {e1.re, e1.im});
        const std::size_t p = octave + 2 * (t0 + 8 * g);
        group8<Pairs>(p, mirror - p, bg, one, two, std::make_integer_sequence<int, 8>());
      }
    }
  }
}

// The pass on one pair of positions (p, q), scalar.
//   XSplit: x is already in split form; KeepX: write x's split values back;
//   Square: the second operand is x itself; YSplit: y is in split form;
//   Acc: add the product to z's split-form product; Unsplit: unsplit result.
template <bool XSplit, bool KeepX, bool Square, bool YSplit, bool Acc, bool Unsplit>
inline void fused_one(std::size_t p, std::size_t q, double wr, double wi, double* x, const double* y,
                      const double* z, double* out) {
  cpx xa = load(x, p), xb = load(x, q);
  if (!XSplit) split(xa, xb, wr, wi);
  if (KeepX) {
    store(x, p, xa);
    store(x, q, xb);
  }
  cpx pa, pb;
  if (Square) {
    pa = sqr(xa);
    pb = sqr(xb);
  } else {
    cpx ya = load(y, p), yb = load(y, q);
    if (!YSplit) split(ya, yb, wr, wi);
    pa = mul(xa, ya);
    pb = mul(xb, yb);
  }
  if (Acc) {
    pa = add(pa, load(z, p));
    pb = add(pb, load(z, q));
  }
  if (Unsplit) unsplit(pa, pb, wr, wi);
  store(out, p, pa);
  store(out, q, pb);
}

// The whole pass: the middle value, then every pair by the scalar
// fused_one, or, when Pairs, the vector pairs by two (see walk_pairs).
template <bool XSplit, bool KeepX, bool Square, bool YSplit, bool Acc, bool Unsplit, bool Pairs, class Two>
inline void fused_pass(int32_t L, double* x, const double* y, const double* z, double* out, Two two) {
  middle_value<Square, Acc>(x, y, z, out);
  if (L < 8) return;
  walk_pairs<Pairs>(
      L,
      [&](std::size_t p, std::size_t q, double wr, double wi) {
        fused_one<XSplit, KeepX, Square, YSplit, Acc, Unsplit>(p, q, wr, wi, x, y, z, out);
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
