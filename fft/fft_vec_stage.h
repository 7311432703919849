// The compile-time twiddles of the straight-line vector stages, shared by the
// forward stages and their adjoints. Internal header of fft/, for sources
// compiled for the vector path only.
#ifndef MORLANT_FFT_FFT_VEC_STAGE_H
#define MORLANT_FFT_FFT_VEC_STAGE_H

#include "fft/fft_butterfly.h"
#include "fft/fft_vec.h"

namespace fftv {
namespace {

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

}  // namespace
}  // namespace fftv

#endif  // MORLANT_FFT_FFT_VEC_STAGE_H
