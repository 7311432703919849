// The walk of a looping vector stage over its butterflies and twiddles,
// shared by the forward stages (fft_vec.cpp) and their adjoints
// (fft_dit_vec.cpp), which differ only in the butterfly. Internal header of
// fft/, for sources compiled for the vector path only.
//
// The stage's Q values per quarter are Q/2 vectors: the front pairs (j, j+1)
// for even j < Q/2 and the back pairs (Q-j-2, Q-j-1), index 0 and the middle
// ones included, so no butterfly is scalar. The front twiddles C_j = (w^j,
// w^(j+1)) come from two interleaved chains per angle, each stepping two
// indices in one fused multiply-add per part,
//   C_(j+4) = C_j + 2 sin(2 phi) i C_(j+2),
// restarted from cos/sin at every 64th index (J = 64 b), so no chain runs
// more than 32 steps. A back pair takes its partners' twiddles, w^(j+2) from
// C_(j+2) and w^(j+1) from C_j, through the mirror relations:
//   plain: w^(Q-k) = i conj(w^k) = (s, c), w^(3(Q-k)) = -i conj(w^(3k)) = (-s, -c);
//   odd:   v^(Q-k) = zeta conj(v^k),       v^(3(Q-k)) = zeta^3 conj(v^(3k)).
// A stage on M values calls cos and sin max(1, M/512) times each: once for
// w, once per run after the first.
#ifndef MORLANT_FFT_FFT_VEC_LOOP_H
#define MORLANT_FFT_FFT_VEC_LOOP_H

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "fft/fft_butterfly.h"
#include "fft/fft_vec.h"

namespace fftv {
namespace {

// Mirror twiddles of B = (w^(j+2), w^(j+1)) for the back pair.
template <bool Odd>
inline tw2 back1(tw2 w) { return Odd ? zeta_conj(w) : flip(w); }
template <bool Odd>
inline tw2 back3(tw2 w) { return Odd ? zeta3_conj(w) : neg(flip(w)); }

// B is join(C_(j+2), C_j), or in the plain stages where the lowering prefers
// it (kBackChains, fft_vec.h) a chain of its own: both lanes follow the same
// recurrence. (In the odd stages the blend measured cheaper everywhere.)
template <bool Odd>
inline tw2 back_of(tw2 cur, tw2 next, tw2 chain) { return kBackChains && !Odd ? chain : join(next, cur); }

// Calls at(p, s, w1, w3) for every vector p of a stage on n > 64 doubles (s:
// doubles between quarters), with the forward stage's twiddles there.
template <bool Odd, class At>
inline void loop_stage_walk(int32_t n, double* z, At at) {
  using fftk::mul;
  using fftk::triple;
  const std::size_t q = static_cast<std::size_t>(n) / 8, last = q / 2 - 2, s = 2 * q;
  const double theta = fftk::stage_angle<Odd>(n);
  const cpx w = {std::cos(theta), std::sin(theta)};
  const cpx w2 = mul(w, w), w3 = mul(w2, w), w4 = mul(w2, w2);
  const double t1 = 2.0 * w2.im, t3 = 2.0 * triple(w2).im;  // 2 sin(2 theta), 2 sin(6 theta)
  // The front pair at f with twiddles (c1, c3) and its back pair at b with
  // the mirrors of (b1, b3).
  const auto pair = [&](double* f, double* b, tw2 c1, tw2 c3, tw2 b1, tw2 b3) {
    at(f, s, c1, c3);
    at(b, s, back1<Odd>(b1), back3<Odd>(b3));
  };
  for (std::size_t start = 0; start <= last; start += 64) {
    cpx r[5] = {{1.0, 0.0}};  // w^(start + k)
    if (start > 0) r[0] = {std::cos(theta * static_cast<double>(start)), std::sin(theta * static_cast<double>(start))};
    r[1] = mul(r[0], w), r[2] = mul(r[0], w2), r[3] = mul(r[0], w3), r[4] = mul(r[0], w4);
    cpx r3[5];
    for (int k = 0; k < 5; ++k) r3[k] = triple(r[k]);
    // Front chains C_j, C_(j+2) and back chains B_j, B_(j+2), per angle.
    tw2 c1 = make_tw(r[0], r[1]), n1 = make_tw(r[2], r[3]), e1 = make_tw(r[2], r[1]), m1 = make_tw(r[4], r[3]);
    tw2 c3 = make_tw(r3[0], r3[1]), n3 = make_tw(r3[2], r3[3]), e3 = make_tw(r3[2], r3[1]), m3 = make_tw(r3[4], r3[3]);
    const std::size_t end = start + 62 < last ? start + 62 : last;
    // Two pairs a turn, each chain's two vectors taking turns as the newer.
    std::size_t j = start;
    double* f = z + 2 * j;            // front pair j
    double* b = z + 2 * (q - j - 2);  // back pair q - j - 2
    for (; j + 2 <= end; j += 4, f += 8, b -= 8) {
      pair(f, b, c1, c3, back_of<Odd>(c1, n1, e1), back_of<Odd>(c3, n3, e3));
      c1 = step(c1, n1, t1);
      c3 = step(c3, n3, t3);
      if (kBackChains && !Odd) {
        e1 = step(e1, m1, t1);
        e3 = step(e3, m3, t3);
      }
      pair(f + 4, b - 4, n1, n3, back_of<Odd>(n1, c1, m1), back_of<Odd>(n3, c3, m3));
      n1 = step(n1, c1, t1);
      n3 = step(n3, c3, t3);
      if (kBackChains && !Odd) {
        m1 = step(m1, e1, t1);
        m3 = step(m3, e3, t3);
      }
    }
    if (j <= end) pair(f, b, c1, c3, back_of<Odd>(c1, n1, e1), back_of<Odd>(c3, n3, e3));
  }
}

}  // namespace
}  // namespace fftv

#endif  // MORLANT_FFT_FFT_VEC_LOOP_H
