// The public transforms: each chooses its path once, then runs it whole.
#include "fft/fft.h"

#include "fft/fft_simd.h"

namespace {

const FftPath& path() {
#ifdef MORLANT_FFT_HAVE_VEC
  if (fft_simd_available()) return fft_vector_path;
#endif
  return fft_portable_path;
}

}  // namespace

void fft_forward(int32_t n, double* data) { path().forward(n, data); }
void fft_inverse(int32_t n, double* data) { path().inverse(n, data); }

void fft_complex_transform(int32_t n, int32_t sign, double* data) {
  if (sign < 0) fft_inverse(n, data);
  else fft_forward(n, data);
}

void fft_forward_scrambled(int32_t n, double* data) { path().forward_scrambled(n, data); }
void fft_forward_scrambled_half(int32_t n, double* data, Team* team) {
  path().forward_scrambled_half(n, data, team);
}
void fft_inverse_scrambled(int32_t n, double* data, Team* team) { path().inverse_scrambled(n, data, team); }
