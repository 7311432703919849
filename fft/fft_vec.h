// cv2: two consecutive complex values as one vector, the type every FFT
// stage, leaf and frequency-domain kernel is written against, and the scalar
// complex helpers their twiddles are computed with. Internal header of fft/
// and bignum/.
//
// Value 0 is the one at the lower address. Three lowerings, each confined to
// the operations below; a source compiled for the portable path defines
// MORLANT_FFT_LOWER_PORTABLE before including this header:
// - portable (any architecture): four plain doubles, C++ arithmetic.
// - x86-64 (compiled with -mavx2 -mfma): one 256-bit register holding the
//   values interleaved (re0, im0, re1, im1), as they lie in memory.
// - AArch64 (Advanced SIMD, every ARMv8-A core): two 128-bit registers, the
//   real parts (re0, re1) and the imaginary parts (im0, im1), split by the
//   de-interleaving load and joined by the interleaving store, so a complex
//   product is four multiply(-add)s and i*x costs at most a negation.
//   Arithmetic goes through the compilers' vector operators, so a negation
//   feeding an addition folds into a subtraction.
// Everything has internal linkage on purpose: the lowerings are compiled
// into the same program with different instruction-set flags, and one
// source's copy must never be the one another links to.
#ifndef MORLANT_FFT_FFT_VEC_H
#define MORLANT_FFT_FFT_VEC_H

#include <cstddef>
#include <cstdint>

#if defined(MORLANT_FFT_LOWER_PORTABLE)
#elif defined(__x86_64__) || defined(_M_X64)
#include <immintrin.h>
#elif defined(__aarch64__) || defined(_M_ARM64)
#include <arm_neon.h>
#else
#error "fft_vec.h: no vector lowering for this architecture"
#endif

// For the butterflies and blocks that must become straight-line code in
// their callers, which the compilers' size limits would otherwise stop; the
// second for lambdas.
#define MORLANT_FFT_INLINE inline __attribute__((always_inline))
#define MORLANT_FFT_INLINE_LAMBDA __attribute__((always_inline))

namespace fftv {
namespace {

// ---- Scalar complex values: twiddle computations ----

constexpr double kH = 0.7071067811865476;  // cos(pi/4)
constexpr double kHalfPi = 1.5707963267948966;

struct cpx {
  double re, im;
};
constexpr cpx mul(cpx x, cpx w) { return {x.re * w.re - x.im * w.im, x.re * w.im + x.im * w.re}; }
// (cos 3x, sin 3x) from (cos x, sin x).
constexpr cpx triple(cpx w) { return {w.re - 4.0 * w.im * w.im * w.re, 4.0 * w.im * w.re * w.re - w.im}; }

// sin x and cos x for |x| <= pi/4 by their series, in constant expressions.
constexpr double series_sin(double x) {
  double term = x, sum = x;
  for (int k = 1; k < 14; ++k) {
    term *= -x * x / ((2 * k) * (2 * k + 1));
    sum += term;
  }
  return sum;
}
constexpr double series_cos(double x) {
  double term = 1.0, sum = 1.0;
  for (int k = 1; k < 14; ++k) {
    term *= -x * x / ((2 * k - 1) * (2 * k));
    sum += term;
  }
  return sum;
}

// exp(2 pi i k/N) for N a multiple of 8: the quarter turns are exact, the
// rest comes from an angle of at most pi/4 (to within an ulp or two).
constexpr cpx unit_root(long k, long N) {
  k = ((k % N) + N) % N;
  const long quarter = k / (N / 4), r = k % (N / 4);
  const bool upper = 2 * r > N / 4;  // angle in (pi/4, pi/2): from its complement
  const double x = 4.0 * kHalfPi * static_cast<double>(upper ? N / 4 - r : r) / static_cast<double>(N);
  const double c = upper ? series_sin(x) : series_cos(x), s = upper ? series_cos(x) : series_sin(x);
  switch (quarter) {
    case 0: return {c, s};
    case 1: return {-s, c};
    case 2: return {-c, -s};
    default: return {s, -c};
  }
}

#if defined(MORLANT_FFT_LOWER_PORTABLE)

// Four plain doubles (value 0's parts, then value 1's): flat, so that every
// compiler keeps them in registers.
struct cv2 {
  double r0, i0, r1, i1;
};
inline cv2 load(const double* p) { return {p[0], p[1], p[2], p[3]}; }
inline void store(double* p, cv2 x) {
  p[0] = x.r0;
  p[1] = x.i0;
  p[2] = x.r1;
  p[3] = x.i1;
}
inline cv2 make(cpx lo, cpx hi) { return {lo.re, lo.im, hi.re, hi.im}; }
inline cv2 operator+(cv2 a, cv2 b) { return {a.r0 + b.r0, a.i0 + b.i0, a.r1 + b.r1, a.i1 + b.i1}; }
inline cv2 operator-(cv2 a, cv2 b) { return {a.r0 - b.r0, a.i0 - b.i0, a.r1 - b.r1, a.i1 - b.i1}; }
inline cv2 conj(cv2 a) { return {a.r0, -a.i0, a.r1, -a.i1}; }
inline cv2 mul_i(cv2 a) { return {-a.i0, a.r0, -a.i1, a.r1}; }
inline cv2 neg(cv2 a) { return {-a.r0, -a.i0, -a.r1, -a.i1}; }
inline cv2 add_i(cv2 a, cv2 b) { return {a.r0 - b.i0, a.i0 + b.r0, a.r1 - b.i1, a.i1 + b.r1}; }
inline cv2 sub_i(cv2 a, cv2 b) { return {a.r0 + b.i0, a.i0 - b.r0, a.r1 + b.i1, a.i1 - b.r1}; }
inline cv2 cmul(cv2 a, cv2 w) {
  return {a.r0 * w.r0 - a.i0 * w.i0, a.r0 * w.i0 + a.i0 * w.r0, a.r1 * w.r1 - a.i1 * w.i1, a.r1 * w.i1 + a.i1 * w.r1};
}
inline cv2 csqr(cv2 a) {
  return {(a.r0 - a.i0) * (a.r0 + a.i0), 2.0 * a.r0 * a.i0, (a.r1 - a.i1) * (a.r1 + a.i1), 2.0 * a.r1 * a.i1};
}
inline cv2 load_swapped(const double* p) { return {p[2], p[3], p[0], p[1]}; }
inline void store_swapped(double* p, cv2 x) { store(p, {x.r1, x.i1, x.r0, x.i0}); }
inline cv2 mul_zeta(cv2 a) { return {kH * (a.r0 - a.i0), kH * (a.r0 + a.i0), kH * (a.r1 - a.i1), kH * (a.r1 + a.i1)}; }
inline cv2 mul_zeta3(cv2 a) {
  return {-kH * (a.r0 + a.i0), kH * (a.r0 - a.i0), -kH * (a.r1 + a.i1), kH * (a.r1 - a.i1)};
}

// cm2: the two values as they lie in memory; here cv2 itself.
using cm2 = cv2;
inline cm2 load_mem(const double* p) { return load(p); }
inline void store_mem(double* p, cm2 x) { store(p, x); }
inline cv2 split(cm2 x) { return x; }
inline cm2 conj_mem(cm2 x) { return conj(x); }
inline cm2 zip0(cm2 a, cm2 b) { return {a.r0, a.i0, b.r0, b.i0}; }
inline cm2 zip1(cm2 a, cm2 b) { return {a.r1, a.i1, b.r1, b.i1}; }

// fold: (x0 + x1, x0 - x1); join: value 0 of lo with value 1 of hi.
inline cv2 fold(cv2 x) { return {x.r0 + x.r1, x.i0 + x.i1, x.r0 - x.r1, x.i0 - x.i1}; }
inline cv2 join(cv2 lo, cv2 hi) { return {lo.r0, lo.i0, hi.r1, hi.i1}; }
// The folds with value 1 first multiplied by 1, i, zeta or zeta^3, stored.
inline void store_fold(double* p, cv2 x) { store(p, fold(x)); }
inline void store_fold_i(double* p, cv2 x) { store(p, fold(join(x, mul_i(x)))); }
inline void store_fold_zeta(double* p, cv2 x) { store(p, fold(join(x, mul_zeta(x)))); }
inline void store_fold_zeta3(double* p, cv2 x) { store(p, fold(join(x, mul_zeta3(x)))); }

// The largest block (doubles) transformed whole in registers (64 doubles
// would spill on every target, measured 2 % more instructions on ARM64),
// the largest block whose stage is straight-line code, and whether the
// looping stages' back twiddles have chains of their own (which spilled).
constexpr int32_t kRegsBlockMax = 32;
constexpr int32_t kStraightStageMax = 128;
constexpr bool kBackChains = false;

// tw2: a pair of twiddles held for products.
struct tw2 {
  cv2 v;
};
inline tw2 make_tw(cpx lo, cpx hi) { return {make(lo, hi)}; }
inline cv2 cmul(cv2 a, tw2 w) { return cmul(a, w.v); }
inline cv2 cmulc(cv2 a, tw2 w) { return cmul(a, conj(w.v)); }
// p + t i c
inline tw2 step(tw2 p, tw2 c, double t) {
  const cv2 ic = mul_i(c.v);
  return {{p.v.r0 + t * ic.r0, p.v.i0 + t * ic.i0, p.v.r1 + t * ic.r1, p.v.i1 + t * ic.i1}};
}
inline tw2 join(tw2 lo, tw2 hi) { return {join(lo.v, hi.v)}; }
inline tw2 flip(tw2 a) { return {{a.v.i0, a.v.r0, a.v.i1, a.v.r1}}; }
inline tw2 neg(tw2 a) { return {neg(a.v)}; }
inline tw2 zeta_conj(tw2 w) { return {mul_zeta(conj(w.v))}; }
inline tw2 zeta3_conj(tw2 w) { return {mul_zeta3(conj(w.v))}; }

#elif defined(__x86_64__) || defined(_M_X64)

struct cv2 {
  __m256d v;
};

inline cv2 load(const double* p) { return {_mm256_loadu_pd(p)}; }
inline void store(double* p, cv2 x) { _mm256_storeu_pd(p, x.v); }
inline cv2 make(cpx lo, cpx hi) { return {_mm256_set_pd(hi.im, hi.re, lo.im, lo.re)}; }
inline cv2 operator+(cv2 a, cv2 b) { return {_mm256_add_pd(a.v, b.v)}; }
inline cv2 operator-(cv2 a, cv2 b) { return {_mm256_sub_pd(a.v, b.v)}; }
inline cv2 scale(cv2 a, double s) { return {_mm256_mul_pd(a.v, _mm256_set1_pd(s))}; }
inline cv2 neg(cv2 a) { return {_mm256_xor_pd(a.v, _mm256_set1_pd(-0.0))}; }
// (im, re) of each value
inline cv2 flip(cv2 a) { return {_mm256_permute_pd(a.v, 0x5)}; }
inline cv2 conj(cv2 a) { return {_mm256_xor_pd(a.v, _mm256_set_pd(-0.0, 0.0, -0.0, 0.0))}; }
// i*a = (-im, re)
inline cv2 mul_i(cv2 a) { return {_mm256_xor_pd(flip(a).v, _mm256_set_pd(0.0, -0.0, 0.0, -0.0))}; }
// a + i*b = (a.re - b.im, a.im + b.re) and a - i*b = (a.re + b.im, a.im - b.re),
// one alternating addition each (the multiplication by one is exact).
inline cv2 add_i(cv2 a, cv2 b) { return {_mm256_addsub_pd(a.v, flip(b).v)}; }
inline cv2 sub_i(cv2 a, cv2 b) { return {_mm256_fmsubadd_pd(a.v, _mm256_set1_pd(1.0), flip(b).v)}; }
// Value by value complex product a*w.
inline cv2 cmul(cv2 a, cv2 w) {
  const __m256d wr = _mm256_movedup_pd(w.v);
  const __m256d wi = _mm256_permute_pd(w.v, 0xF);
  return {_mm256_fmaddsub_pd(a.v, wr, _mm256_mul_pd(flip(a).v, wi))};
}
inline cv2 csqr(cv2 a) { return cmul(a, a); }
// Exchanges value 0 and value 1.
inline cv2 swap(cv2 a) { return {_mm256_permute2f128_pd(a.v, a.v, 1)}; }
// load and store with the two values exchanged
inline cv2 load_swapped(const double* p) { return swap(load(p)); }
inline void store_swapped(double* p, cv2 x) { store(p, swap(x)); }
// zeta*a and zeta^3*a, zeta = exp(i pi/4) = (1 + i) sqrt(1/2)
inline cv2 mul_zeta(cv2 a) { return scale(add_i(a, a), kH); }
inline cv2 mul_zeta3(cv2 a) { return scale(sub_i(a, a), -kH); }

// cm2: the same two values as they lie in memory, for sums and differences
// that need no split; here that is cv2 itself.
using cm2 = cv2;
inline cm2 load_mem(const double* p) { return load(p); }
inline void store_mem(double* p, cm2 x) { store(p, x); }
inline cv2 split(cm2 x) { return x; }
inline cm2 conj_mem(cm2 x) { return conj(x); }
// zip0 (value 0 of a, value 0 of b) and zip1 (value 1 of a, value 1 of b):
// a 2 x 2 transposition of values, as the bit reversal needs it.
inline cm2 zip0(cm2 a, cm2 b) { return {_mm256_permute2f128_pd(a.v, b.v, 0x20)}; }
inline cm2 zip1(cm2 a, cm2 b) { return {_mm256_permute2f128_pd(a.v, b.v, 0x31)}; }

// Butterflies across the two values (x0, x1) of one vector, stored at p:
// store_fold (x0 + x1, x0 - x1), store_fold_i (x0 + i x1, x0 - i x1),
// store_fold_zeta (x0 + zeta x1, x0 - zeta x1), store_fold_zeta3 likewise
// with zeta^3. fold: the same (x0 + x1, x0 - x1) as a register, the
// exchanged vector plus x times (1, -1), exact; the others first multiply
// value 1 in place, its parts exchanged within their lane. join: value 0 of
// lo with value 1 of hi.
inline cv2 fold(cv2 x) { return {_mm256_fmadd_pd(x.v, _mm256_set_pd(-1.0, -1.0, 1.0, 1.0), swap(x).v)}; }
inline cv2 join(cv2 lo, cv2 hi) { return {_mm256_blend_pd(lo.v, hi.v, 0xC)}; }
// (re0, im0, im1, re1)
inline __m256d flip1(cv2 x) { return _mm256_permute_pd(x.v, 0x6); }
inline void store_fold(double* p, cv2 x) { store(p, fold(x)); }
// (x0, i x1) = (re0, im0, -im1, re1)
inline void store_fold_i(double* p, cv2 x) {
  store(p, fold({_mm256_xor_pd(flip1(x), _mm256_set_pd(0.0, -0.0, 0.0, 0.0))}));
}
// (x0, zeta x1) = (re0, im0, kH (re1 - im1), kH (re1 + im1)), and with zeta^3
// (re0, im0, kH (-re1 - im1), kH (re1 - im1)).
inline void store_fold_zeta(double* p, cv2 x) {
  const __m256d y = _mm256_mul_pd(x.v, _mm256_set_pd(kH, kH, 1.0, 1.0));
  store(p, fold({_mm256_fmadd_pd(flip1(x), _mm256_set_pd(kH, -kH, 0.0, 0.0), y)}));
}
inline void store_fold_zeta3(double* p, cv2 x) {
  const __m256d y = _mm256_mul_pd(x.v, _mm256_set_pd(-kH, -kH, 1.0, 1.0));
  store(p, fold({_mm256_fmadd_pd(flip1(x), _mm256_set_pd(kH, -kH, 0.0, 0.0), y)}));
}

// The largest block (doubles) transformed whole in registers: 64 doubles are
// 16 registers (the 128-double block, 32 vectors, would spill).
constexpr int32_t kRegsBlockMax = 64;
// The largest block (doubles) whose stage is straight-line code with its
// twiddles as constants: products read them from memory at no cost in
// instructions here, so up to 512 doubles that beats the chains.
constexpr int32_t kStraightStageMax = 512;
// The looping stages' back twiddles: a blend of two front ones costs one
// instruction per part here, cheaper than chains of their own.
constexpr bool kBackChains = false;

// tw2: a pair of twiddles (unit roots), held for products: the real parts
// (c0, c0, c1, c1) and the imaginary parts (s0, s0, s1, s1), so a product
// takes no shuffles of the twiddle.
struct tw2 {
  __m256d re, im;
};
inline tw2 make_tw(cpx lo, cpx hi) { return {_mm256_set_pd(hi.re, hi.re, lo.re, lo.re), _mm256_set_pd(hi.im, hi.im, lo.im, lo.im)}; }
inline cv2 cmul(cv2 a, tw2 w) { return {_mm256_fmaddsub_pd(a.v, w.re, _mm256_mul_pd(flip(a).v, w.im))}; }
// a conj(w), for the transposed stages
inline cv2 cmulc(cv2 a, tw2 w) { return {_mm256_fmsubadd_pd(a.v, w.re, _mm256_mul_pd(flip(a).v, w.im))}; }
// p + t i c, fused
inline tw2 step(tw2 p, tw2 c, double t) {
  const __m256d tv = _mm256_set1_pd(t);
  return {_mm256_fnmadd_pd(c.im, tv, p.re), _mm256_fmadd_pd(c.re, tv, p.im)};
}
inline tw2 join(tw2 lo, tw2 hi) { return {_mm256_blend_pd(lo.re, hi.re, 0xC), _mm256_blend_pd(lo.im, hi.im, 0xC)}; }
inline tw2 flip(tw2 a) { return {a.im, a.re}; }
inline tw2 neg(tw2 a) { return {_mm256_xor_pd(a.re, _mm256_set1_pd(-0.0)), _mm256_xor_pd(a.im, _mm256_set1_pd(-0.0))}; }
// zeta conj(w) = kH (c + s, c - s) and zeta^3 conj(w) = kH (s - c, c + s)
inline tw2 zeta_conj(tw2 w) {
  const __m256d h = _mm256_set1_pd(kH);
  return {_mm256_mul_pd(_mm256_add_pd(w.re, w.im), h), _mm256_mul_pd(_mm256_sub_pd(w.re, w.im), h)};
}
inline tw2 zeta3_conj(tw2 w) {
  const __m256d h = _mm256_set1_pd(kH);
  return {_mm256_mul_pd(_mm256_sub_pd(w.im, w.re), h), _mm256_mul_pd(_mm256_add_pd(w.re, w.im), h)};
}

#else  // AArch64

struct cv2 {
  float64x2_t re, im;
};

inline cv2 load(const double* p) {
  const float64x2x2_t t = vld2q_f64(p);
  return {t.val[0], t.val[1]};
}
inline void store(double* p, cv2 x) {
#if defined(__clang__)
  float64x2x2_t t;
  t.val[0] = x.re;
  t.val[1] = x.im;
  vst2q_f64(p, t);
#else
  // GCC 12 builds the register pair of vst2q_f64 in memory: interleave by hand.
  vst1q_f64(p, vzip1q_f64(x.re, x.im));
  vst1q_f64(p + 2, vzip2q_f64(x.re, x.im));
#endif
}
inline float64x2_t lanes(double a, double b) { return float64x2_t{a, b}; }
inline cv2 make(cpx lo, cpx hi) { return {lanes(lo.re, hi.re), lanes(lo.im, hi.im)}; }
inline cv2 operator+(cv2 a, cv2 b) { return {a.re + b.re, a.im + b.im}; }
inline cv2 operator-(cv2 a, cv2 b) { return {a.re - b.re, a.im - b.im}; }
inline cv2 neg(cv2 a) { return {-a.re, -a.im}; }
inline cv2 conj(cv2 a) { return {a.re, -a.im}; }
inline cv2 mul_i(cv2 a) { return {-a.im, a.re}; }
inline cv2 add_i(cv2 a, cv2 b) { return {a.re - b.im, a.im + b.re}; }
inline cv2 sub_i(cv2 a, cv2 b) { return {a.re + b.im, a.im - b.re}; }
inline cv2 cmul(cv2 a, cv2 w) {
  return {vfmsq_f64(a.re * w.re, a.im, w.im), vfmaq_f64(a.re * w.im, a.im, w.re)};
}
inline cv2 csqr(cv2 a) { return {(a.re - a.im) * (a.re + a.im), (a.re + a.re) * a.im}; }
// The exchange folds into the (de-)interleaving.
inline cv2 load_swapped(const double* p) {
  const float64x2_t v0 = vld1q_f64(p), v1 = vld1q_f64(p + 2);
  return {vuzp1q_f64(v1, v0), vuzp2q_f64(v1, v0)};
}
inline void store_swapped(double* p, cv2 x) {
  vst1q_f64(p, vzip2q_f64(x.re, x.im));
  vst1q_f64(p + 2, vzip1q_f64(x.re, x.im));
}
inline cv2 mul_zeta(cv2 a) { return {(a.re - a.im) * kH, (a.re + a.im) * kH}; }
inline cv2 mul_zeta3(cv2 a) { return {(a.re + a.im) * -kH, (a.re - a.im) * kH}; }

// cm2: the two values as they lie in memory, one (re, im) register each, for
// sums and differences that need no split: plain loads and stores, and the
// split (two unzips) only where a product follows.
struct cm2 {
  float64x2_t v0, v1;
};
inline cm2 load_mem(const double* p) { return {vld1q_f64(p), vld1q_f64(p + 2)}; }
inline void store_mem(double* p, cm2 x) {
  vst1q_f64(p, x.v0);
  vst1q_f64(p + 2, x.v1);
}
inline cm2 operator+(cm2 a, cm2 b) { return {a.v0 + b.v0, a.v1 + b.v1}; }
inline cm2 operator-(cm2 a, cm2 b) { return {a.v0 - b.v0, a.v1 - b.v1}; }
inline cv2 split(cm2 x) { return {vuzp1q_f64(x.v0, x.v1), vuzp2q_f64(x.v0, x.v1)}; }
inline cm2 conj_mem(cm2 x) { return {x.v0 * lanes(1.0, -1.0), x.v1 * lanes(1.0, -1.0)}; }
inline cm2 zip0(cm2 a, cm2 b) { return {a.v0, b.v0}; }
inline cm2 zip1(cm2 a, cm2 b) { return {a.v1, b.v1}; }

// The folds take x0 and x1 back to interleaved (re, im) registers first, so
// the two results are stored as they are.
inline void store_values(double* p, float64x2_t v0, float64x2_t v1) {
  vst1q_f64(p, v0);
  vst1q_f64(p + 2, v1);
}
inline void store_fold(double* p, cv2 x) {
  const float64x2_t x0 = vzip1q_f64(x.re, x.im), x1 = vzip2q_f64(x.re, x.im);
  store_values(p, x0 + x1, x0 - x1);
}
// i x1 = (-i1, r1)
inline void store_fold_i(double* p, cv2 x) {
  const float64x2_t x0 = vzip1q_f64(x.re, x.im), y = vzip2q_f64(-x.im, x.re);
  store_values(p, x0 + y, x0 - y);
}
// zeta x1 = kH (r1 - i1, r1 + i1); zeta^3 x1 = kH (-(r1 + i1), r1 - i1)
inline void store_fold_zeta(double* p, cv2 x) {
  const float64x2_t x0 = vzip1q_f64(x.re, x.im), y = vzip2q_f64(x.re - x.im, x.re + x.im) * kH;
  store_values(p, x0 + y, x0 - y);
}
inline void store_fold_zeta3(double* p, cv2 x) {
  const float64x2_t x0 = vzip1q_f64(x.re, x.im);
  const float64x2_t y = vzip2q_f64(x.re + x.im, x.re - x.im) * lanes(-kH, kH);
  store_values(p, x0 + y, x0 - y);
}
// fold: (x0 + x1, x0 - x1) as a register; join: value 0 of lo with value 1 of hi.
inline cv2 fold(cv2 x) {
  const float64x2_t sign = lanes(1.0, -1.0);
  return {vfmaq_f64(vdupq_laneq_f64(x.re, 0), vdupq_laneq_f64(x.re, 1), sign),
          vfmaq_f64(vdupq_laneq_f64(x.im, 0), vdupq_laneq_f64(x.im, 1), sign)};
}
inline cv2 join(cv2 lo, cv2 hi) { return {vcopyq_laneq_f64(lo.re, 1, hi.re, 1), vcopyq_laneq_f64(lo.im, 1, hi.im, 1)}; }

// The largest block (doubles) transformed whole in registers: 64 doubles
// fill the 32 registers.
constexpr int32_t kRegsBlockMax = 64;
// Each constant twiddle pair costs two loads here. Measured in executed
// instructions of a 2^21-double transform: GCC 12's chains take fewer beyond
// 128 doubles (a 512-double block 6553 against 6955), clang 14's more (5919
// against 6183 with chains).
#if defined(__clang__)
constexpr int32_t kStraightStageMax = 512;
#else
constexpr int32_t kStraightStageMax = 128;
#endif
// A lane insert overwrites its operand, so blending two front twiddles costs
// two instructions per part here; chains of their own cost one.
constexpr bool kBackChains = true;

// tw2: a pair of twiddles held for products; here split like cv2.
struct tw2 {
  float64x2_t re, im;
};
inline tw2 make_tw(cpx lo, cpx hi) { return {lanes(lo.re, hi.re), lanes(lo.im, hi.im)}; }
inline cv2 cmul(cv2 a, tw2 w) { return cmul(a, cv2{w.re, w.im}); }
inline cv2 cmulc(cv2 a, tw2 w) { return {a.re * w.re + a.im * w.im, a.im * w.re - a.re * w.im}; }
inline tw2 step(tw2 p, tw2 c, double t) { return {vfmsq_n_f64(p.re, c.im, t), vfmaq_n_f64(p.im, c.re, t)}; }
inline tw2 join(tw2 lo, tw2 hi) { return {vcopyq_laneq_f64(lo.re, 1, hi.re, 1), vcopyq_laneq_f64(lo.im, 1, hi.im, 1)}; }
inline tw2 flip(tw2 a) { return {a.im, a.re}; }
inline tw2 neg(tw2 a) { return {-a.re, -a.im}; }
inline tw2 zeta_conj(tw2 w) { return {(w.re + w.im) * kH, (w.re - w.im) * kH}; }
inline tw2 zeta3_conj(tw2 w) { return {(w.im - w.re) * kH, (w.re + w.im) * kH}; }

#endif

// a conj(w) for a twiddle pair held as a vector (the chains' twiddles have
// the type's own cmulc).
inline cv2 cmulc(cv2 a, cv2 w) { return cmul(a, conj(w)); }

}  // namespace
}  // namespace fftv

#endif  // MORLANT_FFT_FFT_VEC_H
