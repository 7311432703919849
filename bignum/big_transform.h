// Transform arrays: loading numbers for a convolution, the frequency-domain
// product kernels, and the rounding carry-back of a product.
//
// A transform array of length L (a power of two >= 2, counting doubles) has
// L + 2 doubles:
//   X[0]       exponent of the loaded part (number's exponent minus the index
//              of its first loaded word); after a product, the sum of both;
//   X[1]       first loaded word w0, never negative;
//   X[2]       second word plus the carry from balancing the words below it;
//   X[3 ... m] further words, balanced into [-R/2, R/2);
//   X[m+1 ... L]  0 (X[L/2+2 ... L] implied: left unset by the loading);
//   X[L+1]     sign * w0, the signed leading word; after a product, the exact
//              product of both signed leading words (the leading product).
// X[1 ... L] are the L/2 interleaved complex values handed to
// fft_forward_scrambled_half(L, X + 1), which takes X[L/2+2 ... L] as zero
// without reading them (big_to_transform leaves them unset); a spectrum stays
// in the bit-reversed order that transform leaves, and
// fft_inverse_scrambled(L, X + 1) takes a product back to natural order. An
// operand takes at most L/2 + 1 words, so its product's L + 1 coefficients
// fit a cyclic convolution of length L with a single wrapped coefficient,
// which the leading product recovers exactly.
//
// Split form: the spectrum of the real sequence X[1 ... L], obtained from the
// half-length complex spectrum by the split step (value k paired with L/2-k;
// values 0 and L/4, at positions 0 and 1, are the same in both forms). A
// spectrum kept in split form can serve several products without a new
// forward transform.
#ifndef MORLANT_BIGNUM_BIG_TRANSFORM_H
#define MORLANT_BIGNUM_BIG_TRANSFORM_H

#include <cstdint>

#include "bignum/bigfloat.h"
#include "fft/team.h"

// Loads up to L/2 + 1 words of a, from word index s of its w words, into X.
// With a team, long loads are shared among its members (same result).
void big_to_transform(const BigFloat* a, int32_t s, int32_t w, int32_t R, int32_t L, double* X,
                      Team* team = nullptr);

// Converts the inverse-transformed product X (L/2 times the coefficients,
// coefficient L wrapped onto 0, leading product in X[L+1]) into out with w
// words, each coefficient rounded to the nearest integer. X is modified.
// With a team, long carry-backs are shared among its members (same words).
void big_from_transform(int32_t w, int32_t R, int32_t L, double* X, BigFloat* out, Team* team = nullptr);

// Frequency-domain kernels for the values k = 1 ... L/2-1 of forward
// transforms (L >= 4). "raw" is a spectrum as the transform left it, "split"
// one in split form. Value 0, index 0 and index L+1 are the caller's.
//   fft_mul_kernel            x raw (split, kept), y raw     -> x*y into y
//   fft_mul_stored_kernel     x split,             y raw     -> x*y into y
//   fft_mul_into_stored_kernel x raw (split, kept), y split  -> x*y into y
//   fft_mul_partial_kernel    x raw (split, kept), y raw     -> x*y into y, left split
//   fft_mul_accumulate_kernel x split, y raw (not kept), z split product
//                                                           -> z + x*y into z
//   fft_sqr_kernel            x raw                          -> x^2 into x
//   fft_sqr_keep_kernel       x raw (split, kept)            -> x^2 into y
//   fft_sqr_stored_kernel     x split                        -> x^2 into x
// Unless "left split", the result is unsplit, ready for the inverse transform.
// With a team (fft/team.h), a long pass is shared among its members, with
// the same result to the bit; null runs it on the calling thread.
void fft_mul_kernel(int32_t L, double* x, double* y, Team* team = nullptr);
void fft_mul_stored_kernel(int32_t L, const double* x, double* y, Team* team = nullptr);
void fft_mul_into_stored_kernel(int32_t L, double* x, double* y, Team* team = nullptr);
void fft_mul_partial_kernel(int32_t L, double* x, double* y, Team* team = nullptr);
void fft_mul_accumulate_kernel(int32_t L, const double* x, double* y, double* z, Team* team = nullptr);
void fft_sqr_kernel(int32_t L, double* x, Team* team = nullptr);
void fft_sqr_keep_kernel(int32_t L, double* x, double* y, Team* team = nullptr);
void fft_sqr_stored_kernel(int32_t L, double* x, Team* team = nullptr);

#endif  // MORLANT_BIGNUM_BIG_TRANSFORM_H
