// Products and squares of BigFloat numbers by transform, and the rounding-
// error test that chooses the radix.
//
// L is the transform length (a power of two, counting doubles); P, Q, S are
// caller-owned transform arrays of at least L + 2 doubles. "hi" means a
// number's first L/2 + 1 words. The "lo" part of a number starts at the
// first index j0 >= L/2 + 1 where it has a non-zero word and takes at most
// L/2 + 1 words from there; it is absent when there is none below n. A
// full-precision product is hi*hi plus the two cross products hi*lo; lo*lo
// lies below the n-th word and is never formed.
//
// Spectra kept "in split form" in P (see big_transform.h) let a later call
// skip that operand's forward transform.
#ifndef MORLANT_BIGNUM_BIG_MUL_H
#define MORLANT_BIGNUM_BIG_MUL_H

#include <cstdint>

#include "bignum/bigfloat.h"

// out = a * b to n words: four forward and two inverse transforms. out may
// be a; tmp (n words) holds a partial product and must not be an operand.
void big_mul(int32_t n, int32_t R, const BigFloat* a, const BigFloat* b, BigFloat* out, BigFloat* tmp,
             int32_t L, double* P, double* Q, double* S);

// out = a_hi * b to n words; P keeps a_hi's spectrum in split form. out may be b.
void big_mul_short(int32_t n, int32_t R, const BigFloat* a, const BigFloat* b, BigFloat* out, BigFloat* tmp,
                   int32_t L, double* P, double* Q);

// out = a_hi * a to n words, P as big_mul_short left it for a (P is consumed):
// a_hi^2 + a_hi * a_lo, the cross product entering once. out may be a.
void big_sqr_short(int32_t n, int32_t R, double* P, const BigFloat* a, BigFloat* out, BigFloat* tmp,
                   int32_t L, double* Q);

// out = a_hi * b_hi to w words (operands taken from their first w words);
// P keeps a_hi's spectrum in split form. out may be b.
void big_mul_half(int32_t w, int32_t R, const BigFloat* a, const BigFloat* b, BigFloat* out, int32_t L,
                  double* P, double* Q);

// out = x * (b's words from its first non-zero word at index >= s, at most
// L/2 + 1 of them) to w words, x being the number whose split spectrum P
// holds. P is unchanged. out may be b.
void big_mul_stored(int32_t w, int32_t R, const double* P, int32_t s, const BigFloat* b, BigFloat* out,
                    int32_t L, double* Q);

// out = a_hi^2 to w words. out may be a.
void big_sqr(int32_t w, int32_t R, const BigFloat* a, BigFloat* out, int32_t L, double* P);

// out = a_hi^2 to w words; P keeps a_hi's spectrum in split form. out may be a.
void big_sqr_keep(int32_t w, int32_t R, const BigFloat* a, BigFloat* out, int32_t L, double* P, double* Q);

// Squares the worst-case operand at length L and radix R in X (L + 2 doubles)
// and returns twice the largest distance of a coefficient from an integer,
// in units of the last word: 0 for exact arithmetic, 1 at worst.
double fft_roundoff_test(int32_t n, int32_t R, int32_t L, double* X);

#endif  // MORLANT_BIGNUM_BIG_MUL_H
