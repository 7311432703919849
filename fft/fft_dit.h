// The transposed transform of the product path: the exact adjoint of every
// stage and leaf of the forward transform, run in the reverse order, so that
// an inverse can take the forward transform's bit-reversed output as it lies
// and return natural order without a permutation pass. Internal header of
// fft/; the tests use it to check the vectorised forms against the portable
// ones.
//
// For a block of n doubles (M = n/2 values, Q = M/4) the adjoint of a plain
// stage multiplies the third and fourth quarters at index j by conj(w^j) and
// conj(w^(3j)) and then combines p0 ... p3 by the conjugate transpose of the
// plain butterfly:
//   a = (p0 + p1) + (p2 + p3)    b = (p0 - p1) - i (p2 - p3)
//   c = (p0 + p1) - (p2 + p3)    d = (p0 - p1) + i (p2 - p3)
// The odd stage's adjoint multiplies the first two quarters by conj(v^j), the
// last two by conj(v^(3j)), then with U = p0 + p1, T = p0 - p1, U' = p2 + p3,
// T' = p2 - p3, e = conj(zeta) T and f = conj(zeta^3) T':
//   a = U + U'    b = e + f    c = -i (U - U')    d = -i (e - f)
// Twiddles are the forward stage's, from the same chains.
#ifndef MORLANT_FFT_FFT_DIT_H
#define MORLANT_FFT_FFT_DIT_H

#include <cstdint>

#include "fft/fft_simd.h"

// Adjoint stages on a block of n >= 64 doubles, and adjoint leaves of 8 and
// 16 values (16 and 32 doubles): portable forms, the reference.
void fft_dit_stage_portable(int32_t n, double* block);
void fft_odd_dit_stage_portable(int32_t n, double* block);
void fft_dit_leaf8_portable(double* block);
void fft_dit_leaf16_portable(double* block);
void fft_odd_dit_leaf8_portable(double* block);
void fft_odd_dit_leaf16_portable(double* block);

// The forward top stage of fft_forward_scrambled_half (n >= 64): a plain
// stage on an array whose upper half is zero but for the real part of value
// n/4, reading only that and the lower half.
void fft_half_stage_portable(int32_t n, double* data);

#ifdef MORLANT_FFT_HAVE_VEC
// The vectorised forms; call only when fft_simd_available().
void fft_half_stage_vec(int32_t n, double* data);
// The whole transposed inverse of n >= 64 doubles (fft_inverse_scrambled).
void fft_inverse_scrambled_vec(int32_t n, double* data);
void fft_dit_stage_vec(int32_t n, double* block);
void fft_odd_dit_stage_vec(int32_t n, double* block);
void fft_dit_leaf8_vec(double* block);
void fft_dit_leaf16_vec(double* block);
void fft_odd_dit_leaf8_vec(double* block);
void fft_odd_dit_leaf16_vec(double* block);
#else
inline void fft_half_stage_vec(int32_t, double*) {}
inline void fft_inverse_scrambled_vec(int32_t, double*) {}
inline void fft_dit_stage_vec(int32_t, double*) {}
inline void fft_odd_dit_stage_vec(int32_t, double*) {}
inline void fft_dit_leaf8_vec(double*) {}
inline void fft_dit_leaf16_vec(double*) {}
inline void fft_odd_dit_leaf8_vec(double*) {}
inline void fft_odd_dit_leaf16_vec(double*) {}
#endif

// The forms this processor runs (fft_simd_enabled()).
void fft_dit_stage(int32_t n, double* block);
void fft_odd_dit_stage(int32_t n, double* block);
void fft_dit_leaf8(double* block);
void fft_dit_leaf16(double* block);
void fft_odd_dit_leaf8(double* block);
void fft_odd_dit_leaf16(double* block);

#endif  // MORLANT_FFT_FFT_DIT_H
