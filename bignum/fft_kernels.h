// The fused frequency-domain pass behind the eight product kernels of
// big_transform.h, as each path computes it. Internal header of bignum/; the
// tests use it to check the vector form against the portable one.
#ifndef MORLANT_BIGNUM_FFT_KERNELS_H
#define MORLANT_BIGNUM_FFT_KERNELS_H

#include <cstdint>

#include "fft/fft_simd.h"
#include "fft/team.h"

// The kernels of big_transform.h by name.
enum class FusedKernel { mul, mul_stored, mul_into_stored, mul_partial, mul_accumulate, sqr, sqr_keep, sqr_stored };

// The pass of kernel `kind` on transform arrays of length L >= 4 (L + 2
// doubles), taking x, y and z as that kernel does; arrays the kernel does
// not use may be null. Called by every part of a job on `team`, the parts
// share the pass (team_each); with a null team it is all done here.
void fft_fused_portable(FusedKernel kind, int32_t L, double* x, double* y, double* z, Team* team);
#ifdef MORLANT_FFT_HAVE_VEC
// Call only when fft_simd_available().
void fft_fused_vec(FusedKernel kind, int32_t L, double* x, double* y, double* z, Team* team);
#endif

#endif  // MORLANT_BIGNUM_FFT_KERNELS_H
