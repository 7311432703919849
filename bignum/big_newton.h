// Reciprocal, square root and inverse square root of a small integer by
// Newton iterations whose working precision doubles up to the full length.
//
// Precision p is a power of two in words, at most the transform length L;
// a step at precision p works on w = min(p + 2, n) words with products of
// transform length p and rounds its short operand to h + 1 words, h = p/2.
// Corrections, which are small, use w3 = max(w/2 + 1, w - (h + 1)) words.
// Scratch: two records tmp1, tmp2 of n words, all the caller's, and the
// products' record (big_mul.h) with L, the transform arrays P and Q of L + 2
// doubles, and the team; its S and tmp are not used. The output must not
// alias the input or the scratch.
#ifndef MORLANT_BIGNUM_BIG_NEWTON_H
#define MORLANT_BIGNUM_BIG_NEWTON_H

#include <cstdint>

#include "bignum/big_mul.h"
#include "bignum/bigfloat.h"

// out = 1/x. Returns 0, or -1 when x is zero (out untouched).
int32_t big_reciprocal(int32_t n, int32_t R, const BigFloat* x, BigFloat* out, BigFloat* tmp1, BigFloat* tmp2,
                       const ProductScratch* scratch);

// out = sqrt(x). Returns 0, or -1 when x is negative (out untouched); zero
// gives zero. tmp1 ends holding about 1/sqrt(x) to half the precision.
int32_t big_sqrt(int32_t n, int32_t R, const BigFloat* x, BigFloat* out, BigFloat* tmp1, BigFloat* tmp2,
                 const ProductScratch* scratch);

// out = 1/sqrt(k). Returns 0, or -1 when k < 1 (out untouched).
int32_t big_rsqrt_small(int32_t n, int32_t R, int32_t k, BigFloat* out, BigFloat* tmp1, BigFloat* tmp2,
                        const ProductScratch* scratch);

// One step of each iteration at precision p on w words; each returns r, the
// number of words the approximation was correct to before the step (p + 1
// when the residual was zero). The products run at length p in scratch's
// arrays.
int32_t big_reciprocal_step(int32_t w, int32_t R, const BigFloat* x, BigFloat* y, BigFloat* tmp1, BigFloat* tmp2,
                            int32_t p, const ProductScratch* scratch);
// y -> sqrt(x) and z -> 1/sqrt(x) together. *marker holds the transform
// length at which P last received z's spectrum (0 at the start).
int32_t big_sqrt_step(int32_t w, int32_t R, const BigFloat* x, BigFloat* y, BigFloat* z, BigFloat* tmp, int32_t p,
                      const ProductScratch* scratch, int32_t* marker);
int32_t big_rsqrt_small_step(int32_t w, int32_t R, int32_t k, BigFloat* y, BigFloat* tmp1, BigFloat* tmp2,
                             int32_t p, const ProductScratch* scratch);

// y ~ sqrt(x) and z ~ 1/sqrt(x) from double precision, w words each, x > 0.
void big_sqrt_seed(int32_t w, int32_t R, const BigFloat* x, BigFloat* y, BigFloat* z);

// Rounds y half up to h + 1 words within a count of w words: words
// h+2 ... w-1 become 0, word h+1 is rounded into word h and cleared. A
// carry out of the top makes y = 1 at exponent + 1. Nothing when w <= h + 1.
void big_round_words(BigFloat* y, int32_t h, int32_t w, int32_t R);

#endif  // MORLANT_BIGNUM_BIG_NEWTON_H
