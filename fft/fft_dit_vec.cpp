// Vectorised adjoint stages and leaves (fft_dit.h), written against cv2 like
// the forward ones in fft_vec.cpp, with the same twiddles; the portable forms
// in fft_dit.cpp are the reference they are tested against.
#include "fft/fft_dit.h"

#ifdef MORLANT_FFT_HAVE_VEC

#include <cstddef>
#include <utility>

#include "fft/fft_dit_butterfly.h"
#include "fft/fft_vec_loop.h"
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

// a conj(w) for a twiddle held as a vector (the straight-line stages' and
// the leaves' constants); the chains' twiddles use the type's own cmulc.
inline cv2 cmulc(cv2 a, cv2 w) { return cmul(a, conj(w)); }

// The adjoint butterflies on a ... d as loaded, (w1, w3) the forward
// butterfly's twiddles.
template <bool Odd, class W>
inline void adj_twiddled(cv2& a, cv2& b, cv2& c, cv2& d, W w1, W w3) {
  if (Odd) {
    a = cmulc(a, w1);
    b = cmulc(b, w1);
    c = cmulc(c, w3);
    d = cmulc(d, w3);
    adj_odd(a, b, c, d);
  } else {
    c = cmulc(c, w1);
    d = cmulc(d, w3);
    adj_plain(a, b, c, d);
  }
}

// The adjoint butterflies on the vector at p (two values) of a block whose
// quarters are s doubles apart.
template <bool Odd, class W>
inline void adj_at(double* p, std::size_t s, W w1, W w3) {
  cv2 a = load(p), b = load(p + s), c = load(p + 2 * s), d = load(p + 3 * s);
  adj_twiddled<Odd>(a, b, c, d, w1, w3);
  store(p, a);
  store(p + s, b);
  store(p + 2 * s, c);
  store(p + 3 * s, d);
}

// Stages up to kStraightStageMax doubles: straight-line, compile-time twiddles.
template <bool Odd, long M, long... P>
inline void small_adj(double* z, std::integer_sequence<long, P...>) {
  constexpr std::size_t s = M / 2;  // doubles between quarters
  (adj_at<Odd>(z + 4 * P, s, stage_w1<Odd, M, P>(), stage_w3<Odd, M, P>()), ...);
}

template <bool Odd>
void dit_stage(int32_t n, double* z) {
  if (n > kStraightStageMax)
    return loop_stage_walk<Odd>(n, z, [](double* p, std::size_t s, tw2 w1, tw2 w3) { adj_at<Odd>(p, s, w1, w3); });
  switch (n) {
    case 64: return small_adj<Odd, 32>(z, std::make_integer_sequence<long, 4>());
    case 128: return small_adj<Odd, 64>(z, std::make_integer_sequence<long, 8>());
    case 256: return small_adj<Odd, 128>(z, std::make_integer_sequence<long, 16>());
    default: return small_adj<Odd, 256>(z, std::make_integer_sequence<long, 32>());
  }
}

// The plain forward stage with c = d = 0 (fft_dit.h): a + b, a - b,
// (a + ib) w1, (a - ib) w3, every index on the chains' twiddles; then index 0
// takes the one value of the upper half, the real part r of value 2Q, read
// first: a + r, b + r... as the butterfly with c = r (w^0 = 1 on both).
template <class W>
inline void half_at(double* p, std::size_t s, W w1, W w3) {
  const cv2 a = load(p), b = load(p + s), ib = mul_i(b);
  store(p, a + b);
  store(p + s, a - b);
  store(p + 2 * s, cmul(a + ib, w1));
  store(p + 3 * s, cmul(a - ib, w3));
}

template <long... P>
inline void small_half(double* z, std::size_t s, std::integer_sequence<long, P...>) {
  constexpr long M = sizeof...(P) * 8;
  (half_at(z + 4 * P, s, stage_w1<false, M, P>(), stage_w3<false, M, P>()), ...);
}

void half_stage(int32_t n, double* z) {
  const std::size_t q = static_cast<std::size_t>(n) / 8;
  const double r = z[4 * q];
  switch (n > kStraightStageMax ? 0 : n) {
    case 0:
      loop_stage_walk<false>(n, z, [](double* p, std::size_t s, tw2 w1, tw2 w3) { half_at(p, s, w1, w3); });
      break;
    case 64: small_half(z, 2 * q, std::make_integer_sequence<long, 4>()); break;
    case 128: small_half(z, 2 * q, std::make_integer_sequence<long, 8>()); break;
    case 256: small_half(z, 2 * q, std::make_integer_sequence<long, 16>()); break;
    default: small_half(z, 2 * q, std::make_integer_sequence<long, 32>()); break;
  }
  z[0] += r;
  z[2 * q] += r;
  z[4 * q] -= r;
  z[6 * q] -= r;
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
