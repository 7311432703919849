// The product path's transforms (fft_forward_scrambled, fft_inverse_scrambled)
// and the portable adjoint stages and leaves behind the second (fft_dit.h).
//
// The forward transform is stages D_1 (the top one) ... D_k (the leaves) and
// then the bit reversal P: F = P D. F is symmetric, so the conjugate
// transpose is F^H = D^H P, and D^H (P F x) = F^H F x = N x: the adjoints of
// the stages, leaves first and the top stage last, invert the unpermuted
// forward transform. The recursion is the forward one turned inside out:
// a block's quarters first, then its own stage.
#include "fft/fft_dit.h"

#include <cstddef>

#include "fft/fft.h"
#include "fft/fft_butterfly.h"
#include "fft/fft_dit_butterfly.h"
#include "fft/fft_leaf.h"

using namespace fftk;

namespace {

void finish_quarters(int32_t n, double* data);

// The adjoint of a stage on n >= 64 doubles: the butterflies of the forward
// stage, each replaced by its adjoint, with the same twiddles.
template <bool Odd>
void dit_stage(int32_t n, double* z) {
  const std::size_t q = static_cast<std::size_t>(n) / 8;
  stage_walk<Odd>(n, [&](std::size_t j, cpx w1, cpx w3) {
    if (Odd) odd_adj(z, j, q, w1, w3);
    else plain_adj(z, j, q, w1, w3);
  });
}

// The plain forward stage with c = d = 0: a + b, a - b, (a + ib) w1,
// (a - ib) w3; index 0 takes the one non-zero value of the upper half.
void half_stage(int32_t n, double* z) {
  const std::size_t q = static_cast<std::size_t>(n) / 8;
  const cpx spill = {z[4 * q], 0.0};
  stage_walk<false>(n, [&](std::size_t j, cpx w1, cpx w3) {
    const cpx a = load(z, j), b = load(z, j + q);
    if (j == 0) store_quad(z, 0, q, plain4(a, b, spill, cpx{0.0, 0.0}));
    else store_quad(z, j, q, {a + b, a - b, mul(add_i(a, b), w1), mul(sub_i(a, b), w3)});
  });
}

// Adjoints of the leaves' quarter transforms: 2 values (the plain fold is its
// own adjoint; the odd fold (p + iq, p - iq) has (p + q, -i (p - q))) and
// 4 values (a stage with Q = 1).
inline void two_plain_adj(double* z, std::size_t k) {
  const cpx p = load(z, k), q = load(z, k + 1);
  store(z, k, p + q);
  store(z, k + 1, p - q);
}
inline void two_odd_adj(double* z, std::size_t k) {
  const cpx p = load(z, k), q = load(z, k + 1);
  store(z, k, p + q);
  store(z, k + 1, mul_neg_i(p - q));
}
inline void four_plain_adj(double* z, std::size_t k) { plain_adj0(z + 2 * k, 0, 1); }
inline void four_odd_adj(double* z, std::size_t k) { odd_adj0(z + 2 * k, 0, 1); }


// The recursion. A block of n >= 64 doubles: its quarters (plain, odd, plain,
// and plain or odd as the block), leaves below 64 doubles, then its stage.
void dit_leaf(int32_t qd, double* z, bool odd) {
  if (qd == 16) {
    if (odd) fft_odd_dit_leaf8(z);
    else fft_dit_leaf8(z);
  } else if (odd) {
    fft_odd_dit_leaf16(z);
  } else {
    fft_dit_leaf16(z);
  }
}

void dit_block(int32_t n, double* z, bool odd) {
  const int32_t qd = n / 4;
  const std::size_t s = static_cast<std::size_t>(qd);
  if (qd < 64) {
    dit_leaf(qd, z, false);
    dit_leaf(qd, z + s, true);
    dit_leaf(qd, z + 2 * s, false);
    dit_leaf(qd, z + 3 * s, odd);
  } else {
    dit_block(qd, z, false);
    dit_block(qd, z + s, true);
    dit_block(qd, z + 2 * s, false);
    dit_block(qd, z + 3 * s, odd);
  }
  if (odd) fft_odd_dit_stage(n, z);
  else fft_dit_stage(n, z);
}

}  // namespace

void fft_half_stage_portable(int32_t n, double* data) { half_stage(n, data); }
void fft_dit_stage_portable(int32_t n, double* block) { dit_stage<false>(n, block); }
void fft_odd_dit_stage_portable(int32_t n, double* block) { dit_stage<true>(n, block); }

void fft_dit_leaf8_portable(double* z) {
  two_plain_adj(z, 0);
  two_odd_adj(z, 2);
  two_plain_adj(z, 4);
  two_plain_adj(z, 6);
  plain_adj0(z, 0, 2);
  plain_adj(z, 1, 2, kW8, kW8x3);
}
void fft_dit_leaf16_portable(double* z) {
  four_plain_adj(z, 0);
  four_odd_adj(z, 4);
  four_plain_adj(z, 8);
  four_plain_adj(z, 12);
  plain_adj0(z, 0, 4);
  plain_adj(z, 1, 4, kW16, kW16x3);
  plain_adj(z, 2, 4, kW8, kW8x3);
  plain_adj(z, 3, 4, kW16x3, kW16x9);
}
void fft_odd_dit_leaf8_portable(double* z) {
  two_plain_adj(z, 0);
  two_odd_adj(z, 2);
  two_plain_adj(z, 4);
  two_odd_adj(z, 6);
  odd_adj0(z, 0, 2);
  odd_adj(z, 1, 2, kW16, kW16x3);
}
void fft_odd_dit_leaf16_portable(double* z) {
  four_plain_adj(z, 0);
  four_odd_adj(z, 4);
  four_plain_adj(z, 8);
  four_odd_adj(z, 12);
  odd_adj0(z, 0, 4);
  odd_adj(z, 1, 4, kV16, kV16x3);
  odd_adj(z, 2, 4, kW16, kW16x3);
  odd_adj(z, 3, 4, kV16x3, kV16x9);
}

void fft_dit_stage(int32_t n, double* block) {
  if (fft_simd_enabled()) fft_dit_stage_vec(n, block);
  else fft_dit_stage_portable(n, block);
}
void fft_odd_dit_stage(int32_t n, double* block) {
  if (fft_simd_enabled()) fft_odd_dit_stage_vec(n, block);
  else fft_odd_dit_stage_portable(n, block);
}
void fft_dit_leaf8(double* block) {
  if (fft_simd_enabled()) fft_dit_leaf8_vec(block);
  else fft_dit_leaf8_portable(block);
}
void fft_dit_leaf16(double* block) {
  if (fft_simd_enabled()) fft_dit_leaf16_vec(block);
  else fft_dit_leaf16_portable(block);
}
void fft_odd_dit_leaf8(double* block) {
  if (fft_simd_enabled()) fft_odd_dit_leaf8_vec(block);
  else fft_odd_dit_leaf8_portable(block);
}
void fft_odd_dit_leaf16(double* block) {
  if (fft_simd_enabled()) fft_odd_dit_leaf16_vec(block);
  else fft_odd_dit_leaf16_portable(block);
}

// Arrays of at most 32 doubles take the direct transforms and the bit
// reversal (its own inverse) in place of the missing permutation.
void fft_forward_scrambled(int32_t n, double* data) {
  if (n < 64) {
    fft_forward(n, data);
    if (n >= 4) fft_bitrev_permute(n, data);
    return;
  }
  fft_radix4_stage(n, data);
  finish_quarters(n, data);
}

namespace {

// The forward transform of a block of n >= 64 doubles after its top stage.
void finish_quarters(int32_t n, double* data) {
  const int32_t q = n / 4;
  const std::size_t s = static_cast<std::size_t>(q);
  if (q < 64) {
    fft_block_small(n, data);
  } else if (q < 129) {
    fft_block(n, data);
  } else {
    fft_recurse(q, data);
    fft_recurse_odd(q, data + s);
    fft_recurse(q, data + 2 * s);
    fft_recurse(q, data + 3 * s);
  }
}

}  // namespace

void fft_forward_scrambled_half(int32_t n, double* data) {
  if (n < 64) {
    for (int32_t i = n / 2 + 1; i < n; ++i) data[i] = 0.0;
    fft_forward_scrambled(n, data);
    return;
  }
  if (fft_simd_enabled()) fft_half_stage_vec(n, data);
  else fft_half_stage_portable(n, data);
  finish_quarters(n, data);
}

void fft_inverse_scrambled(int32_t n, double* data) {
  if (n < 64) {
    if (n >= 4) fft_bitrev_permute(n, data);
    fft_inverse(n, data);
    return;
  }
  if (fft_simd_enabled()) fft_inverse_scrambled_vec(n, data);
  else dit_block(n, data, false);
}
