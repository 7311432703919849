// The two paths of the FFT and the choice between them. Internal header of
// fft/ and bignum/; the tests use it to check the vector path against the
// portable one.
//
// The vector path (fft_vec.h) exists on x86-64, where it needs AVX2 and FMA
// and is chosen at run time, and on AArch64, where Advanced SIMD with
// double lanes and fused multiply-add is part of every core and it is always
// used. MORLANT_FFT_PORTABLE builds the portable path alone; there the
// vector path does not exist.
#ifndef MORLANT_FFT_FFT_SIMD_H
#define MORLANT_FFT_FFT_SIMD_H

#include <cstdint>

#include "fft/team.h"

#if !defined(MORLANT_FFT_PORTABLE)
#if defined(__x86_64__) || defined(_M_X64)
#define MORLANT_FFT_HAVE_VEC 1
#define MORLANT_FFT_VEC_RUNTIME 1
#elif defined(__aarch64__) || defined(_M_ARM64)
#define MORLANT_FFT_HAVE_VEC 1
#endif
#endif

// Whether this build and processor run the vector path.
inline bool fft_simd_available() {
#if defined(MORLANT_FFT_VEC_RUNTIME)
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#elif defined(MORLANT_FFT_HAVE_VEC)
  return true;
#else
  return false;
#endif
}

// The transforms of fft.h as one path computes them, for every n >= 2.
struct FftPath {
  void (*forward)(int32_t n, double* data);
  void (*inverse)(int32_t n, double* data);
  void (*forward_scrambled)(int32_t n, double* data);
  void (*forward_scrambled_half)(int32_t n, double* data, Team* team);
  void (*inverse_scrambled)(int32_t n, double* data, Team* team);
};

extern const FftPath fft_portable_path;
#ifdef MORLANT_FFT_HAVE_VEC
// Call only when fft_simd_available().
extern const FftPath fft_vector_path;
#endif

#endif  // MORLANT_FFT_FFT_SIMD_H
