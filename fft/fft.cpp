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
#include "fft/fft.h"

#include <cmath>
#include <cstddef>

#include "fft/fft_butterfly.h"
#include "fft/fft_leaf.h"
#include "fft/fft_simd.h"

using namespace fftk;

namespace {

// Plain stage (Conj: on the conjugated block) and odd stage, on n doubles:
// index 0, the front pairs each followed at once by their mirror pair, then
// the middle indices Q/2 - 1, Q/2 and Q/2 + 1.
template <bool Odd, bool Conj>
void radix4_stage(int32_t n, double* z) {
  const std::size_t q = static_cast<std::size_t>(n) / 8;
  const std::size_t half = q / 2;
  auto front = [&](std::size_t j, cpx a, cpx b) {
    if (Odd) odd_bfly(z, j, q, a, b);
    else plain_bfly<Conj>(z, j, q, a, b);
  };
  // Index Q - j from the twiddles (a, b) of index j.
  auto mirror = [&](std::size_t j, cpx a, cpx b) {
    if (Odd) {
      // v^(Q-j) = zeta conj(v^j), v^(3(Q-j)) = zeta^3 conj(v^(3j))
      odd_bfly(z, q - j, q, mul_zeta(conj(a)), mul_zeta3(conj(b)));
    } else {
      // w^(Q-j) = i conj(w^j), w^(3(Q-j)) = -i conj(w^(3j))
      plain_bfly<Conj>(z, q - j, q, cpx{a.im, a.re}, cpx{-b.im, -b.re});
    }
  };

  if (Odd) odd_bfly0(z, 0, q);
  else plain_bfly0<Conj>(z, 0, q);
  stage_twiddles<Odd>(
      n,
      [&](std::size_t j, cpx a0, cpx b0, cpx a1, cpx b1) {
        front(j, a0, b0);
        front(j + 1, a1, b1);
        mirror(j, a0, b0);
        mirror(j + 1, a1, b1);
      },
      [&](cpx a, cpx b, cpx c, cpx d) {
        front(half - 1, a, b);
        // Plain: w^(Q/2) = exp(i pi/4) = c(1 + i), w^(3Q/2) = c(-1 + i), with
        // c the chain's cosine; odd: the chains' values as they are.
        if (Odd) front(half, c, d);
        else front(half, cpx{c.re, c.re}, cpx{-c.re, c.re});
        mirror(half - 1, a, b);
      });
}

// Leaves on the four sub-quarters of a quarter of qd doubles (64 or 128).
inline void quarter_leaves(std::size_t qd, double* z, bool odd) {
  const std::size_t ld = qd / 4;
  if (ld == 16) {
    fft_leaf8(z);
    fft_odd_leaf8(z + ld);
    fft_leaf8(z + 2 * ld);
    if (odd) fft_odd_leaf8(z + 3 * ld);
    else fft_leaf8(z + 3 * ld);
  } else {
    fft_leaf16(z);
    fft_odd_leaf16(z + ld);
    fft_leaf16(z + 2 * ld);
    if (odd) fft_odd_leaf16(z + 3 * ld);
    else fft_leaf16(z + 3 * ld);
  }
}

// The four quarters of a 256- or 512-double block: kinds plain, odd, plain,
// and plain (Odd = false) or odd (Odd = true).
template <bool Odd>
void finish_block(int32_t n, double* z) {
  const int32_t qd = n / 4;
  const std::size_t s = static_cast<std::size_t>(qd);
  fft_radix4_stage(qd, z);
  quarter_leaves(s, z, false);
  fft_odd_radix4_stage(qd, z + s);
  quarter_leaves(s, z + s, true);
  fft_radix4_stage(qd, z + 2 * s);
  quarter_leaves(s, z + 2 * s, false);
  if (Odd) {
    fft_odd_radix4_stage(qd, z + 3 * s);
    quarter_leaves(s, z + 3 * s, true);
  } else {
    fft_radix4_stage(qd, z + 3 * s);
    quarter_leaves(s, z + 3 * s, false);
  }
}

// After the top stage: finish the four quarters of an array of n >= 64 doubles.
void finish_top(int32_t n, double* data) {
  if (n >= 513) {
    const int32_t q = n / 4;
    const std::size_t s = static_cast<std::size_t>(q);
    fft_recurse(q, data);
    fft_recurse_odd(q, data + s);
    fft_recurse(q, data + 2 * s);
    fft_recurse(q, data + 3 * s);
  } else if (n < 132) {
    fft_block_small(n, data);
  } else {
    fft_block(n, data);
  }
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

void fft_block(int32_t n, double* block) { finish_block<false>(n, block); }
void fft_odd_block(int32_t n, double* block) { finish_block<true>(n, block); }

void fft_block_small(int32_t n, double* block) {
  const std::size_t s = static_cast<std::size_t>(n) / 4;
  if (n == 64) {
    fft_leaf8(block);
    fft_odd_leaf8(block + s);
    fft_leaf8(block + 2 * s);
    fft_leaf8(block + 3 * s);
  } else {
    fft_leaf16(block);
    fft_odd_leaf16(block + s);
    fft_leaf16(block + 2 * s);
    fft_leaf16(block + 3 * s);
  }
}

// Depth first, quarters in address order; the last quarter (plain under a
// plain block) is the next turn of the loop rather than a call.
void fft_recurse(int32_t n, double* block) {
  for (;;) {
    fft_radix4_stage(n, block);
    if (n < 513) {
      fft_block(n, block);
      return;
    }
    const int32_t q = n / 4;
    const std::size_t s = static_cast<std::size_t>(q);
    fft_recurse(q, block);
    fft_recurse_odd(q, block + s);
    fft_recurse(q, block + 2 * s);
    block += 3 * s;
    n = q;
  }
}

// Quarters plain, odd, plain, odd; the last one is the next turn of the loop.
void fft_recurse_odd(int32_t n, double* block) {
  for (;;) {
    fft_odd_radix4_stage(n, block);
    if (n < 513) {
      fft_odd_block(n, block);
      return;
    }
    const int32_t q = n / 4;
    const std::size_t s = static_cast<std::size_t>(q);
    fft_recurse(q, block);
    fft_recurse_odd(q, block + s);
    fft_recurse(q, block + 2 * s);
    block += 3 * s;
    n = q;
  }
}

void fft_forward(int32_t n, double* data) {
  if (n < 33) {
    fft_small_forward(n, data);
    return;
  }
  fft_radix4_stage(n, data);
  finish_top(n, data);
  fft_bitrev_permute(n, data);
}

void fft_inverse(int32_t n, double* data) {
  if (n < 33) {
    fft_small_inverse(n, data);
    return;
  }
  fft_radix4_stage_conj(n, data);
  finish_top(n, data);
  fft_bitrev_permute_conj(n, data);
}

void fft_complex_transform(int32_t n, int32_t sign, double* data) {
  if (sign < 0) fft_inverse(n, data);
  else fft_forward(n, data);
}
