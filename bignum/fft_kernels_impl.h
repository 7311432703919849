// The fused frequency-domain pass behind every product kernel, written once
// against the two-value vector cv2 of fft/fft_vec.h and compiled once per
// path: fft_kernels.cpp with the portable lowering, fft_kernels_vec.cpp with
// the vector one. Internal header of bignum/; include it in exactly those
// two sources.
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
// Octaves with fewer than eight t take cos/sin per t. Both paths take exactly
// the same twiddle values.
//
// A pass takes positions p and p+1 as one vector and their mirrors q-1 and
// q as another, its two values exchanged so that lanes match; the middle
// value (its own mirror) and the pair (2, 3) of octave 1 go through the same
// body on a one-value type.
#ifndef MORLANT_BIGNUM_FFT_KERNELS_IMPL_H
#define MORLANT_BIGNUM_FFT_KERNELS_IMPL_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "bignum/fft_kernels.h"
#include "fft/fft_vec.h"
#include "fft/team.h"

namespace fftv {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr int kBlockBits = 6;  // at most 2^6 t per cos/sin

// One complex value with the operations of cv2 the pass uses.
struct c1 {
  cpx v;
};
inline c1 load_value(const double* p) { return {{p[0], p[1]}}; }
inline void store_value(double* p, c1 a) {
  p[0] = a.v.re;
  p[1] = a.v.im;
}
inline c1 operator+(c1 a, c1 b) { return {{a.v.re + b.v.re, a.v.im + b.v.im}}; }
inline c1 operator-(c1 a, c1 b) { return {{a.v.re - b.v.re, a.v.im - b.v.im}}; }
inline c1 conj(c1 a) { return {{a.v.re, -a.v.im}}; }
inline c1 cmul(c1 a, c1 w) { return {mul(a.v, w.v)}; }
inline c1 csqr(c1 a) { return {{(a.v.re - a.v.im) * (a.v.re + a.v.im), 2.0 * a.v.re * a.v.im}}; }

// Loads and stores at the front positions (value order) and at their
// mirrors (exchanged), for each value type.
template <class V>
inline V load_front(const double* p) {
  if constexpr (std::is_same_v<V, c1>) return load_value(p);
  else return load(p);
}
template <class V>
inline V load_back(const double* p) {
  if constexpr (std::is_same_v<V, c1>) return load_value(p);
  else return load_swapped(p);
}
inline void store_front(double* p, c1 a) { store_value(p, a); }
inline void store_front(double* p, cv2 a) { store(p, a); }
inline void store_back(double* p, c1 a) { store_value(p, a); }
inline void store_back(double* p, cv2 a) { store_swapped(p, a); }

// What a kernel does, by flags: x is given in split form (XSplit) or split
// here and then written back (KeepX); the second operand is x itself
// (Square) or y, given in split form (YSplit) or split here; the product is
// added to the split-form product in z (Accumulate); the result is unsplit
// (Unsplit) or left in split form. The result goes to `out`.
enum : unsigned { XSplit = 1, KeepX = 2, Square = 4, YSplit = 8, Accumulate = 16, Unsplit = 32 };

// Split of the pair (a at k, b its mirror), w = (wr, wi) as a complex value:
// y = (a - conj b) w, a - y, b + conj y. Unsplit of a product pair:
// s = (u - conj v) conj(w), u - s, v + conj s.
template <class V>
MORLANT_FFT_INLINE void split(V& a, V& b, V w) {
  const V y = cmul(a - conj(b), w);
  a = a - y;
  b = b + conj(y);
}
template <class V>
MORLANT_FFT_INLINE void unsplit(V& u, V& v, V w) {
  const V s = cmul(u - conj(v), conj(w));
  u = u - s;
  v = v + conj(s);
}

// The pass at the front positions starting at double `lo` and their mirrors
// at `hi`, with twiddles w.
template <unsigned K, class V>
MORLANT_FFT_INLINE void fused_at(std::size_t lo, std::size_t hi, V w, double* x, const double* y, const double* z, double* out) {
  V xa = load_front<V>(x + lo), xb = load_back<V>(x + hi);
  if (!(K & XSplit)) split(xa, xb, w);
  if (K & KeepX) {
    store_front(x + lo, xa);
    store_back(x + hi, xb);
  }
  V pa, pb;
  if (K & Square) {
    pa = csqr(xa);
    pb = csqr(xb);
  } else {
    V ya = load_front<V>(y + lo), yb = load_back<V>(y + hi);
    if (!(K & YSplit)) split(ya, yb, w);
    pa = cmul(xa, ya);
    pb = cmul(xb, yb);
  }
  if (K & Accumulate) {
    pa = pa + load_front<V>(z + lo);
    pb = pb + load_back<V>(z + hi);
  }
  if (K & Unsplit) unsplit(pa, pb, w);
  store_front(out + lo, pa);
  store_back(out + hi, pb);
}

// The middle value Z_{N/2} at position 1 (doubles 3, 4), its own mirror: the
// product alone.
template <unsigned K>
MORLANT_FFT_INLINE void middle_value(const double* x, const double* y, const double* z, double* out) {
  const c1 xm = load_value(x + 3);
  c1 p = (K & Square) ? csqr(xm) : cmul(xm, load_value(y + 3));
  if (K & Accumulate) p = p + load_value(z + 3);
  store_value(out + 3, p);
}

// The low `bits` bits of v in reverse order.
inline std::size_t reverse_bits(std::size_t v, int bits) {
  std::size_t r = 0;
  for (int i = 0; i < bits; ++i, v >>= 1) r = (r << 1) | (v & 1u);
  return r;
}

constexpr int rev3(int v) { return ((v & 1) << 2) | (v & 2) | ((v >> 2) & 1); }

// exp(i pi rev_3(l) / 16): the angle of t = l in a group of eight, less the group's.
template <int l>
struct GroupRoot {
  static constexpr cpx value = unit_root(rev3(l), 32);
};

// The split twiddle (wr, wi) = (0.5 - 0.5 sin theta, 0.5 cos theta) of an
// angle with (cos, sin) = e; the angle plus pi/2 has (0.5 - 0.5 cos theta,
// -0.5 sin theta).
inline cpx split_twiddle(cpx e) { return {0.5 - 0.5 * e.im, 0.5 * e.re}; }
inline cpx split_twiddle_quarter(cpx e) { return {0.5 - 0.5 * e.re, -0.5 * e.im}; }

// The vector pair at positions p, p+1 (mirrors q, q-1), the angle of p
// with (cos, sin) = e: pair(lo, hi, w) with doubles lo of p and hi of q-1.
template <class Pair>
MORLANT_FFT_INLINE void emit(std::size_t p, std::size_t q, cpx e, Pair& pair) {
  pair(1 + 2 * p, 1 + 2 * (q - 1), make(split_twiddle(e), split_twiddle_quarter(e)));
}

// Eight t from position p (mirror q), the first with (cos, sin) = base.
template <class Pair, int... l>
MORLANT_FFT_INLINE void group8(std::size_t p, std::size_t q, cpx base, Pair& pair, std::integer_sequence<int, l...>) {
  (emit(p + 2 * l, q - 2 * l, mul(base, GroupRoot<l>::value), pair), ...);
}

// Blocks of an octave per piece of a shared pass.
constexpr std::size_t kBlocksPerPiece = 8;

// The pass of kernel K on arrays of length L >= 4, in pieces handed out on
// the team (team_each; null: all of them here): piece 0 is the middle value,
// octave 1 and every octave of fewer than kBlocksPerPiece blocks, each
// further piece kBlocksPerPiece blocks of a longer octave. Pieces write
// disjoint positions, and each value is the same whoever takes it.
template <unsigned K>
void fused_pass(int32_t L, double* x, const double* y, const double* z, double* out, Team* team) {
  auto pair = [&](std::size_t lo, std::size_t hi, cv2 w) MORLANT_FFT_INLINE_LAMBDA { fused_at<K>(lo, hi, w, x, y, z, out); };
  constexpr cpx e4 = unit_root(4, 256), e2 = unit_root(2, 256), e1 = unit_root(1, 256);
  const std::size_t N = static_cast<std::size_t>(L) / 2;
  // Octave m: T t in blocks of B (T / B blocks; none below eight t).
  const auto bits = [](int m) { return m - 2; };
  const auto block_bits = [&](int m) { return bits(m) < kBlockBits ? bits(m) : kBlockBits; };
  const auto blocks = [&](int m) {
    return bits(m) < 3 ? std::size_t{0} : std::size_t{1} << (bits(m) - block_bits(m));
  };
  // Blocks [first, stop) of octave m (all of an octave below eight t).
  const auto octave_blocks = [&](int m, std::size_t first, std::size_t stop) {
    const std::size_t octave = std::size_t{1} << m, mirror = 3 * octave - 1;
    const int b = bits(m), c = block_bits(m);
    const std::size_t T = std::size_t{1} << b, B = std::size_t{1} << c;
    // theta of t0 = the first t of a block (of one t below eight)
    auto angle = [&](std::size_t t0, int angle_bits, int shift) {
      const double r = static_cast<double>(reverse_bits(t0 >> shift, angle_bits));
      return kPi * (4.0 * r + 1.0) / static_cast<double>(2 * octave);
    };
    if (T < 8) {
      for (std::size_t t = 0; t < T; ++t) {
        const double theta = angle(t, b, 0);
        const std::size_t p = octave + 2 * t;
        emit(p, mirror - p, {std::cos(theta), std::sin(theta)}, pair);
      }
      return;
    }
    for (std::size_t t0 = first * B; t0 < stop * B; t0 += B) {
      const double theta = angle(t0, b - c, c);
      const cpx base = {std::cos(theta), std::sin(theta)};
      for (std::size_t g = 0; g < B / 8; ++g) {
        cpx bg = base;
        if (g & 1) bg = mul(bg, e4);
        if (g & 2) bg = mul(bg, e2);
        if (g & 4) bg = mul(bg, e1);
        const std::size_t p = octave + 2 * (t0 + 8 * g);
        group8(p, mirror - p, bg, pair, std::make_integer_sequence<int, 8>());
      }
    }
  };
  int top = 2;  // octaves 2 ... top - 1
  while ((std::size_t{1} << top) < N) ++top;
  int64_t pieces = 1;
  for (int m = 2; m < top; ++m)
    if (blocks(m) >= kBlocksPerPiece) pieces += static_cast<int64_t>(blocks(m) / kBlocksPerPiece);
  team_each(team, pieces, [&](int64_t piece) {
    if (piece == 0) {
      middle_value<K>(x, y, z, out);
      if (L < 8) return;
      // Octave 1: Z_{N/4} at position 2, its mirror at 3, theta = pi/4.
      fused_at<K>(5, 7, c1{split_twiddle({kH, kH})}, x, y, z, out);
      for (int m = 2; m < top; ++m)
        if (blocks(m) < kBlocksPerPiece) octave_blocks(m, 0, blocks(m));
      return;
    }
    std::size_t k = static_cast<std::size_t>(piece - 1);
    for (int m = 2; m < top; ++m) {
      const std::size_t own = blocks(m) >= kBlocksPerPiece ? blocks(m) / kBlocksPerPiece : 0;
      if (k < own) return octave_blocks(m, k * kBlocksPerPiece, (k + 1) * kBlocksPerPiece);
      k -= own;
    }
  });
}

// The kernels by name: their flags and where the result goes.
void fused(FusedKernel kind, int32_t L, double* x, double* y, double* z, Team* team) {
  switch (kind) {
    case FusedKernel::mul: return fused_pass<KeepX | Unsplit>(L, x, y, z, y, team);
    case FusedKernel::mul_stored: return fused_pass<XSplit | Unsplit>(L, x, y, z, y, team);
    case FusedKernel::mul_into_stored: return fused_pass<KeepX | YSplit | Unsplit>(L, x, y, z, y, team);
    case FusedKernel::mul_partial: return fused_pass<KeepX>(L, x, y, z, y, team);
    case FusedKernel::mul_accumulate: return fused_pass<XSplit | Accumulate | Unsplit>(L, x, y, z, z, team);
    case FusedKernel::sqr: return fused_pass<Square | Unsplit>(L, x, y, z, x, team);
    case FusedKernel::sqr_keep: return fused_pass<KeepX | Square | Unsplit>(L, x, y, z, y, team);
    case FusedKernel::sqr_stored: return fused_pass<XSplit | Square | Unsplit>(L, x, y, z, x, team);
  }
}

}  // namespace
}  // namespace fftv

#endif  // MORLANT_BIGNUM_FFT_KERNELS_IMPL_H
