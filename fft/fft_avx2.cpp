// AVX2/FMA forms of the radix-4 stages (x86-64). Compiled with -mavx2 -mfma
// and used only when the processor has both; the portable stages in fft.cpp
// are the reference they are tested against.
//
// A 256-bit register holds two consecutive complex values (re, im, re, im),
// so the pair of front indices (j, j+1) of a stage is one vector, and so is
// its mirror pair (Q-j-1, Q-j) in address order. Twiddles follow the same
// chains, refresh points and mirror relations as the portable stage.
#include "fft/fft_simd.h"

#ifdef MORLANT_FFT_HAVE_AVX2

#include <immintrin.h>

#include <cmath>
#include <cstddef>

#include "fft/fft_butterfly.h"

namespace {

using fftk::cpx;

// Complex product of interleaved pairs x and w.
inline __m256d cmul(__m256d x, __m256d w) {
  const __m256d wr = _mm256_movedup_pd(w);        // (wr, wr) per value
  const __m256d wi = _mm256_permute_pd(w, 0xF);   // (wi, wi)
  const __m256d xs = _mm256_permute_pd(x, 0x5);   // (xi, xr)
  return _mm256_fmaddsub_pd(x, wr, _mm256_mul_pd(xs, wi));
}

// i*y = (-yi, yr)
inline __m256d mul_i(__m256d y) {
  const __m256d s = _mm256_permute_pd(y, 0x5);
  return _mm256_xor_pd(s, _mm256_set_pd(0.0, -0.0, 0.0, -0.0));
}

inline __m256d conj(__m256d y) { return _mm256_xor_pd(y, _mm256_set_pd(-0.0, 0.0, -0.0, 0.0)); }

// Exchanges the two complex values of a vector.
inline __m256d swap_values(__m256d y) { return _mm256_permute2f128_pd(y, y, 1); }

inline __m256d pair(cpx lo, cpx hi) { return _mm256_set_pd(hi.im, hi.re, lo.im, lo.re); }

// zeta*x and zeta^3*x, zeta = (1 + i) sqrt(1/2)
inline __m256d mul_zeta(__m256d x) {
  return _mm256_mul_pd(_mm256_set1_pd(fftk::kSqrtHalf), _mm256_add_pd(x, mul_i(x)));
}
inline __m256d mul_zeta3(__m256d x) {
  return _mm256_mul_pd(_mm256_set1_pd(fftk::kSqrtHalf), _mm256_sub_pd(mul_i(x), x));
}

// Butterflies on the vector at value index j (two values) of a block with
// quarter size q (complex values).
template <bool Conj>
inline void plain_vec(double* z, std::size_t j, std::size_t q, __m256d w1, __m256d w3) {
  double* p = z + 2 * j;
  const std::size_t s = 2 * q;
  __m256d a = _mm256_loadu_pd(p), b = _mm256_loadu_pd(p + s), c = _mm256_loadu_pd(p + 2 * s),
          d = _mm256_loadu_pd(p + 3 * s);
  if (Conj) {
    a = conj(a);
    b = conj(b);
    c = conj(c);
    d = conj(d);
  }
  const __m256d s0 = _mm256_add_pd(a, c), d0 = _mm256_sub_pd(a, c);
  const __m256d s1 = _mm256_add_pd(b, d), d1 = mul_i(_mm256_sub_pd(b, d));
  _mm256_storeu_pd(p, _mm256_add_pd(s0, s1));
  _mm256_storeu_pd(p + s, _mm256_sub_pd(s0, s1));
  _mm256_storeu_pd(p + 2 * s, cmul(_mm256_add_pd(d0, d1), w1));
  _mm256_storeu_pd(p + 3 * s, cmul(_mm256_sub_pd(d0, d1), w3));
}

inline void odd_vec(double* z, std::size_t j, std::size_t q, __m256d v1, __m256d v3) {
  double* p = z + 2 * j;
  const std::size_t s = 2 * q;
  const __m256d a = _mm256_loadu_pd(p), b = _mm256_loadu_pd(p + s), c = _mm256_loadu_pd(p + 2 * s),
                d = _mm256_loadu_pd(p + 3 * s);
  const __m256d ic = mul_i(c), id = mul_i(d);
  const __m256d u = _mm256_add_pd(a, ic), u2 = _mm256_sub_pd(a, ic);
  const __m256d t = mul_zeta(_mm256_add_pd(b, id)), t2 = mul_zeta3(_mm256_sub_pd(b, id));
  _mm256_storeu_pd(p, cmul(_mm256_add_pd(u, t), v1));
  _mm256_storeu_pd(p + s, cmul(_mm256_sub_pd(u, t), v1));
  _mm256_storeu_pd(p + 2 * s, cmul(_mm256_add_pd(u2, t2), v3));
  _mm256_storeu_pd(p + 3 * s, cmul(_mm256_sub_pd(u2, t2), v3));
}

// Mirror twiddles of a twiddle vector (values for j and j+1), in the order
// of the mirror vector (Q-j-1, Q-j).
// plain: w^(Q-j) = i conj(w^j) = (s, c); w^(3(Q-j)) = -i conj(w^(3j)) = (-s, -c)
inline __m256d mirror_plain1(__m256d w) { return swap_values(_mm256_permute_pd(w, 0x5)); }
inline __m256d mirror_plain3(__m256d w) {
  return swap_values(_mm256_xor_pd(_mm256_permute_pd(w, 0x5), _mm256_set1_pd(-0.0)));
}
// odd: v^(Q-j) = zeta conj(v^j), v^(3(Q-j)) = zeta^3 conj(v^(3j))
inline __m256d mirror_odd1(__m256d v) { return swap_values(mul_zeta(conj(v))); }
inline __m256d mirror_odd3(__m256d v) { return swap_values(mul_zeta3(conj(v))); }


// ---- Leaves: the whole leaf in registers ----

inline __m256d lo_dup(__m256d v) { return _mm256_permute2f128_pd(v, v, 0x00); }
inline __m256d hi_dup(__m256d v) { return _mm256_permute2f128_pd(v, v, 0x11); }
// (x, y) -> (x + y, x - y) for the two values of the vectors lo and hi (each duplicated).
inline __m256d sum_diff(__m256d lo, __m256d hi) {
  return _mm256_add_pd(lo, _mm256_xor_pd(hi, _mm256_set_pd(-0.0, -0.0, 0.0, 0.0)));
}

// Two-value quarter (p, q): plain (p + q, p - q), odd (p + iq, p - iq).
inline __m256d two_plain(__m256d v) { return sum_diff(lo_dup(v), hi_dup(v)); }
inline __m256d two_odd(__m256d v) { return sum_diff(lo_dup(v), mul_i(hi_dup(v))); }

// Four-value quarter held as (x0, x1), (x2, x3): a stage with Q = 1.
inline void four_plain(__m256d& x01, __m256d& x23) {
  const __m256d p = _mm256_add_pd(x01, x23);  // (a + c, b + d)
  const __m256d m = _mm256_sub_pd(x01, x23);  // (a - c, b - d)
  x01 = sum_diff(lo_dup(p), hi_dup(p));
  x23 = sum_diff(lo_dup(m), mul_i(hi_dup(m)));
}
inline void four_odd(__m256d& x01, __m256d& x23) {
  const __m256d ix = mul_i(x23);
  const __m256d y = _mm256_add_pd(x01, ix);  // (a + ic, b + id)
  const __m256d z = _mm256_sub_pd(x01, ix);  // (a - ic, b - id)
  x01 = sum_diff(lo_dup(y), mul_zeta(hi_dup(y)));
  x23 = sum_diff(lo_dup(z), mul_zeta3(hi_dup(z)));
}

// Radix-4 butterfly on registers: plain (twiddles on c and d outputs) or odd.
inline void bfly_plain_reg(__m256d& a, __m256d& b, __m256d& c, __m256d& d, __m256d w1, __m256d w3) {
  const __m256d s0 = _mm256_add_pd(a, c), d0 = _mm256_sub_pd(a, c);
  const __m256d s1 = _mm256_add_pd(b, d), d1 = mul_i(_mm256_sub_pd(b, d));
  a = _mm256_add_pd(s0, s1);
  b = _mm256_sub_pd(s0, s1);
  c = cmul(_mm256_add_pd(d0, d1), w1);
  d = cmul(_mm256_sub_pd(d0, d1), w3);
}
inline void bfly_odd_reg(__m256d& a, __m256d& b, __m256d& c, __m256d& d, __m256d v1, __m256d v3) {
  const __m256d ic = mul_i(c), id = mul_i(d);
  const __m256d u = _mm256_add_pd(a, ic), u2 = _mm256_sub_pd(a, ic);
  const __m256d t = mul_zeta(_mm256_add_pd(b, id)), t2 = mul_zeta3(_mm256_sub_pd(b, id));
  a = cmul(_mm256_add_pd(u, t), v1);
  b = cmul(_mm256_sub_pd(u, t), v1);
  c = cmul(_mm256_add_pd(u2, t2), v3);
  d = cmul(_mm256_sub_pd(u2, t2), v3);
}

inline __m256d twiddles(double r0, double i0, double r1, double i1) { return _mm256_set_pd(i1, r1, i0, r0); }

constexpr double kH = fftk::kSqrtHalf, kC8 = fftk::kCos8, kS8 = fftk::kSin8, kC16 = fftk::kCos16,
                 kS16 = fftk::kSin16, kC316 = fftk::kCos3_16, kS316 = fftk::kSin3_16;

template <bool Odd>
void leaf8(double* z) {
  __m256d a = _mm256_loadu_pd(z), b = _mm256_loadu_pd(z + 4), c = _mm256_loadu_pd(z + 8),
          d = _mm256_loadu_pd(z + 12);
  if (Odd) bfly_odd_reg(a, b, c, d, twiddles(1, 0, kC8, kS8), twiddles(1, 0, kS8, kC8));
  else bfly_plain_reg(a, b, c, d, twiddles(1, 0, kH, kH), twiddles(1, 0, -kH, kH));
  _mm256_storeu_pd(z, two_plain(a));
  _mm256_storeu_pd(z + 4, two_odd(b));
  _mm256_storeu_pd(z + 8, two_plain(c));
  _mm256_storeu_pd(z + 12, Odd ? two_odd(d) : two_plain(d));
}

template <bool Odd>
void leaf16(double* z) {
  __m256d a0 = _mm256_loadu_pd(z), a1 = _mm256_loadu_pd(z + 4);
  __m256d b0 = _mm256_loadu_pd(z + 8), b1 = _mm256_loadu_pd(z + 12);
  __m256d c0 = _mm256_loadu_pd(z + 16), c1 = _mm256_loadu_pd(z + 20);
  __m256d d0 = _mm256_loadu_pd(z + 24), d1 = _mm256_loadu_pd(z + 28);
  if (Odd) {
    // v = exp(i pi/16): v^0, v^1 and v^0, v^3; then v^2, v^3 and v^6, v^9.
    bfly_odd_reg(a0, b0, c0, d0, twiddles(1, 0, kC16, kS16), twiddles(1, 0, kC316, kS316));
    bfly_odd_reg(a1, b1, c1, d1, twiddles(kC8, kS8, kC316, kS316), twiddles(kS8, kC8, -kS16, kC16));
  } else {
    // w = exp(i pi/8): w^0, w^1 and w^0, w^3; then w^2, w^3 and w^6, w^9.
    bfly_plain_reg(a0, b0, c0, d0, twiddles(1, 0, kC8, kS8), twiddles(1, 0, kS8, kC8));
    bfly_plain_reg(a1, b1, c1, d1, twiddles(kH, kH, kS8, kC8), twiddles(-kH, kH, -kC8, -kS8));
  }
  four_plain(a0, a1);
  four_odd(b0, b1);
  four_plain(c0, c1);
  if (Odd) four_odd(d0, d1);
  else four_plain(d0, d1);
  _mm256_storeu_pd(z, a0);
  _mm256_storeu_pd(z + 4, a1);
  _mm256_storeu_pd(z + 8, b0);
  _mm256_storeu_pd(z + 12, b1);
  _mm256_storeu_pd(z + 16, c0);
  _mm256_storeu_pd(z + 20, c1);
  _mm256_storeu_pd(z + 24, d0);
  _mm256_storeu_pd(z + 28, d1);
}

template <bool Odd, bool Conj>
void stage(int32_t n, double* z) {
  const std::size_t q = static_cast<std::size_t>(n) / 8;
  const std::size_t half = q / 2;
  // Index 0 and the middle three are single values: the portable butterflies.
  if (Odd) fftk::odd_bfly0(z, 0, q);
  else fftk::plain_bfly0<Conj>(z, 0, q);
  fftk::stage_twiddles<Odd>(
      n,
      [&](std::size_t j, cpx a0, cpx b0, cpx a1, cpx b1) {
        const __m256d v1 = pair(a0, a1), v3 = pair(b0, b1);
        if (Odd) {
          odd_vec(z, j, q, v1, v3);
          odd_vec(z, q - j - 1, q, mirror_odd1(v1), mirror_odd3(v3));
        } else {
          plain_vec<Conj>(z, j, q, v1, v3);
          plain_vec<Conj>(z, q - j - 1, q, mirror_plain1(v1), mirror_plain3(v3));
        }
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

}  // namespace

void fft_radix4_stage_avx2(int32_t n, double* block) { stage<false, false>(n, block); }
void fft_radix4_stage_conj_avx2(int32_t n, double* block) { stage<false, true>(n, block); }
void fft_odd_radix4_stage_avx2(int32_t n, double* block) { stage<true, false>(n, block); }
void fft_leaf8_avx2(double* block) { leaf8<false>(block); }
void fft_leaf16_avx2(double* block) { leaf16<false>(block); }
void fft_odd_leaf8_avx2(double* block) { leaf8<true>(block); }
void fft_odd_leaf16_avx2(double* block) { leaf16<true>(block); }

#endif
