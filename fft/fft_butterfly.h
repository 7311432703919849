// Radix-4 butterflies shared by the FFT stages and the leaf kernels.
//
// A block of M complex values is viewed as four quarters of Q = M/4 values;
// a butterfly at index j combines a = z[j], b = z[j+Q], c = z[j+2Q],
// d = z[j+3Q] and writes the four results back to the same places.
// Internal header of fft/.
#ifndef MORLANT_FFT_FFT_BUTTERFLY_H
#define MORLANT_FFT_FFT_BUTTERFLY_H

#include <cstddef>

namespace fftk {
// Internal linkage on purpose: the vectorised stages are compiled with other
// instruction-set flags, and their copies of these helpers must never be the
// ones the portable code links to.
namespace {

constexpr double kSqrtHalf = 0.7071067811865476;   // cos(pi/4)
constexpr double kCos8 = 0.9238795325112867;       // cos(pi/8)
constexpr double kSin8 = 0.3826834323650898;       // sin(pi/8)
constexpr double kCos16 = 0.9807852804032304;      // cos(pi/16)
constexpr double kSin16 = 0.19509032201612828;     // sin(pi/16)
constexpr double kCos3_16 = 0.8314696123025452;    // cos(3pi/16)
constexpr double kSin3_16 = 0.5555702330196022;    // sin(3pi/16)
constexpr double kHalfPi = 1.5707963267948966;

struct cpx {
  double re, im;
};

inline cpx load(const double* z, std::size_t k) { return {z[2 * k], z[2 * k + 1]}; }
inline cpx load_conj(const double* z, std::size_t k) { return {z[2 * k], -z[2 * k + 1]}; }
inline void store(double* z, std::size_t k, cpx v) {
  z[2 * k] = v.re;
  z[2 * k + 1] = v.im;
}
inline cpx operator+(cpx x, cpx y) { return {x.re + y.re, x.im + y.im}; }
inline cpx operator-(cpx x, cpx y) { return {x.re - y.re, x.im - y.im}; }
inline cpx mul(cpx x, cpx w) { return {x.re * w.re - x.im * w.im, x.re * w.im + x.im * w.re}; }
inline cpx conj(cpx x) { return {x.re, -x.im}; }
// x + i*y and x - i*y
inline cpx add_i(cpx x, cpx y) { return {x.re - y.im, x.im + y.re}; }
inline cpx sub_i(cpx x, cpx y) { return {x.re + y.im, x.im - y.re}; }
// zeta*x and zeta^3*x with zeta = exp(i pi/4) = (1 + i) sqrt(1/2)
inline cpx mul_zeta(cpx x) { return {kSqrtHalf * (x.re - x.im), kSqrtHalf * (x.re + x.im)}; }
inline cpx mul_zeta3(cpx x) { return {kSqrtHalf * (-x.re - x.im), kSqrtHalf * (x.re - x.im)}; }

// Four values of one butterfly, before the twiddles of the lower half.
struct quad {
  cpx p0, p1, p2, p3;
};

// Plain radix-4 butterfly without twiddles:
// (a+c)+(b+d), (a+c)-(b+d), (a-c)+i(b-d), (a-c)-i(b-d).
inline quad plain4(cpx a, cpx b, cpx c, cpx d) {
  const cpx s0 = a + c, d0 = a - c, s1 = b + d, d1 = b - d;
  return {s0 + s1, s0 - s1, add_i(d0, d1), sub_i(d0, d1)};
}

// Odd radix-4 butterfly without twiddles: with u = a + ic, u' = a - ic,
// t = zeta(b + id), t' = zeta^3(b - id): u+t, u-t, u'+t', u'-t'.
inline quad odd4(cpx a, cpx b, cpx c, cpx d) {
  const cpx u = add_i(a, c), u2 = sub_i(a, c);
  const cpx t = mul_zeta(add_i(b, d)), t2 = mul_zeta3(sub_i(b, d));
  return {u + t, u - t, u2 + t2, u2 - t2};
}

// Butterflies in place at index j of a block of quarter size q (complex
// values). The plain one multiplies the third quarter by w1 = w^j and the
// fourth by w3 = w^(3j); the odd one multiplies the first two by v1 = v^j and
// the last two by v3 = v^(3j). Conj reads the conjugates of a, b, c, d.
template <bool Conj = false>
inline quad load_quad(const double* z, std::size_t j, std::size_t q) {
  if (Conj) return {load_conj(z, j), load_conj(z, j + q), load_conj(z, j + 2 * q), load_conj(z, j + 3 * q)};
  return {load(z, j), load(z, j + q), load(z, j + 2 * q), load(z, j + 3 * q)};
}
inline void store_quad(double* z, std::size_t j, std::size_t q, quad r) {
  store(z, j, r.p0);
  store(z, j + q, r.p1);
  store(z, j + 2 * q, r.p2);
  store(z, j + 3 * q, r.p3);
}

template <bool Conj = false>
inline void plain_bfly0(double* z, std::size_t j, std::size_t q) {
  const quad x = load_quad<Conj>(z, j, q);
  store_quad(z, j, q, plain4(x.p0, x.p1, x.p2, x.p3));
}
template <bool Conj = false>
inline void plain_bfly(double* z, std::size_t j, std::size_t q, cpx w1, cpx w3) {
  const quad x = load_quad<Conj>(z, j, q);
  const quad r = plain4(x.p0, x.p1, x.p2, x.p3);
  store_quad(z, j, q, {r.p0, r.p1, mul(r.p2, w1), mul(r.p3, w3)});
}
inline void odd_bfly0(double* z, std::size_t j, std::size_t q) {
  const quad x = load_quad(z, j, q);
  store_quad(z, j, q, odd4(x.p0, x.p1, x.p2, x.p3));
}
inline void odd_bfly(double* z, std::size_t j, std::size_t q, cpx v1, cpx v3) {
  const quad x = load_quad(z, j, q);
  const quad r = odd4(x.p0, x.p1, x.p2, x.p3);
  store_quad(z, j, q, {mul(r.p0, v1), mul(r.p1, v1), mul(r.p2, v3), mul(r.p3, v3)});
}

}  // namespace
}  // namespace fftk

#endif  // MORLANT_FFT_FFT_BUTTERFLY_H
