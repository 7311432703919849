// Products and squares of BigFloat numbers by transform, and the rounding-
// error test that chooses the radix.
//
// Every product takes the word count (n, or w for the shorter ones) and the
// radix R first, then its operands, then out, then the caller's scratch
// record. "hi" means a number's first L/2 + 1 words. The "lo" part of a
// number starts at the first index j0 >= L/2 + 1 where it has a non-zero
// word and takes at most L/2 + 1 words from there; it is absent when there is
// none below n. A full-precision product is hi*hi plus the two cross products
// hi*lo; lo*lo lies below the n-th word and is never formed.
//
// A spectrum kept "in split form" in P (see big_transform.h) lets a later
// call skip that operand's forward transform.
#ifndef MORLANT_BIGNUM_BIG_MUL_H
#define MORLANT_BIGNUM_BIG_MUL_H

#include <cstdint>

#include "bignum/bigfloat.h"
#include "fft/team.h"

// The working storage of the products, and the team that shares their work
// (fft/team.h; the result is the same to the bit with or without one). The
// caller owns the record and what it points to (compute_pi allocates the
// arrays and tmp, and starts the team, once per computation); a product writes into the arrays and tmp, never into the
// record, and keeps no pointer after it returns. P, Q and S are distinct
// transform arrays of at least L + 2 doubles; tmp is a record of n words that
// is neither an operand nor out. What each product uses ("-": not touched,
// may be null):
//
//                   P                          Q      S      tmp
//   big_mul         used                       used   used   hi*hi
//   big_mul_short   keeps a_hi                 used   -      hi*hi
//   big_sqr_short   reads a_hi, consumed       used   -      cross product
//   big_mul_half    keeps a_hi                 used   -      -
//   big_mul_stored  reads, unchanged           used   -      -
//   big_sqr         used                       -      -      -
//   big_sqr_keep    keeps a_hi                 used   -      -
//   big_sqr_stored  reads, consumed            -      -      -
//
// "keeps a_hi": on return P holds a_hi's spectrum in split form at length L,
// for a later big_sqr_short, big_mul_stored or big_sqr_stored with the same L.
struct ProductScratch {
  int32_t L;       // transform length: a power of two >= 2, counting doubles
  double* P;       // the first operand's spectrum, or one kept from an earlier call
  double* Q;       // the second operand's spectrum, and the product's
  double* S;       // the cross products of big_mul
  BigFloat* tmp;   // a partial product of the long products, n words
  Team* team;      // shares long products among its members; null: the calling thread alone
};

// out = a * b to n words: four forward and two inverse transforms. out may
// be a or b (both are loaded before out is written).
void big_mul(int32_t n, int32_t R, const BigFloat* a, const BigFloat* b, BigFloat* out,
             const ProductScratch* scratch);

// out = a_hi * b to n words; P keeps a_hi's spectrum. out may be b.
void big_mul_short(int32_t n, int32_t R, const BigFloat* a, const BigFloat* b, BigFloat* out,
                   const ProductScratch* scratch);

// out = a_hi * a to n words, with P as big_mul_short left it for a (P is
// consumed): a_hi^2 + a_hi * a_lo, the cross product entering once. out may
// be a.
void big_sqr_short(int32_t n, int32_t R, const BigFloat* a, BigFloat* out, const ProductScratch* scratch);

// out = a_hi * b_hi to w words (operands taken from their first w words);
// P keeps a_hi's spectrum. out may be a or b.
void big_mul_half(int32_t w, int32_t R, const BigFloat* a, const BigFloat* b, BigFloat* out,
                  const ProductScratch* scratch);

// out = x * (b's words from its first non-zero word at index >= from, at
// most L/2 + 1 of them) to w words, x being the number whose split spectrum
// P holds. P is unchanged. out may be b.
void big_mul_stored(int32_t w, int32_t R, const BigFloat* b, int32_t from, BigFloat* out,
                    const ProductScratch* scratch);

// out = a_hi^2 to w words. out may be a.
void big_sqr(int32_t w, int32_t R, const BigFloat* a, BigFloat* out, const ProductScratch* scratch);

// out = a_hi^2 to w words; P keeps a_hi's spectrum. out may be a.
void big_sqr_keep(int32_t w, int32_t R, const BigFloat* a, BigFloat* out, const ProductScratch* scratch);

// out = x^2 to w words, x being the number whose split spectrum P holds;
// P is consumed.
void big_sqr_stored(int32_t w, int32_t R, BigFloat* out, const ProductScratch* scratch);

// Squares the worst-case operand at length L and radix R in X (L + 2 doubles)
// and returns twice the largest distance of a coefficient from an integer,
// in units of the last word: 0 for exact arithmetic, 1 at worst.
// A team shares the transforms (same result).
double fft_roundoff_test(int32_t n, int32_t R, int32_t L, double* X, Team* team = nullptr);

#endif  // MORLANT_BIGNUM_BIG_MUL_H
