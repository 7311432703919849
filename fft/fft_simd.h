// Vectorised forms of the FFT stages and leaves, and the choice between them
// and the portable forms. Internal header of fft/; the tests use it to check
// every vectorised form against the portable one.
//
// The vector path (fft_vec.h) exists on x86-64, where it needs AVX2 and FMA
// and is chosen at run time, and on AArch64, where Advanced SIMD with
// double lanes and fused multiply-add is part of every core and it is always
// used. MORLANT_FFT_PORTABLE builds the portable path alone.
#ifndef MORLANT_FFT_FFT_SIMD_H
#define MORLANT_FFT_FFT_SIMD_H

#include <cstdint>

#if !defined(MORLANT_FFT_PORTABLE)
#if defined(__x86_64__) || defined(_M_X64)
#define MORLANT_FFT_HAVE_VEC 1
#define MORLANT_FFT_VEC_RUNTIME 1
#elif defined(__aarch64__) || defined(_M_ARM64)
#define MORLANT_FFT_HAVE_VEC 1
#endif
#endif

// The portable stages (plain, conjugating, odd) and leaves, the reference forms.
void fft_radix4_stage_portable(int32_t n, double* block);
void fft_radix4_stage_conj_portable(int32_t n, double* block);
void fft_odd_radix4_stage_portable(int32_t n, double* block);
void fft_leaf8_portable(double* block);
void fft_leaf16_portable(double* block);
void fft_odd_leaf8_portable(double* block);
void fft_odd_leaf16_portable(double* block);

#ifdef MORLANT_FFT_HAVE_VEC
// The vectorised forms; call only when fft_simd_available().
void fft_radix4_stage_vec(int32_t n, double* block);
void fft_radix4_stage_conj_vec(int32_t n, double* block);
void fft_odd_radix4_stage_vec(int32_t n, double* block);
void fft_leaf8_vec(double* block);
void fft_leaf16_vec(double* block);
void fft_odd_leaf8_vec(double* block);
void fft_odd_leaf16_vec(double* block);
#else
inline void fft_radix4_stage_vec(int32_t, double*) {}
inline void fft_radix4_stage_conj_vec(int32_t, double*) {}
inline void fft_odd_radix4_stage_vec(int32_t, double*) {}
inline void fft_leaf8_vec(double*) {}
inline void fft_leaf16_vec(double*) {}
inline void fft_odd_leaf8_vec(double*) {}
inline void fft_odd_leaf16_vec(double*) {}
#endif

// Whether this processor runs the vectorised forms.
inline bool fft_simd_available() {
#if defined(MORLANT_FFT_VEC_RUNTIME)
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#elif defined(MORLANT_FFT_HAVE_VEC)
  return true;
#else
  return false;
#endif
}

// The transform uses the vectorised forms whenever they are available.
inline bool fft_simd_enabled() { return fft_simd_available(); }

// Whole transforms on the vector path, the choice made once per call: the
// forward and inverse transforms (n >= 64, natural order in and out), the
// plain (odd = false) or odd transform of a block of n >= 64 doubles
// (fft_recurse_vec; bit-reversed out), the rest of it once its own stage has
// run (fft_finish_vec), and the bit reversal (n >= 16), conjugating or not.
// The portable transforms, the reference they are tested against.
void fft_forward_portable(int32_t n, double* data);
void fft_inverse_portable(int32_t n, double* data);
#ifdef MORLANT_FFT_HAVE_VEC
void fft_forward_vec(int32_t n, double* data);
void fft_inverse_vec(int32_t n, double* data);
void fft_recurse_vec(int32_t n, bool odd, double* block);
void fft_finish_vec(int32_t n, bool odd, double* block);
void fft_bitrev_permute_vec(int32_t n, bool conj, double* data);
#else
inline void fft_forward_vec(int32_t, double*) {}
inline void fft_inverse_vec(int32_t, double*) {}
inline void fft_recurse_vec(int32_t, bool, double*) {}
inline void fft_finish_vec(int32_t, bool, double*) {}
inline void fft_bitrev_permute_vec(int32_t, bool, double*) {}
#endif

#endif  // MORLANT_FFT_FFT_SIMD_H
