// In-place, unscaled complex FFT of power-of-two length, without tables.
//
// Arrays hold N = n/2 complex values as interleaved doubles: value k has its
// real part at index 2k and its imaginary part at 2k+1. Every length below
// counts doubles. n must be a power of two >= 2; it is not validated.
#ifndef MORLANT_FFT_FFT_H
#define MORLANT_FFT_FFT_H

#include <cstdint>

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
void fft_forward_scrambled(int32_t n, double* data);
void fft_inverse_scrambled(int32_t n, double* data);
// fft_forward_scrambled of an array whose upper half is zero but for the real
// part of value n/4: data[n/2 + 1 ... n-1] are taken as zero and never read,
// so they need not be set; the top stage reads half the array.
void fft_forward_scrambled_half(int32_t n, double* data);

// The building blocks, exposed for the tests. A block is a run of M = n/2
// complex values; a "plain" transform puts sum_j z[j] w^(jk) and an "odd"
// transform sum_j z[j] w^(j(k+1/2)), w = exp(2 pi i/M), at position
// bitrev(k) (bit-reversed order over log2 M bits).

// One radix-4 decimation-in-frequency stage on a block of n >= 64 doubles.
void fft_radix4_stage(int32_t n, double* block);
// The same stage applied to the conjugate of the block.
void fft_radix4_stage_conj(int32_t n, double* block);
// The stage of the odd transform.
void fft_odd_radix4_stage(int32_t n, double* block);

// Full plain / odd transform of a block of n >= 256 doubles, bit-reversed out.
void fft_recurse(int32_t n, double* block);
void fft_recurse_odd(int32_t n, double* block);

// Finish a block of 256 or 512 doubles whose own stage has already run.
void fft_block(int32_t n, double* block);
void fft_odd_block(int32_t n, double* block);
// Finish a block of 64 or 128 doubles whose own stage has already run.
void fft_block_small(int32_t n, double* block);

// Swap value k with value bitrev(k) over log2(n/2) bits, each pair once.
void fft_bitrev_permute(int32_t n, double* data);
// The same permutation, with every value also conjugated exactly once.
void fft_bitrev_permute_conj(int32_t n, double* data);

#endif  // MORLANT_FFT_FFT_H
