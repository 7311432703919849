// The frequency-domain product kernels of big_transform.h: the portable
// form of the fused pass (fft_kernels_impl.h), and the public kernels, each
// choosing its path once, as the FFT does.
#define MORLANT_FFT_LOWER_PORTABLE 1
#include "bignum/fft_kernels_impl.h"

#include "bignum/big_transform.h"

void fft_fused_portable(FusedKernel kind, int32_t L, double* x, double* y, double* z, Team* team) {
  fftv::fused(kind, L, x, y, z, team);
}

namespace {

void fused(FusedKernel kind, int32_t L, double* x, double* y, double* z, Team* team) {
  auto pass = fft_fused_portable;
#ifdef MORLANT_FFT_HAVE_VEC
  if (fft_simd_available()) pass = fft_fused_vec;
#endif
  team = team_for_length(team, L);
  team_for(team, [&](int32_t, int32_t) { pass(kind, L, x, y, z, team); });
}

}  // namespace

void fft_mul_kernel(int32_t L, double* x, double* y, Team* team) { fused(FusedKernel::mul, L, x, y, nullptr, team); }
void fft_mul_stored_kernel(int32_t L, const double* x, double* y, Team* team) {
  fused(FusedKernel::mul_stored, L, const_cast<double*>(x), y, nullptr, team);  // x is only read
}
void fft_mul_into_stored_kernel(int32_t L, double* x, double* y, Team* team) {
  fused(FusedKernel::mul_into_stored, L, x, y, nullptr, team);
}
void fft_mul_partial_kernel(int32_t L, double* x, double* y, Team* team) {
  fused(FusedKernel::mul_partial, L, x, y, nullptr, team);
}
void fft_mul_accumulate_kernel(int32_t L, const double* x, double* y, double* z, Team* team) {
  fused(FusedKernel::mul_accumulate, L, const_cast<double*>(x), y, z, team);  // x is only read
}
void fft_sqr_kernel(int32_t L, double* x, Team* team) { fused(FusedKernel::sqr, L, x, nullptr, nullptr, team); }
void fft_sqr_keep_kernel(int32_t L, double* x, double* y, Team* team) {
  fused(FusedKernel::sqr_keep, L, x, y, nullptr, team);
}
void fft_sqr_stored_kernel(int32_t L, double* x, Team* team) {
  fused(FusedKernel::sqr_stored, L, x, nullptr, nullptr, team);
}
