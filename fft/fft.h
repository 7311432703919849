// In-place, unscaled complex FFT of power-of-two length, without tables.
//
// Arrays hold N = n/2 complex values as interleaved doubles: value k has its
// real part at index 2k and its imaginary part at 2k+1. Every length below
// counts doubles. n must be a power of two >= 2; it is not validated.
#ifndef MORLANT_FFT_FFT_H
#define MORLANT_FFT_FFT_H

#include <cstdint>

#include "fft/team.h"

// sign >= 0: X[k] = sum_j x[j] exp(+2 pi i jk/N); sign < 0: exp(-2 pi i jk/N).
// Natural order in and out, no scaling: forward then inverse multiplies by N.
// Only the sign bit of `sign` is looked at.
void fft_complex_transform(int32_t n, int32_t sign, double* data);
void fft_forward(int32_t n, double* data);
void fft_inverse(int32_t n, double* data);

// The product path's pair, without the permutation: the forward transform
// leaves X[k] at value bitrev(k) (bit-reversed order over log2(n/2) bits),
// and the inverse takes its input in that order and returns natural order.
// fft_inverse_scrambled(fft_forward_scrambled(x)) = (n/2) x.
// With a team (fft/team.h), a long transform is shared among its members,
// with the same result to the bit; null runs it on the calling thread.
void fft_forward_scrambled(int32_t n, double* data);
void fft_inverse_scrambled(int32_t n, double* data, Team* team = nullptr);
// fft_forward_scrambled of an array whose upper half is zero but for the real
// part of value n/4: data[n/2 + 1 ... n-1] are taken as zero and never read,
// so they need not be set; the top stage reads half the array.
void fft_forward_scrambled_half(int32_t n, double* data, Team* team = nullptr);

#endif  // MORLANT_FFT_FFT_H
