// Vectorised adjoint stages and leaves (fft_dit.h), written against cv2 like
// the forward ones in fft_vec.cpp, with the same twiddles; the portable forms
// in fft_dit.cpp are the reference they are tested against.
#include "fft/fft_dit.h"

#ifdef MORLANT_FFT_HAVE_VEC

#include <cstddef>
#include <utility>

#include "fft/fft_dit_butterfly.h"
#include "fft/fft_vec_stage.h"

namespace {

using fftk::cpx;
using namespace fftv;

// Adjoint butterflies on p0 ... p3 (in a ... d) whose twiddles are already
// undone. Plain: u0 = p0 + p1, u1 = p0 - p1, v = i (p2 - p3).
inline void adj_plain(cv2& a, cv2& b, cv2& c, cv2& d) {
  const cv2 u0 = a + b, u1 = a - b, v0 = c + d, v = mul_i(c - d);
  a = u0 + v0;
  b = u1 - v;
  c = u0 - v0;
  d = u1 + v;
}
// Odd: e = conj(zeta) (p0 - p1) = zeta^3 (p1 - p0), f = conj(zeta^3) (p2 - p3)
// = zeta (p3 - p2); c = -i (U - U') = i (U' - U), d = -i (e - f) = i (f - e).
inline void adj_odd(cv2& a, cv2& b, cv2& c, cv2& d) {
  const cv2 u = a + b, u2 = c + d;
  const cv2 e = mul_zeta3(b - a), f = mul_zeta(d - c);
  a = u + u2;
  b = e + f;
  c = mul_i(u2 - u);
  d = mul_i(f - e);
}

// The adjoint butterflies on a ... d as loaded, (w1, w3) the forward
// butterfly's twiddles.
template <bool Odd>
inline void adj_twiddled(cv2& a, cv2& b, cv2& c, cv2& d, cv2 w1, cv2 w3) {
  const cv2 c1 = conj(w1), c3 = conj(w3);
  if (Odd) {
    a = cmul(a, c1);
    b = cmul(b, c1);
    c = cmul(c, c3);
    d = cmul(d, c3);
    adj_odd(a, b, c, d);
  } else {
    c = cmul(c, c1);
    d = cmul(d, c3);
    adj_plain(a, b, c, d);
  }
}

// The adjoint butterflies at value index j (two values) of a block with
// quarter size q; (w1, w3) are the forward stage's twiddles there.
template <bool Odd>
inline void adj_vec(double* z, std::size_t j, std::size_t q, cv2 w1, cv2 w3) {
  double* p = z + 2 * j;
  const std::size_t s = 2 * q;
  cv2 a = load(p), b = load(p + s), c = load(p + 2 * s), d = load(p + 3 * s);
  adj_twiddled<Odd>(a, b, c, d, w1, w3);
  store(p, a);
  store(p + s, b);
  store(p + 2 * s, c);
  store(p + 3 * s, d);
}

// Stages on 64 and 128 doubles: straight-line, compile-time twiddles.
template <bool Odd, long M, long... P>
inline void small_adj(double* z, std::integer_sequence<long, P...>) {
  constexpr std::size_t q = M / 4;
  (adj_vec<Odd>(z, static_cast<std::size_t>(2 * P), q, stage_w1<Odd, M, P>(), stage_w3<Odd, M, P>()), ...);
}

template <bool Odd>
void dit_stage(int32_t n, double* z) {
  if (n == 64) return small_adj<Odd, 32>(z, std::make_integer_sequence<long, 4>());
  if (n == 128) return small_adj<Odd, 64>(z, std::make_integer_sequence<long, 8>());
  const std::size_t q = static_cast<std::size_t>(n) / 8;
  const std::size_t half = q / 2;
  // Index 0 and the middle three are single values: the scalar butterflies.
  if (Odd) fftk::odd_adj0(z, 0, q);
  else fftk::plain_adj0(z, 0, q);
  stage_twiddles_vec<Odd>(
      n,
      [&](std::size_t j, cv2 w1, cv2 w3) {
        adj_vec<Odd>(z, j, q, w1, w3);
        adj_vec<Odd>(z, q - j - 1, q, mirror1<Odd>(w1), mirror3<Odd>(w3));
      },
      [&](cpx a, cpx b, cpx c, cpx d) {
        if (Odd) {
          fftk::odd_adj(z, half - 1, q, a, b);
          fftk::odd_adj(z, half, q, c, d);
          fftk::odd_adj(z, half + 1, q, fftk::mul_zeta(fftk::conj(a)), fftk::mul_zeta3(fftk::conj(b)));
        } else {
          fftk::plain_adj(z, half - 1, q, a, b);
          fftk::plain_adj(z, half, q, cpx{c.re, c.re}, cpx{-c.re, c.re});
          fftk::plain_adj(z, half + 1, q, cpx{a.im, a.re}, cpx{-b.im, -b.re});
        }
      });
}

// The plain forward stage with c = d = 0 (fft_dit.h): a + b, a - b,
// (a + ib) w1, (a - ib) w3; the single values as the portable form.
inline void half_vec(double* z, std::size_t j, std::size_t q, cv2 w1, cv2 w3) {
  double* p = z + 2 * j;
  const std::size_t s = 2 * q;
  const cv2 a = load(p), b = load(p + s), ib = mul_i(b);
  store(p, a + b);
  store(p + s, a - b);
  store(p + 2 * s, cmul(a + ib, w1));
  store(p + 3 * s, cmul(a - ib, w3));
}
inline void half_one(double* z, std::size_t j, std::size_t q, cpx w1, cpx w3) {
  const cpx a = fftk::load(z, j), b = fftk::load(z, j + q);
  fftk::store_quad(z, j, q, {a + b, a - b, fftk::mul(fftk::add_i(a, b), w1), fftk::mul(fftk::sub_i(a, b), w3)});
}

void half_stage(int32_t n, double* z) {
  const std::size_t q = static_cast<std::size_t>(n) / 8;
  const std::size_t half = q / 2;
  fftk::store_quad(z, 0, q, fftk::plain4(fftk::load(z, 0), fftk::load(z, q), cpx{z[4 * q], 0.0}, cpx{0.0, 0.0}));
  stage_twiddles_vec<false>(
      n,
      [&](std::size_t j, cv2 w1, cv2 w3) {
        half_vec(z, j, q, w1, w3);
        half_vec(z, q - j - 1, q, mirror1<false>(w1), mirror3<false>(w3));
      },
      [&](cpx a, cpx b, cpx c, cpx) {
        half_one(z, half - 1, q, a, b);
        half_one(z, half, q, cpx{c.re, c.re}, cpx{-c.re, c.re});
        half_one(z, half + 1, q, cpx{a.im, a.re}, cpx{-b.im, -b.re});
      });
}

// ---- Leaves: adjoints of the two-value folds on loading, then the stage ----

// (y0 + y1, m (y0 - y1)) for the folds (x0 + m' x1, x0 - m' x1) with m' = 1,
// i, zeta, zeta^3 (m = conj(m')).
inline cv2 load_fold(const double* p) { return fold(load(p)); }
inline cv2 load_fold_i(const double* p) {
  const cv2 f = fold(load(p));
  return join(f, neg(mul_i(f)));
}
inline cv2 load_fold_zeta(const double* p) {
  const cv2 f = fold(load(p));
  return join(f, neg(mul_zeta3(f)));
}
inline cv2 load_fold_zeta3(const double* p) {
  const cv2 f = fold(load(p));
  return join(f, neg(mul_zeta(f)));
}
// Four-value quarters (the adjoints of a stage with Q = 1 and its folds).
inline void load_four_plain(const double* z, cv2& x01, cv2& x23) {
  const cv2 g = load_fold(z), h = load_fold_i(z + 4);
  x01 = g + h;
  x23 = g - h;
}
inline void load_four_odd(const double* z, cv2& x01, cv2& x23) {
  const cv2 g = load_fold_zeta(z), h = load_fold_zeta3(z + 4);
  x01 = g + h;
  x23 = mul_i(h - g);
}

constexpr double kC8 = fftk::kCos8, kS8 = fftk::kSin8, kC16 = fftk::kCos16, kS16 = fftk::kSin16,
                 kC316 = fftk::kCos3_16, kS316 = fftk::kSin3_16;

// The adjoint leaf of 8 values at z into registers x[0 .. 3].
template <bool Odd>
inline void leaf8_regs(const double* z, cv2* x) {
  x[0] = load_fold(z);
  x[1] = load_fold_i(z + 4);
  x[2] = load_fold(z + 8);
  x[3] = Odd ? load_fold_i(z + 12) : load_fold(z + 12);
  if (Odd) adj_twiddled<true>(x[0], x[1], x[2], x[3], make(1, 0, kC8, kS8), make(1, 0, kS8, kC8));
  else adj_twiddled<false>(x[0], x[1], x[2], x[3], make(1, 0, kH, kH), make(1, 0, -kH, kH));
}

template <long... I>
inline void store_regs(double* z, const cv2* x, std::integer_sequence<long, I...>) {
  (store(z + 4 * I, x[I]), ...);
}

template <bool Odd>
void leaf8(double* z) {
  cv2 x[4];
  leaf8_regs<Odd>(z, x);
  store_regs(z, x, std::make_integer_sequence<long, 4>());
}

template <bool Odd>
void leaf16(double* z) {
  cv2 a0, a1, b0, b1, c0, c1, d0, d1;
  load_four_plain(z, a0, a1);
  load_four_odd(z + 8, b0, b1);
  load_four_plain(z + 16, c0, c1);
  if (Odd) load_four_odd(z + 24, d0, d1);
  else load_four_plain(z + 24, d0, d1);
  if (Odd) {
    adj_twiddled<true>(a0, b0, c0, d0, make(1, 0, kC16, kS16), make(1, 0, kC316, kS316));
    adj_twiddled<true>(a1, b1, c1, d1, make(kC8, kS8, kC316, kS316), make(kS8, kC8, -kS16, kC16));
  } else {
    adj_twiddled<false>(a0, b0, c0, d0, make(1, 0, kC8, kS8), make(1, 0, kS8, kC8));
    adj_twiddled<false>(a1, b1, c1, d1, make(kH, kH, kS8, kC8), make(-kH, kH, -kC8, -kS8));
  }
  store(z, a0);
  store(z + 4, a1);
  store(z + 8, b0);
  store(z + 12, b1);
  store(z + 16, c0);
  store(z + 20, c1);
  store(z + 24, d0);
  store(z + 28, d1);
}

// ---- Whole blocks ----

// The adjoint of a block of 64 doubles whole in registers: the four adjoint
// leaves (plain, odd, plain, the block's kind), then the stage's adjoint.
template <bool Odd, long... P>
inline void adj_regs32(cv2* x, std::integer_sequence<long, P...>) {
  (adj_twiddled<Odd>(x[P], x[4 + P], x[8 + P], x[12 + P], stage_w1<Odd, 32, P>(), stage_w3<Odd, 32, P>()), ...);
}
template <bool Odd>
inline void block64(double* z) {
  cv2 x[16];
  leaf8_regs<false>(z, x);
  leaf8_regs<true>(z + 16, x + 4);
  leaf8_regs<false>(z + 32, x + 8);
  leaf8_regs<Odd>(z + 48, x + 12);
  adj_regs32<Odd>(x, std::make_integer_sequence<long, 4>());
  store_regs(z, x, std::make_integer_sequence<long, 16>());
}

// A block of n >= 64 doubles: its quarters, then its stage.
template <bool Odd>
void block(int32_t n, double* z) {
  if (n == 64) return block64<Odd>(z);
  const int32_t qd = n / 4;
  const std::size_t s = static_cast<std::size_t>(qd);
  if (qd < 64) {
    leaf16<false>(z);
    leaf16<true>(z + s);
    leaf16<false>(z + 2 * s);
    leaf16<Odd>(z + 3 * s);
  } else {
    block<false>(qd, z);
    block<true>(qd, z + s);
    block<false>(qd, z + 2 * s);
    block<Odd>(qd, z + 3 * s);
  }
  dit_stage<Odd>(n, z);
}

}  // namespace

void fft_inverse_scrambled_vec(int32_t n, double* data) { block<false>(n, data); }

void fft_half_stage_vec(int32_t n, double* data) { half_stage(n, data); }
void fft_dit_stage_vec(int32_t n, double* block) { dit_stage<false>(n, block); }
void fft_odd_dit_stage_vec(int32_t n, double* block) { dit_stage<true>(n, block); }
void fft_dit_leaf8_vec(double* block) { leaf8<false>(block); }
void fft_dit_leaf16_vec(double* block) { leaf16<false>(block); }
void fft_odd_dit_leaf8_vec(double* block) { leaf8<true>(block); }
void fft_odd_dit_leaf16_vec(double* block) { leaf16<true>(block); }

#endif
