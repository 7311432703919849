// Vectorised forms of the radix-4 stages, the leaves, whole sub-transforms
// and the bit reversal, written once against the two-value vector cv2
// (fft_vec.h): AVX2/FMA on x86-64 (compiled with -mavx2 -mfma, used only when
// the processor has both), Advanced SIMD on AArch64 (always used). The
// portable forms in fft.cpp, fft_leaf.cpp and fft_bitrev.cpp are the
// reference they are tested against.
//
// The path is chosen once per call (fft.cpp); below that, everything is
// direct calls within this file: blocks of up to 512 doubles are finished by
// straight-line code with compile-time twiddles (their own stage too up to
// kStraightStageMax of fft_vec.h), a block of 64 doubles whole in registers.
#include "fft/fft_simd.h"

#ifdef MORLANT_FFT_HAVE_VEC

#include <cmath>
#include <cstddef>
#include <utility>

#include "fft/fft.h"
#include "fft/fft_butterfly.h"
#include "fft/fft_vec.h"
#include "fft/fft_vec_loop.h"
#include "fft/fft_vec_stage.h"

namespace {

using fftk::cpx;
using namespace fftv;
using std::size_t;

template <long N>
using seq = std::make_integer_sequence<long, N>;

// ---- Butterflies ----

// Radix-4 butterflies on registers: plain (twiddles on the c and d outputs)
// or odd (v1 on a and b, v3 on c and d).
inline void bfly_plain(cv2& a, cv2& b, cv2& c, cv2& d, cv2 w1, cv2 w3) {
  const cv2 s0 = a + c, d0 = a - c;
  const cv2 s1 = b + d, d1 = b - d;
  a = s0 + s1;
  b = s0 - s1;
  c = cmul(add_i(d0, d1), w1);
  d = cmul(sub_i(d0, d1), w3);
}
template <class W>
inline void bfly_odd(cv2& a, cv2& b, cv2& c, cv2& d, W v1, W v3) {
  const cv2 u = add_i(a, c), u2 = sub_i(a, c);
  const cv2 t = mul_zeta(add_i(b, d)), t2 = mul_zeta3(sub_i(b, d));
  a = cmul(u + t, v1);
  b = cmul(u - t, v1);
  c = cmul(u2 + t2, v3);
  d = cmul(u2 - t2, v3);
}
template <bool Odd>
inline void bfly(cv2& a, cv2& b, cv2& c, cv2& d, cv2 w1, cv2 w3) {
  if (Odd) bfly_odd(a, b, c, d, w1, w3);
  else bfly_plain(a, b, c, d, w1, w3);
}

// Butterflies on the vector at p (two values) of a block whose quarters are
// s doubles apart, in memory.
template <bool Odd, bool Conj, class W>
inline void stage_at(double* p, size_t s, W w1, W w3) {
  if (!Odd) {
    // The first two outputs are sums alone: taken on the values as they lie
    // in memory, only the two that meet twiddles are split. Conjugating
    // commutes with the sums, so it comes last (first on the split ones).
    const cm2 a = load_mem(p), b = load_mem(p + s), c = load_mem(p + 2 * s), d = load_mem(p + 3 * s);
    const cm2 s0 = a + c, s1 = b + d;
    store_mem(p, Conj ? conj_mem(s0 + s1) : s0 + s1);
    store_mem(p + s, Conj ? conj_mem(s0 - s1) : s0 - s1);
    cv2 d0 = split(a - c), e = split(b - d);
    if (Conj) {
      d0 = conj(d0);
      e = conj(e);
    }
    store(p + 2 * s, cmul(add_i(d0, e), w1));
    store(p + 3 * s, cmul(sub_i(d0, e), w3));
    return;
  }
  // Odd: every output meets a twiddle, so all four are split.
  cv2 a = load(p), b = load(p + s), c = load(p + 2 * s), d = load(p + 3 * s);
  bfly_odd(a, b, c, d, w1, w3);
  store(p, a);
  store(p + s, b);
  store(p + 2 * s, c);
  store(p + 3 * s, d);
}
// The same at value index j of a block with quarter size q (complex values).
template <bool Odd, bool Conj, class W>
inline void stage_vec(double* z, size_t j, size_t q, W w1, W w3) {
  stage_at<Odd, Conj>(z + 2 * j, 2 * q, w1, w3);
}

// ---- Looping stages: twiddle chains (fft_vec_loop.h) ----

template <bool Odd, bool Conj>
void loop_stage(int32_t n, double* z) {
  loop_stage_walk<Odd>(n, z, [](double* p, size_t s, tw2 w1, tw2 w3) { stage_at<Odd, Conj>(p, s, w1, w3); });
}

// ---- Stages on 64 ... 512 doubles: constant twiddles, straight-line ----
//
// Twiddles: stage_w1, stage_w3 (fft_vec_stage.h).
template <bool Odd, bool Conj, long M, long... P>
inline void small_stage(double* z, std::integer_sequence<long, P...>) {
  ((void)stage_vec<Odd, Conj>(z, static_cast<size_t>(2 * P), M / 4, stage_w1<Odd, M, P>(), stage_w3<Odd, M, P>()), ...);
}

// The same stage on a block held in registers, x[0 .. M/2 - 1].
template <bool Odd, long M, long... P>
inline void stage_regs(cv2* x, std::integer_sequence<long, P...>) {
  constexpr long v = M / 8;  // vectors per quarter
  (bfly<Odd>(x[P], x[v + P], x[2 * v + P], x[3 * v + P], stage_w1<Odd, M, P>(), stage_w3<Odd, M, P>()), ...);
}

template <bool Conj, long... I>
inline void load_regs(const double* z, cv2* x, std::integer_sequence<long, I...>) {
  ((x[I] = Conj ? conj(load(z + 4 * I)) : load(z + 4 * I)), ...);
}

// ---- Leaves on registers ----

// Four-value quarter held as (x0, x1), (x2, x3): a stage with Q = 1, stored.
inline void store_four_plain(double* z, cv2 x01, cv2 x23) {
  store_fold(z, x01 + x23);        // (a + c, b + d)
  store_fold_i(z + 4, x01 - x23);  // (a - c, b - d)
}
inline void store_four_odd(double* z, cv2 x01, cv2 x23) {
  store_fold_zeta(z, add_i(x01, x23));      // (a + ic, b + id)
  store_fold_zeta3(z + 4, sub_i(x01, x23));  // (a - ic, b - id)
}

constexpr double kC8 = fftk::kCos8, kS8 = fftk::kSin8, kC16 = fftk::kCos16, kS16 = fftk::kSin16,
                 kC316 = fftk::kCos3_16, kS316 = fftk::kSin3_16;

// Leaf of 8 values x[0 .. 3], stored at z.
template <bool Odd>
inline void leaf8_regs(double* z, cv2* x) {
  if (Odd) bfly_odd(x[0], x[1], x[2], x[3], make(1, 0, kC8, kS8), make(1, 0, kS8, kC8));
  else bfly_plain(x[0], x[1], x[2], x[3], make(1, 0, kH, kH), make(1, 0, -kH, kH));
  // Two-value quarters: plain, odd, plain, and plain or odd.
  store_fold(z, x[0]);
  store_fold_i(z + 4, x[1]);
  store_fold(z + 8, x[2]);
  if (Odd) store_fold_i(z + 12, x[3]);
  else store_fold(z + 12, x[3]);
}

// Leaf of 16 values x[0 .. 7], stored at z.
template <bool Odd>
inline void leaf16_regs(double* z, cv2* x) {
  if (Odd) {
    // v = exp(i pi/16): v^0, v^1 and v^0, v^3; then v^2, v^3 and v^6, v^9.
    bfly_odd(x[0], x[2], x[4], x[6], make(1, 0, kC16, kS16), make(1, 0, kC316, kS316));
    bfly_odd(x[1], x[3], x[5], x[7], make(kC8, kS8, kC316, kS316), make(kS8, kC8, -kS16, kC16));
  } else {
    // w = exp(i pi/8): w^0, w^1 and w^0, w^3; then w^2, w^3 and w^6, w^9.
    bfly_plain(x[0], x[2], x[4], x[6], make(1, 0, kC8, kS8), make(1, 0, kS8, kC8));
    bfly_plain(x[1], x[3], x[5], x[7], make(kH, kH, kS8, kC8), make(-kH, kH, -kC8, -kS8));
  }
  store_four_plain(z, x[0], x[1]);
  store_four_odd(z + 8, x[2], x[3]);
  store_four_plain(z + 16, x[4], x[5]);
  if (Odd) store_four_odd(z + 24, x[6], x[7]);
  else store_four_plain(z + 24, x[6], x[7]);
}

template <bool Odd>
void leaf8(double* z) {
  cv2 x[4];
  load_regs<false>(z, x, seq<4>());
  leaf8_regs<Odd>(z, x);
}
template <bool Odd>
void leaf16(double* z) {
  cv2 x[8];
  load_regs<false>(z, x, seq<8>());
  leaf16_regs<Odd>(z, x);
}

// ---- Whole blocks ----
//
// Quarter kinds: plain, odd, plain, and the block's own kind (a plain block's
// last quarter is plain, an odd block's odd).

// Blocks of 64 and 128 doubles: the stage, then the four leaves; the 64-double
// block whole in registers (the 128-double one, 32 vectors, would spill: it
// goes through memory at the same instruction count).
template <bool Odd, bool Conj>
inline void block64(double* z) {
  cv2 x[16];
  load_regs<Conj>(z, x, seq<16>());
  stage_regs<Odd, 32>(x, seq<4>());
  leaf8_regs<false>(z, x);
  leaf8_regs<true>(z + 16, x + 4);
  leaf8_regs<false>(z + 32, x + 8);
  leaf8_regs<Odd>(z + 48, x + 12);
}
template <bool Odd, bool Conj>
inline void block128(double* z) {
  small_stage<Odd, Conj, 64>(z, seq<8>());
  leaf16<false>(z);
  leaf16<true>(z + 32);
  leaf16<false>(z + 64);
  leaf16<Odd>(z + 96);
}

// The four quarters of a block of 256 or 512 doubles whose stage has run.
template <bool Odd>
void finish_quarters_small(int32_t n, double* z) {
  if (n == 256) {
    block64<false, false>(z);
    block64<true, false>(z + 64);
    block64<false, false>(z + 128);
    block64<Odd, false>(z + 192);
  } else {
    block128<false, false>(z);
    block128<true, false>(z + 128);
    block128<false, false>(z + 256);
    block128<Odd, false>(z + 384);
  }
}

// A stage on n >= 64 doubles: straight-line up to kStraightStageMax (fft_vec.h).
template <bool Odd, bool Conj>
void stage(int32_t n, double* z) {
  if (n > kStraightStageMax) return loop_stage<Odd, Conj>(n, z);
  switch (n) {
    case 64: return small_stage<Odd, Conj, 32>(z, seq<4>());
    case 128: return small_stage<Odd, Conj, 64>(z, seq<8>());
    case 256: return small_stage<Odd, Conj, 128>(z, seq<16>());
    default: return small_stage<Odd, Conj, 256>(z, seq<32>());
  }
}

// The whole transform of a block of n = 64 ... 512 doubles, bit-reversed out.
template <bool Odd, bool Conj>
void small_block(int32_t n, double* z) {
  switch (n) {
    case 64: return block64<Odd, Conj>(z);
    case 128: return block128<Odd, Conj>(z);
    default:
      stage<Odd, Conj>(n, z);
      return finish_quarters_small<Odd>(n, z);
  }
}

// Depth first, quarters in address order; the last quarter (of the block's
// own kind) is the next turn of the loop.
template <bool Odd>
void recurse(int32_t n, double* z) {
  while (n > 512) {
    loop_stage<Odd, false>(n, z);
    const int32_t q = n / 4;
    const size_t s = static_cast<size_t>(q);
    recurse<false>(q, z);
    recurse<true>(q, z + s);
    recurse<false>(q, z + 2 * s);
    z += 3 * s;
    n = q;
  }
  small_block<Odd, false>(n, z);
}

// After a block's own stage: its four quarters, n >= 64.
template <bool Odd>
void finish(int32_t n, double* z) {
  const int32_t q = n / 4;
  const size_t s = static_cast<size_t>(q);
  if (n > 512) {
    recurse<false>(q, z);
    recurse<true>(q, z + s);
    recurse<false>(q, z + 2 * s);
    recurse<Odd>(q, z + 3 * s);
  } else if (n > 128) {
    finish_quarters_small<Odd>(n, z);
  } else if (n == 64) {
    leaf8<false>(z);
    leaf8<true>(z + s);
    leaf8<false>(z + 2 * s);
    leaf8<Odd>(z + 3 * s);
  } else {
    leaf16<false>(z);
    leaf16<true>(z + s);
    leaf16<false>(z + 2 * s);
    leaf16<Odd>(z + 3 * s);
  }
}


// ---- Bit reversal ----
//
// Over b bits, value (h, m, l) with h and l single bits goes to (l, rev m,
// h): the 2 x 2 tile of values {2m, 2m+1} and {N/2 + 2m, N/2 + 2m + 1} (two
// vectors) lands transposed on tile rev m. So the tiles are permuted by the
// bit reversal over b - 2 bits, each pair of tiles exchanged once and each
// tile that is its own partner transposed in place.

// Advances a bit-reversed counter whose top bit is `top`.
inline size_t rev_increment(size_t r, size_t top) {
  for (size_t m = top; m != 0; m >>= 1) {
    r ^= m;
    if (r & m) break;
  }
  return r;
}

// Calls swap(x, y) once for every x != y = rev(x) over `bits` >= 1 bits and
// fixed(x) for every x = rev(x): the index is a high field of c bits, a
// middle of 1 (odd bits) or 2 bits and a low field of c bits; for each low
// value k, a = rev k in the high field, the pairs (a, m, l) <-> (rev l, rev m,
// k) with l < k, then those with l = k. k and l go two at a time (c >= 1):
// rev(k + 1) = rev(k) | top for even k, and the block of four (k, l) pairs
// reads both tiles of every cache line it touches, on both sides.
template <class Swap, class Fixed>
inline void bitrev_pairs(int bits, Swap swap, Fixed fixed) {
  const bool odd = (bits & 1) != 0;
  const int c = odd ? (bits - 1) / 2 : (bits - 2) / 2;
  const size_t count = size_t{1} << c, top = size_t{1} << (bits - 1);
  const size_t m1 = size_t{1} << c, m2 = m1 << 1;
  // The pairs of (k, l), l < k, with a = rev k and r = rev l.
  const auto cross = [&](size_t k, size_t a, size_t l, size_t r) {
    swap(a | l, r | k);
    if (odd) {
      swap(a | m1 | l, r | m1 | k);
    } else {
      swap(a | m1 | l, r | m2 | k);
      swap(a | m2 | l, r | m1 | k);
      swap(a | m1 | m2 | l, r | m1 | m2 | k);
    }
  };
  // Those of (k, k).
  const auto diagonal = [&](size_t k, size_t a) {
    fixed(a | k);
    if (odd) {
      fixed(a | m1 | k);
    } else {
      swap(a | m1 | k, a | m2 | k);
      fixed(a | m1 | m2 | k);
    }
  };
  if (c == 0) return diagonal(0, 0);
  size_t a = 0;
  for (size_t k = 0; k < count; k += 2) {
    const size_t a1 = a | top;
    size_t r = 0;
    for (size_t l = 0; l < k; l += 2) {
      const size_t r1 = r | top;
      cross(k, a, l, r);
      cross(k, a, l + 1, r1);
      cross(k + 1, a1, l, r);
      cross(k + 1, a1, l + 1, r1);
      r = rev_increment(r, top >> 1);
    }
    diagonal(k, a);
    cross(k + 1, a1, k, a);
    diagonal(k + 1, a1);
    a = rev_increment(a, top >> 1);
  }
}

template <bool Conj>
inline cm2 moved(cm2 x) { return Conj ? conj_mem(x) : x; }

// Beyond 8192 doubles (64 KiB) the portable order is faster: its 4 x 4 tiles
// of single values keep fewer lines in flight than these tiles, whose rows
// lie in both halves of the array (at 16384 doubles 3.3 us against 4.2 us,
// at 65536 12.8 against 18; at 4096 0.8 against 0.56).
constexpr int32_t kTileBitrevMax = 8192;

// n >= 16 doubles (8 values).
template <bool Conj>
void bitrev(int32_t n, double* z) {
  int b = 0;
  while ((int32_t{2} << b) < n) ++b;
  double* const hi = z + n / 2;  // the second half
  bitrev_pairs(
      b - 2,
      [&](size_t x, size_t y) {
        const cm2 x0 = load_mem(z + 4 * x), x1 = load_mem(hi + 4 * x);
        const cm2 y0 = load_mem(z + 4 * y), y1 = load_mem(hi + 4 * y);
        store_mem(z + 4 * y, moved<Conj>(zip0(x0, x1)));
        store_mem(hi + 4 * y, moved<Conj>(zip1(x0, x1)));
        store_mem(z + 4 * x, moved<Conj>(zip0(y0, y1)));
        store_mem(hi + 4 * x, moved<Conj>(zip1(y0, y1)));
      },
      [&](size_t x) {
        const cm2 x0 = load_mem(z + 4 * x), x1 = load_mem(hi + 4 * x);
        store_mem(z + 4 * x, moved<Conj>(zip0(x0, x1)));
        store_mem(hi + 4 * x, moved<Conj>(zip1(x0, x1)));
      });
}

// The whole transform, n >= 64; the inverse conjugates in its first stage
// and its permutation.
template <bool Conj>
void transform(int32_t n, double* z) {
  if (n <= 512) {
    small_block<false, Conj>(n, z);
  } else {
    loop_stage<false, Conj>(n, z);
    finish<false>(n, z);
  }
  if (n > kTileBitrevMax) {
    if (Conj) fft_bitrev_permute_conj(n, z);
    else fft_bitrev_permute(n, z);
  } else {
    bitrev<Conj>(n, z);
  }
}

}  // namespace

void fft_radix4_stage_vec(int32_t n, double* block) { stage<false, false>(n, block); }
void fft_radix4_stage_conj_vec(int32_t n, double* block) { stage<false, true>(n, block); }
void fft_odd_radix4_stage_vec(int32_t n, double* block) { stage<true, false>(n, block); }
void fft_leaf8_vec(double* block) { leaf8<false>(block); }
void fft_leaf16_vec(double* block) { leaf16<false>(block); }
void fft_odd_leaf8_vec(double* block) { leaf8<true>(block); }
void fft_odd_leaf16_vec(double* block) { leaf16<true>(block); }

void fft_recurse_vec(int32_t n, bool odd, double* block) {
  if (odd) recurse<true>(n, block);
  else recurse<false>(n, block);
}
void fft_finish_vec(int32_t n, bool odd, double* block) {
  if (odd) finish<true>(n, block);
  else finish<false>(n, block);
}
void fft_bitrev_permute_vec(int32_t n, bool conj, double* data) {
  if (conj) bitrev<true>(n, data);
  else bitrev<false>(n, data);
}
void fft_forward_vec(int32_t n, double* data) { transform<false>(n, data); }
void fft_inverse_vec(int32_t n, double* data) { transform<true>(n, data); }

#endif
