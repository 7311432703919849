// Eight 16-bit words as one 16-byte vector (SSE2 on x86-64, Advanced SIMD on
// AArch64: both baseline, so no run-time check), for the word loops of the
// vector path: additions, subtractions, halving and the balancing of loaded
// words.
// Internal header of bignum/; defines nothing without MORLANT_FFT_HAVE_VEC.
#ifndef MORLANT_BIGNUM_WORD_VEC_H
#define MORLANT_BIGNUM_WORD_VEC_H

#include <cstdint>
#include <cstring>

#include "fft/fft_simd.h"

#ifdef MORLANT_FFT_HAVE_VEC
namespace {

typedef uint16_t u16x8 __attribute__((vector_size(16)));
typedef int16_t i16x8 __attribute__((vector_size(16)));

inline u16x8 load8(const uint16_t* p) {
  u16x8 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void store8(uint16_t* p, u16x8 v) { std::memcpy(p, &v, sizeof v); }
inline bool any_set(i16x8 m) {
  uint64_t h[2];
  std::memcpy(h, &m, sizeof h);
  return (h[0] | h[1]) != 0;
}
// The carries into the eight words: word k + 1's generated carry (0 or 1)
// for k < 7, and c, the block's incoming carry, for the lowest word.
inline u16x8 carries_in(u16x8 generated, uint16_t c) {
  const u16x8 low = {0, 0, 0, 0, 0, 0, 0, c};
  return __builtin_shufflevector(generated, low, 1, 2, 3, 4, 5, 6, 7, 15);
}

// The eight signed words of t as doubles, to p[0 ... 7].
inline void store8_doubles(double* p, i16x8 t) {
  typedef double f64x2 __attribute__((vector_size(16)));
  const f64x2 v[4] = {__builtin_convertvector(__builtin_shufflevector(t, t, 0, 1), f64x2),
                      __builtin_convertvector(__builtin_shufflevector(t, t, 2, 3), f64x2),
                      __builtin_convertvector(__builtin_shufflevector(t, t, 4, 5), f64x2),
                      __builtin_convertvector(__builtin_shufflevector(t, t, 6, 7), f64x2)};
  std::memcpy(p, v, sizeof v);
}

}  // namespace
#endif

#endif  // MORLANT_BIGNUM_WORD_VEC_H
