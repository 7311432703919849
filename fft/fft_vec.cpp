// Vectorised forms of the radix-4 stages and the leaves, written once against
// the two-value vector cv2 (fft_vec.h): AVX2/FMA on x86-64 (compiled with
// -mavx2 -mfma, used only when the processor has both), Advanced SIMD on
// AArch64 (always used). The portable forms in fft.cpp and fft_leaf.cpp are
// the reference they are tested against.
//
// The pair of front indices (j, j+1) of a stage is one vector, and so is its
// mirror pair (Q-j-1, Q-j) in address order. Twiddles follow the same
// chains, refresh points and mirror relations as the portable stage.
#include "fft/fft_simd.h"

#ifdef MORLANT_FFT_HAVE_VEC

#include <cstddef>

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
  cv2 a = load(p), b = load(p + s), c = load(p + 2 * s), d = load(p + 3 * s);
  if (Conj) {
    a = conj(a);
    b = conj(b);
    c = conj(c);
    d = conj(d);
  }
  if (Odd) bfly_odd(a, b, c, d, w1, w3);
  else bfly_plain(a, b, c, d, w1, w3);
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
        const cv2 w1 = make(a0, a1), w3 = make(b0, b1);
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

// Four-value quarter held as (x0, x1), (x2, x3): a stage with Q = 1.
inline void four_plain(cv2& x01, cv2& x23) {
  const cv2 p = x01 + x23;  // (a + c, b + d)
  const cv2 m = x01 - x23;  // (a - c, b - d)
  x01 = fold(p);
  x23 = fold_i(m);
}
inline void four_odd(cv2& x01, cv2& x23) {
  const cv2 ix = mul_i(x23);
  const cv2 y = x01 + ix;  // (a + ic, b + id)
  const cv2 m = x01 - ix;  // (a - ic, b - id)
  x01 = fold_zeta(y);
  x23 = fold_zeta3(m);
}

constexpr double kC8 = fftk::kCos8, kS8 = fftk::kSin8, kC16 = fftk::kCos16, kS16 = fftk::kSin16,
                 kC316 = fftk::kCos3_16, kS316 = fftk::kSin3_16;

template <bool Odd>
void leaf8(double* z) {
  cv2 a = load(z), b = load(z + 4), c = load(z + 8), d = load(z + 12);
  if (Odd) bfly_odd(a, b, c, d, make(1, 0, kC8, kS8), make(1, 0, kS8, kC8));
  else bfly_plain(a, b, c, d, make(1, 0, kH, kH), make(1, 0, -kH, kH));
  // Two-value quarters: plain, odd, plain, and plain or odd.
  store(z, fold(a));
  store(z + 4, fold_i(b));
  store(z + 8, fold(c));
  store(z + 12, Odd ? fold_i(d) : fold(d));
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
  four_plain(a0, a1);
  four_odd(b0, b1);
  four_plain(c0, c1);
  if (Odd) four_odd(d0, d1);
  else four_plain(d0, d1);
  store(z, a0);
  store(z + 4, a1);
  store(z + 8, b0);
  store(z + 12, b1);
  store(z + 16, c0);
  store(z + 20, c1);
  store(z + 24, d0);
  store(z + 28, d1);
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
