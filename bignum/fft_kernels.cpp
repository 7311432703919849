// Frequency-domain product kernels over transform arrays: the portable form
// of the fused pass (fft_kernels_impl.h) and the public kernels, which take
// the vector form whenever the FFT takes its vector path.
#include "bignum/big_transform.h"
#include "bignum/fft_kernels_impl.h"
#include "fft/fft_simd.h"

namespace {

struct Portable {
  template <bool XSplit, bool KeepX, bool Square, bool YSplit, bool Acc, bool Unsplit>
  static void run(int32_t L, double* x, const double* y, const double* z, double* out) {
    fftkern::fused_pass<XSplit, KeepX, Square, YSplit, Acc, Unsplit, false>(
        L, x, y, z, out, [](std::size_t, std::size_t, double, double, double, double) {});
  }
};

inline void fused(FusedKernel kind, int32_t L, double* x, double* y, double* z) {
  if (fft_simd_enabled()) fft_fused_vec(kind, L, x, y, z);
  else fft_fused_portable(kind, L, x, y, z);
}

}  // namespace

void fft_fused_portable(FusedKernel kind, int32_t L, double* x, double* y, double* z) {
  fftkern::dispatch<Portable>(kind, L, x, y, z);
}

#ifndef MORLANT_FFT_HAVE_VEC
void fft_fused_vec(FusedKernel kind, int32_t L, double* x, double* y, double* z) {
  fft_fused_portable(kind, L, x, y, z);
}
#endif

// x raw: split in place and kept; y raw; x*y unsplit into y. L >= 4.
void fft_mul_kernel(int32_t L, double* x, double* y) { fused(FusedKernel::mul, L, x, y, nullptr); }

// x in split form (unchanged); y raw; x*y unsplit into y. L >= 4.
void fft_mul_stored_kernel(int32_t L, const double* x, double* y) {
  fused(FusedKernel::mul_stored, L, const_cast<double*>(x), y, nullptr);
}

// x raw: split in place and kept; y in split form; x*y unsplit into y. L >= 4.
void fft_mul_into_stored_kernel(int32_t L, double* x, double* y) {
  fused(FusedKernel::mul_into_stored, L, x, y, nullptr);
}

// x raw: split in place and kept; y raw; x*y left in split form in y. L >= 4.
void fft_mul_partial_kernel(int32_t L, double* x, double* y) { fused(FusedKernel::mul_partial, L, x, y, nullptr); }

// x in split form; y raw (split only on the fly, y unchanged); z holds a
// split-form product: z + x*y, unsplit, into z. L >= 4.
void fft_mul_accumulate_kernel(int32_t L, const double* x, double* y, double* z) {
  fused(FusedKernel::mul_accumulate, L, const_cast<double*>(x), y, z);
}

// x raw; x^2 unsplit into x. L >= 4.
void fft_sqr_kernel(int32_t L, double* x) { fused(FusedKernel::sqr, L, x, nullptr, nullptr); }

// x raw: split in place and kept; x^2 unsplit into y (output only). L >= 4.
void fft_sqr_keep_kernel(int32_t L, double* x, double* y) { fused(FusedKernel::sqr_keep, L, x, y, nullptr); }

// x in split form; x^2 unsplit into x. L >= 4.
void fft_sqr_stored_kernel(int32_t L, double* x) { fused(FusedKernel::sqr_stored, L, x, nullptr, nullptr); }
