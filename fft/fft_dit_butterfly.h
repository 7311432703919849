// Adjoint radix-4 butterflies (see fft_dit.h), scalar: the portable adjoint
// stages and leaves, and the single-value butterflies of the vectorised ones.
// Internal header of fft/.
#ifndef MORLANT_FFT_FFT_DIT_BUTTERFLY_H
#define MORLANT_FFT_FFT_DIT_BUTTERFLY_H

#include <cstddef>

#include "fft/fft_butterfly.h"

namespace fftk {
namespace {

// -i x
inline cpx mul_neg_i(cpx x) { return {x.im, -x.re}; }
// conj(zeta) x and conj(zeta^3) x
inline cpx mul_zeta7(cpx x) { return {kSqrtHalf * (x.re + x.im), kSqrtHalf * (x.im - x.re)}; }
inline cpx mul_zeta5(cpx x) { return {kSqrtHalf * (x.im - x.re), -kSqrtHalf * (x.re + x.im)}; }

// The conjugate transposes of plain4 and odd4 (fft_butterfly.h).
inline quad plain4_adj(cpx p0, cpx p1, cpx p2, cpx p3) {
  const cpx u0 = p0 + p1, u1 = p0 - p1, v0 = p2 + p3, v1 = p2 - p3;
  return {u0 + v0, sub_i(u1, v1), u0 - v0, add_i(u1, v1)};
}
inline quad odd4_adj(cpx p0, cpx p1, cpx p2, cpx p3) {
  const cpx u = p0 + p1, u2 = p2 + p3;
  const cpx e = mul_zeta7(p0 - p1), f = mul_zeta5(p2 - p3);
  return {u + u2, e + f, mul_neg_i(u - u2), mul_neg_i(e - f)};
}

// Adjoint butterflies at index j of a block with quarter size q; (w1, w3) are
// the forward butterfly's twiddles, conjugated here.
inline void plain_adj(double* z, std::size_t j, std::size_t q, cpx w1, cpx w3) {
  const quad x = load_quad(z, j, q);
  store_quad(z, j, q, plain4_adj(x.p0, x.p1, mul(x.p2, conj(w1)), mul(x.p3, conj(w3))));
}
inline void plain_adj0(double* z, std::size_t j, std::size_t q) {
  const quad x = load_quad(z, j, q);
  store_quad(z, j, q, plain4_adj(x.p0, x.p1, x.p2, x.p3));
}
inline void odd_adj(double* z, std::size_t j, std::size_t q, cpx v1, cpx v3) {
  const quad x = load_quad(z, j, q);
  const cpx c1 = conj(v1), c3 = conj(v3);
  store_quad(z, j, q, odd4_adj(mul(x.p0, c1), mul(x.p1, c1), mul(x.p2, c3), mul(x.p3, c3)));
}
inline void odd_adj0(double* z, std::size_t j, std::size_t q) {
  const quad x = load_quad(z, j, q);
  store_quad(z, j, q, odd4_adj(x.p0, x.p1, x.p2, x.p3));
}

}  // namespace
}  // namespace fftk

#endif  // MORLANT_FFT_FFT_DIT_BUTTERFLY_H
