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
#include <cstring>

#include "fft/fft.h"
#include "fft/fft_simd.h"

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

#ifdef MORLANT_FFT_HAVE_VEC
// The vector path moves each complex value as one 16-byte vector (SSE2 on
// x86-64, Advanced SIMD on AArch64: both baseline) and conjugates it with
// one multiplication by (1, -1), which is exact.
typedef double value2 __attribute__((vector_size(16)));

inline value2 get(const double* z, std::size_t x) {
  value2 v;
  std::memcpy(&v, z + 2 * x, sizeof v);
  return v;
}
inline void put(double* z, std::size_t x, value2 v) { std::memcpy(z + 2 * x, &v, sizeof v); }

template <bool Conj>
inline value2 moved(value2 v) {
  const value2 flip = {1.0, -1.0};
  return Conj ? v * flip : v;
}

template <bool Conj>
inline void swap_values(double* z, std::size_t x, std::size_t y) {
  const value2 a = get(z, x), b = get(z, y);
  put(z, x, moved<Conj>(b));
  put(z, y, moved<Conj>(a));
}

// An off-diagonal 4 x 4 tile: value (t, u) = z[ra[t] + ca + u] is exchanged
// with z[rb[u] + cb + t], a transposition between two runs of four rows of
// four consecutive values. Half the tile (t = 0, 1 or 2, 3) at a time, so
// its 16 values stay in registers; consecutive values load and store in
// pairs.
template <bool Conj>
inline void swap_tile(double* z, const std::size_t* ra, std::size_t ca, const std::size_t* rb, std::size_t cb) {
  for (std::size_t t = 0; t < 4; t += 2) {
    double* pa[2] = {z + 2 * (ra[t] + ca), z + 2 * (ra[t + 1] + ca)};
    double* pb[4] = {z + 2 * (rb[0] + cb + t), z + 2 * (rb[1] + cb + t), z + 2 * (rb[2] + cb + t),
                     z + 2 * (rb[3] + cb + t)};
    value2 a[2][4], b[4][2];
    for (std::size_t i = 0; i < 2; ++i)
      for (std::size_t u = 0; u < 4; ++u) a[i][u] = get(pa[i], u);
    for (std::size_t u = 0; u < 4; ++u)
      for (std::size_t i = 0; i < 2; ++i) b[u][i] = get(pb[u], i);
    for (std::size_t i = 0; i < 2; ++i)
      for (std::size_t u = 0; u < 4; ++u) put(pa[i], u, moved<Conj>(b[u][i]));
    for (std::size_t u = 0; u < 4; ++u)
      for (std::size_t i = 0; i < 2; ++i) put(pb[u], i, moved<Conj>(a[i][u]));
  }
}
#else
template <bool Conj>
inline void swap_values(double* z, std::size_t x, std::size_t y) {
  const double xr = z[2 * x], xi = z[2 * x + 1];
  z[2 * x] = z[2 * y];
  z[2 * x + 1] = Conj ? -z[2 * y + 1] : z[2 * y + 1];
  z[2 * y] = xr;
  z[2 * y + 1] = Conj ? -xi : xi;
}
#endif

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
  // Swaps of the pair (k, l): (a, m, l) <-> (rev l, rev m, k), a = rev k.
  auto swap_pair = [&](std::size_t k, std::size_t a, std::size_t l, std::size_t rl) {
    if (odd) {
      swap_values<Conj>(z, a | l, rl | k);
      swap_values<Conj>(z, a | m1 | l, rl | m1 | k);
    } else {
      swap_values<Conj>(z, a | l, rl | k);
      swap_values<Conj>(z, a | m1 | l, rl | m2 | k);
      swap_values<Conj>(z, a | m2 | l, rl | m1 | k);
      swap_values<Conj>(z, a | m1 | m2 | l, rl | m1 | m2 | k);
    }
  };
  // The pairs l = k: the middle exchange and the fixed points.
  auto diagonal = [&](std::size_t k, std::size_t a) {
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
  };

  // The pairs l < k are taken in tiles of kTile x kTile (k, l): a tile reads
  // kTile consecutive values (64 bytes, one cache line) in each of kTile
  // rows on both sides of its swaps, so every line it touches is used whole,
  // where the row-by-row order would touch a new line (and page) for every
  // partner. Four is the fastest here: larger tiles touch more rows at once.
  constexpr std::size_t kTile = 4;
  const std::size_t tile = low_count < kTile ? low_count : kTile;
  std::size_t a_base = 0;  // rev(kb) in the high field
  for (std::size_t kb = 0; kb < low_count; kb += tile) {
    std::size_t rl_base = 0;  // rev(lb) in the high field
    for (std::size_t lb = 0; lb <= kb; lb += tile) {
#ifdef MORLANT_FFT_HAVE_VEC
      if (lb < kb && tile == kTile) {
        // (a, m, l) <-> (rev l, rev m, k) for the tile's k and l, per middle.
        std::size_t ra[kTile], rb[kTile];
        ra[0] = a_base;
        rb[0] = rl_base;
        for (std::size_t t = 1; t < kTile; ++t) {
          ra[t] = rev_increment(ra[t - 1], top);
          rb[t] = rev_increment(rb[t - 1], top);
        }
        swap_tile<Conj>(z, ra, lb, rb, kb);
        if (odd) {
          swap_tile<Conj>(z, ra, m1 | lb, rb, m1 | kb);
        } else {
          swap_tile<Conj>(z, ra, m1 | lb, rb, m2 | kb);
          swap_tile<Conj>(z, ra, m2 | lb, rb, m1 | kb);
          swap_tile<Conj>(z, ra, m1 | m2 | lb, rb, m1 | m2 | kb);
        }
        rl_base = rev_increment(rb[kTile - 1], top);
        continue;
      }
#endif
      std::size_t a = a_base;
      for (std::size_t k = kb; k < kb + tile; ++k) {
        std::size_t rl = rl_base;
        const std::size_t l_end = lb == kb ? k : lb + tile;
        for (std::size_t l = lb; l < l_end; ++l) {
          swap_pair(k, a, l, rl);
          rl = rev_increment(rl, top);
        }
        if (lb == kb) diagonal(k, a);
        a = rev_increment(a, top);
      }
      for (std::size_t t = 0; t < tile; ++t) rl_base = rev_increment(rl_base, top);
    }
    for (std::size_t t = 0; t < tile; ++t) a_base = rev_increment(a_base, top);
  }
}

}  // namespace

void fft_bitrev_permute(int32_t n, double* data) { bitrev_permute<false>(n, data); }
void fft_bitrev_permute_conj(int32_t n, double* data) { bitrev_permute<true>(n, data); }
