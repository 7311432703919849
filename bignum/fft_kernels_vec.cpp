// The fused frequency-domain pass (fft_kernels_impl.h) on the processor's
// vectors (compiled with the instruction-set flags of fft/CMakeLists.txt).
#include "fft/fft_simd.h"

#ifdef MORLANT_FFT_HAVE_VEC
#include "bignum/fft_kernels_impl.h"

void fft_fused_vec(FusedKernel kind, int32_t L, double* x, double* y, double* z, Team* team) {
  fftv::fused(kind, L, x, y, z, team);
}
#endif
