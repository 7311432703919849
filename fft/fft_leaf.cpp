// Leaf kernels (8 and 16 complex values, bit-reversed output) and the direct
// transforms of arrays of at most 32 doubles (natural order).
//
// Each leaf is one radix-4 stage over the whole leaf followed by the stages of
// its four quarters (2 or 4 values each), plain, odd, plain, plain under a
// plain leaf and plain, odd, plain, odd under an odd leaf. Twiddles are the
// constants of fft_butterfly.h; everything is straight-line after inlining.
#include "fft/fft_leaf.h"

#include "fft/fft_butterfly.h"
#include "fft/fft_simd.h"

using namespace fftk;

namespace {

// 2-value quarters at value k: plain (p + q, p - q), odd (p + iq, p - iq).
inline void two_plain(double* z, std::size_t k) {
  const cpx p = load(z, k), q = load(z, k + 1);
  store(z, k, p + q);
  store(z, k + 1, p - q);
}
inline void two_odd(double* z, std::size_t k) {
  const cpx p = load(z, k), q = load(z, k + 1);
  store(z, k, add_i(p, q));
  store(z, k + 1, sub_i(p, q));
}
// 4-value quarters at value k: a stage with Q = 1 (twiddles 1); the 1-value
// quarters below are already final.
inline void four_plain(double* z, std::size_t k) { plain_bfly0(z + 2 * k, 0, 1); }
inline void four_odd(double* z, std::size_t k) { odd_bfly0(z + 2 * k, 0, 1); }

}  // namespace

// Plain transform of 8 values; w = exp(2 pi i/8).
void fft_leaf8_portable(double* z) {
  plain_bfly0(z, 0, 2);
  plain_bfly(z, 1, 2, kW8, kW8x3);
  two_plain(z, 0);
  two_odd(z, 2);
  two_plain(z, 4);
  two_plain(z, 6);
}

// Plain transform of 16 values; w = exp(2 pi i/16).
void fft_leaf16_portable(double* z) {
  plain_bfly0(z, 0, 4);
  plain_bfly(z, 1, 4, kW16, kW16x3);
  plain_bfly(z, 2, 4, kW8, kW8x3);
  plain_bfly(z, 3, 4, kW16x3, kW16x9);
  four_plain(z, 0);
  four_odd(z, 4);
  four_plain(z, 8);
  four_plain(z, 12);
}

// Odd transform of 8 values; v = exp(i pi/8).
void fft_odd_leaf8_portable(double* z) {
  odd_bfly0(z, 0, 2);
  odd_bfly(z, 1, 2, kW16, kW16x3);
  two_plain(z, 0);
  two_odd(z, 2);
  two_plain(z, 4);
  two_odd(z, 6);
}

// Odd transform of 16 values; v = exp(i pi/16).
void fft_odd_leaf16_portable(double* z) {
  odd_bfly0(z, 0, 4);
  odd_bfly(z, 1, 4, kV16, kV16x3);
  odd_bfly(z, 2, 4, kW16, kW16x3);
  odd_bfly(z, 3, 4, kV16x3, kV16x9);
  four_plain(z, 0);
  four_odd(z, 4);
  four_plain(z, 8);
  four_odd(z, 12);
}

void fft_leaf8(double* z) {
  if (fft_simd_enabled()) fft_leaf8_vec(z);
  else fft_leaf8_portable(z);
}
void fft_leaf16(double* z) {
  if (fft_simd_enabled()) fft_leaf16_vec(z);
  else fft_leaf16_portable(z);
}
void fft_odd_leaf8(double* z) {
  if (fft_simd_enabled()) fft_odd_leaf8_vec(z);
  else fft_odd_leaf8_portable(z);
}
void fft_odd_leaf16(double* z) {
  if (fft_simd_enabled()) fft_odd_leaf16_vec(z);
  else fft_odd_leaf16_portable(z);
}

namespace {

// 4-point transform in natural order; the inverse exchanges outputs 1 and 3.
inline void direct4(double* z, bool inverse) {
  const quad r = plain4(load(z, 0), load(z, 1), load(z, 2), load(z, 3));
  store(z, 0, r.p0);
  store(z, 2, r.p1);
  store(z, 1, inverse ? r.p3 : r.p2);
  store(z, 3, inverse ? r.p2 : r.p3);
}

// z[k] <- old z[from[k-1]] for k = 1 ... count; value 0 never moves.
inline void gather(double* z, const unsigned char* from, int count) {
  double old[32];
  for (int i = 0; i < 2 * (count + 1); ++i) old[i] = z[i];
  for (int k = 1; k <= count; ++k) {
    z[2 * k] = old[2 * from[k - 1]];
    z[2 * k + 1] = old[2 * from[k - 1] + 1];
  }
}

// Bit-reversed to natural order (forward), and to natural order of the
// inverse transform, which is the forward one read at (N - k) mod N.
constexpr unsigned char kFwd8[7] = {4, 2, 6, 1, 5, 3, 7};
constexpr unsigned char kInv8[7] = {7, 3, 5, 1, 6, 2, 4};
constexpr unsigned char kFwd16[15] = {8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
constexpr unsigned char kInv16[15] = {15, 7, 11, 3, 13, 5, 9, 1, 14, 6, 10, 2, 12, 4, 8};

}  // namespace

// Lengths below 9 other than 4 and 8 are left unchanged (n = 2 is a single
// value, its own transform); from 9 to 32, 32 takes the 16-point transform
// and anything else the 8-point one.
void fft_small_forward(int32_t n, double* z) {
  if (n < 9) {
    if (n == 4) two_plain(z, 0);
    else if (n == 8) direct4(z, false);
  } else if (n == 32) {
    fft_leaf16(z);
    gather(z, kFwd16, 15);
  } else {
    fft_leaf8(z);
    gather(z, kFwd8, 7);
  }
}

void fft_small_inverse(int32_t n, double* z) {
  if (n < 9) {
    if (n == 4) two_plain(z, 0);
    else if (n == 8) direct4(z, true);
  } else if (n == 32) {
    fft_leaf16(z);
    gather(z, kInv16, 15);
  } else {
    fft_leaf8(z);
    gather(z, kInv8, 7);
  }
}
