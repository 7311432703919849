// Radix-4 butterflies shared by the FFT stages and the leaf kernels.
//
// A block of M complex values is viewed as four quarters of Q = M/4 values;
// a butterfly at index j combines a = z[j], b = z[j+Q], c = z[j+2Q],
// d = z[j+3Q] and writes the four results back to the same places.
// Internal header of fft/.
#ifndef MORLANT_FFT_FFT_BUTTERFLY_H
#define MORLANT_FFT_FFT_BUTTERFLY_H

#include <cmath>
#include <cstddef>
#include <cstdint>

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

// The leaves' twiddles.
constexpr cpx kW8 = {kSqrtHalf, kSqrtHalf};  // exp(i pi/4)
constexpr cpx kW8x3 = {-kSqrtHalf, kSqrtHalf};  // exp(3i pi/4)
constexpr cpx kW16 = {kCos8, kSin8};  // exp(i pi/8)
constexpr cpx kW16x3 = {kSin8, kCos8};  // exp(3i pi/8)
constexpr cpx kW16x9 = {-kCos8, -kSin8};  // exp(9i pi/8)
constexpr cpx kV16 = {kCos16, kSin16};  // exp(i pi/16)
constexpr cpx kV16x3 = {kCos3_16, kSin3_16};  // exp(3i pi/16)
constexpr cpx kV16x9 = {-kSin16, kCos16};  // exp(9i pi/16)

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

// (cos 3x, sin 3x) from (cos x, sin x).
inline cpx triple(cpx w) { return {w.re - 4.0 * w.im * w.im * w.re, 4.0 * w.im * w.re * w.re - w.im}; }

// Next value of a chain: w^(j+1) from w^(j-1) and w^j, step factor t = 2 sin(phi).
inline cpx advance(cpx prev, cpx cur, double t) { return {prev.re - t * cur.im, prev.im + t * cur.re}; }

// The angle of a stage on a block of M = n/2 values: w = exp(i theta) with
// theta = 2 pi/M for the plain stages and pi/M for the odd one.
template <bool Odd>
inline double stage_angle(int32_t n) {
  const std::size_t m = static_cast<std::size_t>(n) / 2;
  return Odd ? 2.0 * (kHalfPi / static_cast<double>(m)) : 2.0 * (kHalfPi / static_cast<double>(m / 2));
}

// The runs of front indices whose twiddle chains start afresh: calls
// run(start, end, base) for start = 1, 65, 129, ... up to Q/2 - 2 (Q = n/8),
// end = the run's last front index, base = w^(start-1), exactly 1 for the
// first run and from cos/sin for the others, so no chain runs more than 64
// indices: a stage on M values calls cos and sin ceil((M/8 - 2)/64) - 1
// times each.
template <bool Odd, class Run>
inline void twiddle_runs(int32_t n, double theta, Run run) {
  constexpr std::size_t kRefresh = 64;
  const std::size_t last = static_cast<std::size_t>(n) / 16 - 2;
  for (std::size_t start = 1; start <= last; start += kRefresh) {
    cpx base = {1.0, 0.0};
    if (start > 1) {
      const double jt = static_cast<double>(start - 1);
      const double ang = Odd ? theta * jt : (theta / 2.0) * (2.0 * jt);
      base = {std::cos(ang), std::sin(ang)};
    }
    run(start, start + kRefresh - 1 < last ? start + kRefresh - 1 : last, base);
  }
}

// The twiddles of a stage on a block of M = n/2 values (Q = M/4), w as
// stage_angle gives it. Calls pair(j, a0, b0, a1, b1) for the front pairs
// j = 1, 3, ..., Q/2 - 3, with (a0, b0) = (w^j, w^(3j)) and (a1, b1) =
// (w^(j+1), w^(3(j+1))), then middle(a, b, c, d) with (a, b) the twiddles of
// Q/2 - 1 and (c, d) the chains' next values, those of Q/2.
//
// Within a run (twiddle_runs) the values come from two chains per angle,
// each step cos((j+2)phi) = cos(j phi) - 2 sin(phi) sin((j+1)phi) and
// likewise for the sine.
template <bool Odd, class Pair, class Middle>
inline void stage_twiddles(int32_t n, Pair pair, Middle middle) {
  const double theta = stage_angle<Odd>(n);
  const double c1 = std::cos(theta), s1 = std::sin(theta);
  const double t1 = 2.0 * s1;
  const cpx w1 = {c1, s1};
  const cpx w3 = triple(w1);
  const double t3 = 2.0 * w3.im;

  // Chains hold (w^(j-1), w^j) and (w^(3(j-1)), w^(3j)) for the next front j.
  cpx p1 = {1.0, 0.0}, q1 = w1, p3 = {1.0, 0.0}, q3 = w3;
  twiddle_runs<Odd>(n, theta, [&](std::size_t start, std::size_t end, cpx base) {
    p1 = base;
    q1 = mul(base, w1);
    p3 = triple(p1);
    q3 = triple(q1);
    for (std::size_t j = start; j <= end; j += 2) {
      const cpx r1 = advance(p1, q1, t1), r3 = advance(p3, q3, t3);
      pair(j, q1, q3, r1, r3);
      p1 = r1;
      p3 = r3;
      q1 = advance(q1, r1, t1);
      q3 = advance(q3, r3, t3);
    }
  });
  middle(q1, q3, advance(p1, q1, t1), advance(p3, q3, t3));
}

// Every butterfly of a stage on n >= 64 doubles with its twiddles: calls
// one(j, w1, w3) for j = 0 (twiddles 1), the front pairs of stage_twiddles
// each followed at once by their mirrors Q - j, then the middle indices
// Q/2 - 1, Q/2 and Q/2 + 1. Mirrors: plain w^(Q-j) = i conj(w^j),
// w^(3(Q-j)) = -i conj(w^(3j)); odd v^(Q-j) = zeta conj(v^j), v^(3(Q-j)) =
// zeta^3 conj(v^(3j)). Plain w^(Q/2) = exp(i pi/4) = c(1 + i), w^(3Q/2) =
// c(-1 + i), with c the chain's cosine; odd: the chains' values as they are.
template <bool Odd, class One>
inline void stage_walk(int32_t n, One one) {
  const std::size_t q = static_cast<std::size_t>(n) / 8;
  const std::size_t half = q / 2;
  auto mirror = [&](std::size_t j, cpx a, cpx b) {
    if (Odd) one(q - j, mul_zeta(conj(a)), mul_zeta3(conj(b)));
    else one(q - j, cpx{a.im, a.re}, cpx{-b.im, -b.re});
  };
  one(0, cpx{1.0, 0.0}, cpx{1.0, 0.0});
  stage_twiddles<Odd>(
      n,
      [&](std::size_t j, cpx a0, cpx b0, cpx a1, cpx b1) {
        one(j, a0, b0);
        one(j + 1, a1, b1);
        mirror(j, a0, b0);
        mirror(j + 1, a1, b1);
      },
      [&](cpx a, cpx b, cpx c, cpx d) {
        one(half - 1, a, b);
        if (Odd) one(half, c, d);
        else one(half, cpx{c.re, c.re}, cpx{-c.re, c.re});
        mirror(half - 1, a, b);
      });
}

}  // namespace
}  // namespace fftk

#endif  // MORLANT_FFT_FFT_BUTTERFLY_H
