// Vectorised forms of the radix-4 stages and the leaves, written once against
// the two-value vector cv2 (fft_vec.h): AVX2/FMA on x86-64 (compiled with
// -mavx2 -mfma, used only when the processor has both), Advanced SIMD on
// AArch64 (always used). The portable forms in fft.cpp and fft_leaf.cpp are
// the reference they are tested against.
//
// The pair of front indices (j, j+1) of a stage is one vector, and so is its
// mirror pair (Q-j-1, Q-j) in address order. The twiddles take the portable
// stage's refresh points and mirror relations, their chains stepping both
// values of a pair at once.
#include "fft/fft_simd.h"

#ifdef MORLANT_FFT_HAVE_VEC

#include <cmath>
#include <cstddef>
#include <utility>

#include "fft/fft_butterfly.h"
#include "fft/fft_vec.h"

namespace {

using fftk::cpx;
using namespace fftv;

// Radix-4 butterflies on registers: plain (twiddles on the c and d outputs)
// or odd (v1 on a and b, v3 on c and d).
inline void bfly_plain(cv2& a, cv2& b, cv2& c, cv2& d, cv2 w1, cv2 w3) {
  const cv2 s0 = a + c, d0 = a - c;
  const cv2 s1 = b + d, d1 = mul_i(b - d);
  a = s0 + s1;
  b = s0 - s1;
  c = cmul(d0 + d1, w1);
  d = cmul(d0 - d1, w3);
}
inline void bfly_odd(cv2& a, cv2& b, cv2& c, cv2& d, cv2 v1, cv2 v3) {
  const cv2 ic = mul_i(c), id = mul_i(d);
  const cv2 u = a + ic, u2 = a - ic;
  const cv2 t = mul_zeta(b + id), t2 = mul_zeta3(b - id);
  a = cmul(u + t, v1);
  b = cmul(u - t, v1);
  c = cmul(u2 + t2, v3);
  d = cmul(u2 - t2, v3);
}

// Butterflies on the vector at value index j (two values) of a block with
// quarter size q (complex values).
template <bool Odd, bool Conj>
inline void stage_vec(double* z, std::size_t j, std::size_t q, cv2 w1, cv2 w3) {
  double* p = z + 2 * j;
  const std::size_t s = 2 * q;
  if (!Odd) {
    // The first two outputs are sums alone: taken on the values as they lie
    // in memory, only the two that meet twiddles are split. Conjugating
    // commutes with the sums, so it comes last (first on the split ones).
    const cm2 a = load_mem(p), b = load_mem(p + s), c = load_mem(p + 2 * s), d = load_mem(p + 3 * s);
    const cm2 s0 = a + c, s1 = b + d;
    store_mem(p, Conj ? conj_mem(s0 + s1) : s0 + s1);
    store_mem(p + s, Conj ? conj_mem(s0 - s1) : s0 - s1);
    cv2 d0 = split(a - c), e = split(b - d);
    if (Conj) {
      d0 = conj(d0);
      e = conj(e);
    }
    const cv2 d1 = mul_i(e);
    store(p + 2 * s, cmul(d0 + d1, w1));
    store(p + 3 * s, cmul(d0 - d1, w3));
    return;
  }
  // Odd: every output meets a twiddle, so all four are split.
  cv2 a = load(p), b = load(p + s), c = load(p + 2 * s), d = load(p + 3 * s);
  bfly_odd(a, b, c, d, w1, w3);
  store(p, a);
  store(p + s, b);
  store(p + 2 * s, c);
  store(p + 3 * s, d);
}

// Mirror twiddles of a twiddle vector (values for j and j+1), in the order
// of the mirror vector (Q-j-1, Q-j).
// plain: w^(Q-j) = i conj(w^j) = (s, c); w^(3(Q-j)) = -i conj(w^(3j)) = (-s, -c)
// odd: v^(Q-j) = zeta conj(v^j), v^(3(Q-j)) = zeta^3 conj(v^(3j))
template <bool Odd>
inline cv2 mirror1(cv2 w) { return swap(Odd ? mul_zeta(conj(w)) : flip(w)); }
template <bool Odd>
inline cv2 mirror3(cv2 w) { return swap(Odd ? mul_zeta3(conj(w)) : neg(flip(w))); }

// ---- Stages on 64 and 128 doubles: constant twiddles, straight-line ----
//
// Most stages of a long transform are these small ones (one in every 128
// doubles), where the walk above would spend more on cos/sin and its set-up
// than on the butterflies. Their twiddles are compile-time constants.

// Twiddle k of a stage on a block of M complex values: w^k, w = exp(2 pi i/M)
// (plain) or v^k, v = exp(i pi/M) (odd).
// Evaluated by the compiler, whatever its optimisation.
template <bool Odd, long M, long K>
struct StageRoot {
  static constexpr cpx value = Odd ? fftk::unit_root(K, 2 * M) : fftk::unit_root(K, M);
};

template <bool Odd, bool Conj, long M, long... P>
inline void small_stage(double* z, std::integer_sequence<long, P...>) {
  constexpr std::size_t q = M / 4;
  (stage_vec<Odd, Conj>(z, static_cast<std::size_t>(2 * P), q,
                        make(StageRoot<Odd, M, 2 * P>::value, StageRoot<Odd, M, 2 * P + 1>::value),
                        make(StageRoot<Odd, M, 6 * P>::value, StageRoot<Odd, M, 6 * P + 3>::value)),
   ...);
}

// The twiddles of a stage as vectors: W1 = (w^j, w^(j+1)) and W3 = (w^(3j),
// w^(3(j+1))) for the front pairs j = 1, 3, ..., Q/2 - 3, on the runs of
// fftk::twiddle_runs, calling pair(j, W1, W3); then middle(a, b, c, d) as
// fftk::stage_twiddles does. Each chain steps two indices at once, both
// lanes in one fused multiply-add per part:
//   w^(k+2) = w^(k-2) + 2 sin(2 phi) i w^k.
template <bool Odd, class Pair, class Middle>
inline void stage_twiddles_vec(int32_t n, Pair pair, Middle middle) {
  using fftk::mul;
  using fftk::triple;
  const double theta = fftk::stage_angle<Odd>(n);
  const cpx w = {std::cos(theta), std::sin(theta)};
  const cpx w2 = mul(w, w);
  const double t1 = 2.0 * w2.im, t3 = 2.0 * triple(w2).im;  // 2 sin(2 theta), 2 sin(6 theta)
  // Before the pair j: P = (w^(j-2), w^(j-1)) and C = (w^j, w^(j+1)), per chain.
  cv2 p1{}, c1{}, p3{}, c3{};  // set by the first run (every stage has one)
  fftk::twiddle_runs<Odd>(n, theta, [&](std::size_t start, std::size_t end, cpx base) {  // base = w^(start-1)
    const cpx a = mul(base, fftk::conj(w)), c = mul(base, w), d = mul(c, w);
    p1 = make(a, base);
    c1 = make(c, d);
    p3 = make(triple(a), triple(base));
    c3 = make(triple(c), triple(d));
    // Two pairs a turn: P and C take turns as the newer value, so no value moves.
    std::size_t j = start;
    for (; j + 2 <= end; j += 4) {
      pair(j, c1, c3);
      p1 = fmadd(p1, mul_i(c1), t1);
      p3 = fmadd(p3, mul_i(c3), t3);
      pair(j + 2, p1, p3);
      c1 = fmadd(c1, mul_i(p1), t1);
      c3 = fmadd(c3, mul_i(p3), t3);
    }
    if (j <= end) {
      pair(j, c1, c3);
      const cv2 n1 = fmadd(p1, mul_i(c1), t1), n3 = fmadd(p3, mul_i(c3), t3);
      p1 = c1;
      c1 = n1;
      p3 = c3;
      c3 = n3;
    }
  });
  middle(value0(c1), value0(c3), value1(c1), value1(c3));
}

template <bool Odd, bool Conj>
void stage(int32_t n, double* z) {
  if (n == 64) return small_stage<Odd, Conj, 32>(z, std::make_integer_sequence<long, 4>());
  if (n == 128) return small_stage<Odd, Conj, 64>(z, std::make_integer_sequence<long, 8>());
  const std::size_t q = static_cast<std::size_t>(n) / 8;
  const std::size_t half = q / 2;
  // Index 0 and the middle three are single values: the portable butterflies.
  if (Odd) fftk::odd_bfly0(z, 0, q);
  else fftk::plain_bfly0<Conj>(z, 0, q);
  stage_twiddles_vec<Odd>(
      n,
      [&](std::size_t j, cv2 w1, cv2 w3) {
        stage_vec<Odd, Conj>(z, j, q, w1, w3);
        stage_vec<Odd, Conj>(z, q - j - 1, q, mirror1<Odd>(w1), mirror3<Odd>(w3));
      },
      [&](cpx a, cpx b, cpx c, cpx d) {
        if (Odd) {
          fftk::odd_bfly(z, half - 1, q, a, b);
          fftk::odd_bfly(z, half, q, c, d);
          fftk::odd_bfly(z, half + 1, q, fftk::mul_zeta(fftk::conj(a)), fftk::mul_zeta3(fftk::conj(b)));
        } else {
          fftk::plain_bfly<Conj>(z, half - 1, q, a, b);
          fftk::plain_bfly<Conj>(z, half, q, cpx{c.re, c.re}, cpx{-c.re, c.re});
          fftk::plain_bfly<Conj>(z, half + 1, q, cpx{a.im, a.re}, cpx{-b.im, -b.re});
        }
      });
}

// ---- Leaves: the whole leaf in registers ----

// Four-value quarter held as (x0, x1), (x2, x3): a stage with Q = 1, stored.
inline void store_four_plain(double* z, cv2 x01, cv2 x23) {
  store_fold(z, x01 + x23);      // (a + c, b + d)
  store_fold_i(z + 4, x01 - x23);  // (a - c, b - d)
}
inline void store_four_odd(double* z, cv2 x01, cv2 x23) {
  const cv2 ix = mul_i(x23);
  store_fold_zeta(z, x01 + ix);       // (a + ic, b + id)
  store_fold_zeta3(z + 4, x01 - ix);  // (a - ic, b - id)
}

constexpr double kC8 = fftk::kCos8, kS8 = fftk::kSin8, kC16 = fftk::kCos16, kS16 = fftk::kSin16,
                 kC316 = fftk::kCos3_16, kS316 = fftk::kSin3_16;

template <bool Odd>
void leaf8(double* z) {
  cv2 a = load(z), b = load(z + 4), c = load(z + 8), d = load(z + 12);
  if (Odd) bfly_odd(a, b, c, d, make(1, 0, kC8, kS8), make(1, 0, kS8, kC8));
  else bfly_plain(a, b, c, d, make(1, 0, kH, kH), make(1, 0, -kH, kH));
  // Two-value quarters: plain, odd, plain, and plain or odd.
  store_fold(z, a);
  store_fold_i(z + 4, b);
  store_fold(z + 8, c);
  if (Odd) store_fold_i(z + 12, d);
  else store_fold(z + 12, d);
}

template <bool Odd>
void leaf16(double* z) {
  cv2 a0 = load(z), a1 = load(z + 4), b0 = load(z + 8), b1 = load(z + 12);
  cv2 c0 = load(z + 16), c1 = load(z + 20), d0 = load(z + 24), d1 = load(z + 28);
  if (Odd) {
    // v = exp(i pi/16): v^0, v^1 and v^0, v^3; then v^2, v^3 and v^6, v^9.
    bfly_odd(a0, b0, c0, d0, make(1, 0, kC16, kS16), make(1, 0, kC316, kS316));
    bfly_odd(a1, b1, c1, d1, make(kC8, kS8, kC316, kS316), make(kS8, kC8, -kS16, kC16));
  } else {
    // w = exp(i pi/8): w^0, w^1 and w^0, w^3; then w^2, w^3 and w^6, w^9.
    bfly_plain(a0, b0, c0, d0, make(1, 0, kC8, kS8), make(1, 0, kS8, kC8));
    bfly_plain(a1, b1, c1, d1, make(kH, kH, kS8, kC8), make(-kH, kH, -kC8, -kS8));
  }
  store_four_plain(z, a0, a1);
  store_four_odd(z + 8, b0, b1);
  store_four_plain(z + 16, c0, c1);
  if (Odd) store_four_odd(z + 24, d0, d1);
  else store_four_plain(z + 24, d0, d1);
}

}  // namespace

void fft_radix4_stage_vec(int32_t n, double* block) { stage<false, false>(n, block); }
void fft_radix4_stage_conj_vec(int32_t n, double* block) { stage<false, true>(n, block); }
void fft_odd_radix4_stage_vec(int32_t n, double* block) { stage<true, false>(n, block); }
void fft_leaf8_vec(double* block) { leaf8<false>(block); }
void fft_leaf16_vec(double* block) { leaf16<false>(block); }
void fft_odd_leaf8_vec(double* block) { leaf8<true>(block); }
void fft_odd_leaf16_vec(double* block) { leaf16<true>(block); }

#endif
