// Vectorised forms of the FFT stages and the choice between them and the
// portable forms. Internal header of fft/; the tests use it to check every
// vectorised form against the portable one.
#ifndef MORLANT_FFT_FFT_SIMD_H
#define MORLANT_FFT_FFT_SIMD_H

#include <cstdint>

// The portable stages (plain, conjugating, odd), the reference forms.
void fft_radix4_stage_portable(int32_t n, double* block);
void fft_radix4_stage_conj_portable(int32_t n, double* block);
void fft_odd_radix4_stage_portable(int32_t n, double* block);

#if (defined(__x86_64__) || defined(_M_X64)) && !defined(MORLANT_FFT_PORTABLE)
#define MORLANT_FFT_HAVE_AVX2 1
// AVX2/FMA stages; call only when fft_simd_available().
void fft_radix4_stage_avx2(int32_t n, double* block);
void fft_radix4_stage_conj_avx2(int32_t n, double* block);
void fft_odd_radix4_stage_avx2(int32_t n, double* block);
void fft_leaf8_avx2(double* block);
void fft_leaf16_avx2(double* block);
void fft_odd_leaf8_avx2(double* block);
void fft_odd_leaf16_avx2(double* block);
#endif

// The portable leaves.
void fft_leaf8_portable(double* block);
void fft_leaf16_portable(double* block);
void fft_odd_leaf8_portable(double* block);
void fft_odd_leaf16_portable(double* block);

// Whether this processor runs the vectorised stages (AVX2 and FMA on x86-64).
inline bool fft_simd_available() {
#ifdef MORLANT_FFT_HAVE_AVX2
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
  return false;
#endif
}

// The transform uses the vectorised stages whenever they are available.
inline bool fft_simd_enabled() { return fft_simd_available(); }

#ifndef MORLANT_FFT_HAVE_AVX2
inline void fft_radix4_stage_avx2(int32_t, double*) {}
inline void fft_radix4_stage_conj_avx2(int32_t, double*) {}
inline void fft_odd_radix4_stage_avx2(int32_t, double*) {}
inline void fft_leaf8_avx2(double*) {}
inline void fft_leaf16_avx2(double*) {}
inline void fft_odd_leaf8_avx2(double*) {}
inline void fft_odd_leaf16_avx2(double*) {}
#endif

#endif  // MORLANT_FFT_FFT_SIMD_H
