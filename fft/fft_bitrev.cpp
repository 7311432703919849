// Bit-reversal permutation of N = n/2 complex values without index tables.
//
// The b-bit complex index is split into a high field of c bits, a middle
// field (1 bit for odd b, 2 bits for even b) and a low field of c bits;
// bitrev(h, m, l) = (rev l, rev m, rev h). For each low value k, the reversed
// counter a = rev(k) sits in the high field, and the pairs (a, m, l) <->
// (rev l, rev m, k) with l < k are swapped, plus for even b the pair
// (a, 01, k) <-> (a, 10, k). That enumerates every pair with
// bitrev(x) != x exactly once: (2^b - 2^ceil(b/2)) / 2 swaps. Values with
// l = k and a symmetric middle are the fixed points.
#include <cstddef>

#include "fft/fft.h"

namespace {

// Advances a bit-reversed counter whose top bit is `top`: flip bits from the
// top down until one turns from 0 to 1.
inline std::size_t rev_increment(std::size_t r, std::size_t top) {
  for (std::size_t m = top; m != 0; m >>= 1) {
    r ^= m;
    if (r & m) break;
  }
  return r;
}

template <bool Conj>
inline void swap_values(double* z, std::size_t x, std::size_t y) {
  const double xr = z[2 * x], xi = z[2 * x + 1];
  z[2 * x] = z[2 * y];
  z[2 * x + 1] = Conj ? -z[2 * y + 1] : z[2 * y + 1];
  z[2 * y] = xr;
  z[2 * y + 1] = Conj ? -xi : xi;
}

inline void conj_value(double* z, std::size_t x) { z[2 * x + 1] = -z[2 * x + 1]; }

template <bool Conj>
void bitrev_permute(int32_t n, double* z) {
  std::size_t count = static_cast<std::size_t>(n) / 2;
  int b = 0;
  while ((std::size_t{1} << b) < count) ++b;
  if (b == 0) {
    if (Conj) conj_value(z, 0);
    return;
  }
  const bool odd = (b & 1) != 0;
  const int c = odd ? (b - 1) / 2 : (b - 2) / 2;
  const std::size_t low_count = std::size_t{1} << c;
  const std::size_t top = std::size_t{1} << (b - 1);  // top bit of the high field
  const std::size_t m1 = std::size_t{1} << c;        // middle 1 (odd) or 01 (even)
  const std::size_t m2 = m1 << 1;                    // middle 10 (even)
  std::size_t a = 0;                                 // rev(k) in the high field
  for (std::size_t k = 0; k < low_count; ++k) {
    std::size_t rl = 0;  // rev(l) in the high field
    for (std::size_t l = 0; l < k; ++l) {
      if (odd) {
        swap_values<Conj>(z, a | l, rl | k);
        swap_values<Conj>(z, a | m1 | l, rl | m1 | k);
      } else {
        swap_values<Conj>(z, a | l, rl | k);
        swap_values<Conj>(z, a | m1 | l, rl | m2 | k);
        swap_values<Conj>(z, a | m2 | l, rl | m1 | k);
        swap_values<Conj>(z, a | m1 | m2 | l, rl | m1 | m2 | k);
      }
      rl = rev_increment(rl, top);
    }
    if (odd) {
      if (Conj) {
        conj_value(z, a | k);
        conj_value(z, a | m1 | k);
      }
    } else {
      swap_values<Conj>(z, a | m1 | k, a | m2 | k);
      if (Conj) {
        conj_value(z, a | k);
        conj_value(z, a | m1 | m2 | k);
      }
    }
    a = rev_increment(a, top);
  }
}

}  // namespace

void fft_bitrev_permute(int32_t n, double* data) { bitrev_permute<false>(n, data); }
void fft_bitrev_permute_conj(int32_t n, double* data) { bitrev_permute<true>(n, data); }
