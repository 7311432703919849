// Twiddles of the vectorised stages, shared by the forward stages and their
// adjoints: the chains stepped as vectors, the mirror relations, and the
// compile-time roots of the straight-line stages. Internal header of fft/,
// for sources compiled for the vector path only.
#ifndef MORLANT_FFT_FFT_VEC_STAGE_H
#define MORLANT_FFT_FFT_VEC_STAGE_H

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "fft/fft_butterfly.h"
#include "fft/fft_vec.h"

namespace fftv {
namespace {

// Mirror twiddles of a twiddle vector (values for j and j+1), in the order
// of the mirror vector (Q-j-1, Q-j).
// plain: w^(Q-j) = i conj(w^j) = (s, c); w^(3(Q-j)) = -i conj(w^(3j)) = (-s, -c)
// odd: v^(Q-j) = zeta conj(v^j), v^(3(Q-j)) = zeta^3 conj(v^(3j))
template <bool Odd>
inline cv2 mirror1(cv2 w) { return swap(Odd ? mul_zeta(conj(w)) : flip(w)); }
template <bool Odd>
inline cv2 mirror3(cv2 w) { return swap(Odd ? mul_zeta3(conj(w)) : neg(flip(w))); }

// Twiddle k of a stage on a block of M complex values: w^k, w = exp(2 pi i/M)
// (plain) or v^k, v = exp(i pi/M) (odd). Evaluated by the compiler, whatever
// its optimisation.
template <bool Odd, long M, long K>
struct StageRoot {
  static constexpr fftk::cpx value = Odd ? fftk::unit_root(K, 2 * M) : fftk::unit_root(K, M);
};

// The twiddle vectors (W1, W3) of front pair P of a stage on M values: W1 =
// (w^(2P), w^(2P+1)), W3 = (w^(6P), w^(6P+3)).
template <bool Odd, long M, long P>
inline cv2 stage_w1() { return make(StageRoot<Odd, M, 2 * P>::value, StageRoot<Odd, M, 2 * P + 1>::value); }
template <bool Odd, long M, long P>
inline cv2 stage_w3() { return make(StageRoot<Odd, M, 6 * P>::value, StageRoot<Odd, M, 6 * P + 3>::value); }

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

}  // namespace
}  // namespace fftv

#endif  // MORLANT_FFT_FFT_VEC_STAGE_H
