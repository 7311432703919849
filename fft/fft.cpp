// Radix-4 decimation-in-frequency FFT, depth first, without tables.
//
// A plain stage on a block of M values leaves quarter 0 to be finished by a
// plain transform (frequencies k = 0 mod 4), quarter 1 by an odd transform
// (k = 2 mod 4), quarters 2 and 3 by plain transforms (k = 1 and 3 mod 4). In
// bit-reversed order these are exactly the four output quarters, so quarters
// are finished in place. An odd stage's quarters are plain, odd, plain, odd.
// The inverse is conj(forward(conj(x))): the first stage reads conjugates and
// the final permutation conjugates.
//
// Twiddles: w^j and w^(3j) for the front indices j = 1 ... Q/2-2 come from a
// second-order recurrence in two interleaved chains per angle, restarted from
// cos/sin every 64 indices; the mirror indices Q-j reuse them, and the three
// middle indices Q/2-1, Q/2, Q/2+1 come last. A stage on M values therefore
// calls cos and sin ceil((M/8 - 2)/64) times each.
//
// This file holds the portable path; when the vector forms are available
// (fft_simd.h) a transform, block or recursion hands the whole call to the
// vector path of fft_vec.cpp, which has its own twiddle plan.
#include "fft/fft.h"

#include <cmath>
#include <cstddef>

#include "fft/fft_butterfly.h"
#include "fft/fft_leaf.h"
#include "fft/fft_simd.h"

using namespace fftk;

namespace {

// Plain stage (Conj: on the conjugated block) and odd stage, on n doubles,
// in the order of stage_walk.
template <bool Odd, bool Conj>
void radix4_stage(int32_t n, double* z) {
  const std::size_t q = static_cast<std::size_t>(n) / 8;
  stage_walk<Odd>(n, [&](std::size_t j, cpx w1, cpx w3) {
    if (Odd) odd_bfly(z, j, q, w1, w3);
    else plain_bfly<Conj>(z, j, q, w1, w3);
  });
}

// The portable path. Leaves on the four quarters of a block of n = 64 or 128
// doubles (8 or 16 values each): plain, odd, plain, and plain or odd.
void quarter_leaves(int32_t n, double* z, bool odd) {
  const std::size_t ld = static_cast<std::size_t>(n) / 4;
  if (ld == 16) {
    fft_leaf8_portable(z);
    fft_odd_leaf8_portable(z + ld);
    fft_leaf8_portable(z + 2 * ld);
    if (odd) fft_odd_leaf8_portable(z + 3 * ld);
    else fft_leaf8_portable(z + 3 * ld);
  } else {
    fft_leaf16_portable(z);
    fft_odd_leaf16_portable(z + ld);
    fft_leaf16_portable(z + 2 * ld);
    if (odd) fft_odd_leaf16_portable(z + 3 * ld);
    else fft_leaf16_portable(z + 3 * ld);
  }
}

template <bool Odd>
void recurse(int32_t n, double* block);

// The four quarters (plain, odd, plain, and plain or odd) of a block of
// n >= 64 doubles whose own stage has run.
template <bool Odd>
void finish(int32_t n, double* z) {
  if (n < 256) return quarter_leaves(n, z, Odd);
  const int32_t q = n / 4;
  const std::size_t s = static_cast<std::size_t>(q);
  recurse<false>(q, z);
  recurse<true>(q, z + s);
  recurse<false>(q, z + 2 * s);
  recurse<Odd>(q, z + 3 * s);
}

// The whole plain or odd transform of a block of n >= 64 doubles.
template <bool Odd>
void recurse(int32_t n, double* block) {
  if (Odd) fft_odd_radix4_stage_portable(n, block);
  else fft_radix4_stage_portable(n, block);
  finish<Odd>(n, block);
}

template <bool Conj>
void transform_portable(int32_t n, double* data) {
  if (Conj) fft_radix4_stage_conj_portable(n, data);
  else fft_radix4_stage_portable(n, data);
  finish<false>(n, data);
  if (Conj) fft_bitrev_permute_conj(n, data);
  else fft_bitrev_permute(n, data);
}

}  // namespace

void fft_radix4_stage_portable(int32_t n, double* block) { radix4_stage<false, false>(n, block); }
void fft_radix4_stage_conj_portable(int32_t n, double* block) { radix4_stage<false, true>(n, block); }
void fft_odd_radix4_stage_portable(int32_t n, double* block) { radix4_stage<true, false>(n, block); }

void fft_radix4_stage(int32_t n, double* block) {
  if (fft_simd_enabled()) fft_radix4_stage_vec(n, block);
  else fft_radix4_stage_portable(n, block);
}
void fft_radix4_stage_conj(int32_t n, double* block) {
  if (fft_simd_enabled()) fft_radix4_stage_conj_vec(n, block);
  else fft_radix4_stage_conj_portable(n, block);
}
void fft_odd_radix4_stage(int32_t n, double* block) {
  if (fft_simd_enabled()) fft_odd_radix4_stage_vec(n, block);
  else fft_odd_radix4_stage_portable(n, block);
}

// The blocks and recursions below choose their path once, for the whole call.
void fft_block(int32_t n, double* block) {
  if (fft_simd_enabled()) fft_finish_vec(n, false, block);
  else finish<false>(n, block);
}
void fft_odd_block(int32_t n, double* block) {
  if (fft_simd_enabled()) fft_finish_vec(n, true, block);
  else finish<true>(n, block);
}
void fft_block_small(int32_t n, double* block) { fft_block(n, block); }

void fft_recurse(int32_t n, double* block) {
  if (fft_simd_enabled()) fft_recurse_vec(n, false, block);
  else recurse<false>(n, block);
}
void fft_recurse_odd(int32_t n, double* block) {
  if (fft_simd_enabled()) fft_recurse_vec(n, true, block);
  else recurse<true>(n, block);
}

void fft_forward_portable(int32_t n, double* data) {
  if (n < 33) fft_small_forward(n, data);
  else transform_portable<false>(n, data);
}
void fft_inverse_portable(int32_t n, double* data) {
  if (n < 33) fft_small_inverse(n, data);
  else transform_portable<true>(n, data);
}

void fft_forward(int32_t n, double* data) {
  if (n >= 64 && fft_simd_enabled()) fft_forward_vec(n, data);
  else fft_forward_portable(n, data);
}

void fft_inverse(int32_t n, double* data) {
  if (n >= 64 && fft_simd_enabled()) fft_inverse_vec(n, data);
  else fft_inverse_portable(n, data);
}

void fft_complex_transform(int32_t n, int32_t sign, double* data) {
  if (sign < 0) fft_inverse(n, data);
  else fft_forward(n, data);
}
