// The product path's transforms: the forward one without its permutation,
// the transposed inverse that reads that order, the adjoint stages and
// leaves behind it, and their vectorised forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "fft/fft.h"
#include "fft/fft_dit.h"
#include "fft/fft_leaf.h"
#include "fft/fft_simd.h"
#include "tests/fft/fft_test_data.h"

namespace {

using Vec = std::vector<double>;
using cld = std::complex<long double>;

#ifdef MORLANT_TESTS_EMULATED
constexpr int32_t kLongest = 1 << 16;
#else
constexpr int32_t kLongest = 1 << 20;
#endif

// Largest difference relative to the largest magnitude of want.
double difference(const Vec& got, const Vec& want) {
  double diff = 0, mag = 0;
  for (std::size_t i = 0; i < want.size(); ++i)
    diff = std::max(diff, std::fabs(got[i] - want[i])), mag = std::max(mag, std::fabs(want[i]));
  return diff / mag;
}

// Value k moved to value bitrev(k), by index arithmetic (not the library's).
Vec scrambled(const Vec& x) {
  const std::size_t m = x.size() / 2;
  int bits = 0;
  while ((std::size_t{1} << bits) < m) ++bits;
  Vec y(x.size());
  for (std::size_t k = 0; k < m; ++k) {
    std::size_t r = 0;
    for (int i = 0; i < bits; ++i) r |= ((k >> i) & 1u) << (bits - 1 - i);
    y[2 * r] = x[2 * k];
    y[2 * r + 1] = x[2 * k + 1];
  }
  return y;
}

// sum conj(x) y in long double.
cld inner(const Vec& x, const Vec& y) {
  cld s = 0;
  for (std::size_t k = 0; k < x.size(); k += 2) s += std::conj(cld(x[k], x[k + 1])) * cld(y[k], y[k + 1]);
  return s;
}

TEST(FftScrambled, ForwardIsTheTransformLeftInBitReversedOrder) {
  for (int32_t n = 2; n <= kLongest; n *= 2) {
    Vec x = random_values(static_cast<std::size_t>(n), static_cast<unsigned>(n)), y = x;
    fft_forward_scrambled(n, x.data());
    fft_forward(n, y.data());
    EXPECT_EQ(x, scrambled(y)) << "n = " << n;
  }
}

// The upper half is never read: filled with NaN it must not matter. Both
// forms of the top stage, every length.
TEST(FftScrambled, HalfForwardIgnoresTheUpperHalfButValueQuarterRe) {
  for (int32_t n = 2; n <= kLongest; n *= 2) {
    Vec x = random_values(static_cast<std::size_t>(n), 3u * static_cast<unsigned>(n));
    for (std::size_t i = static_cast<std::size_t>(n) / 2 + 1; i < x.size(); ++i) x[i] = 0.0;
    Vec want = x, got = x;
    for (std::size_t i = static_cast<std::size_t>(n) / 2 + 1; i < got.size(); ++i) got[i] = std::nan("");
    fft_forward_scrambled(n, want.data());
    fft_forward_scrambled_half(n, got.data());
    EXPECT_LT(difference(got, want), 1e-15) << "n = " << n;
    if (n >= 64 && fft_simd_available()) {
      Vec port = x, fast = x;
      for (std::size_t i = static_cast<std::size_t>(n) / 2 + 1; i < x.size(); ++i) port[i] = fast[i] = std::nan("");
      fft_half_stage_portable(n, port.data());
      fft_half_stage_vec(n, fast.data());
      EXPECT_LT(difference(fast, port), 2e-15) << "vector top stage, n = " << n;
    }
  }
}

TEST(FftScrambled, InverseOfBitReversedInputMatchesTheNaturalInverse) {
  for (int32_t n = 2; n <= kLongest; n *= 2) {
    const Vec spectrum = random_values(static_cast<std::size_t>(n), 7u * static_cast<unsigned>(n));
    Vec x = scrambled(spectrum), y = spectrum;
    fft_inverse_scrambled(n, x.data());
    fft_inverse(n, y.data());
    EXPECT_LT(difference(x, y), 3e-15) << "n = " << n;
    // The pair is a round trip up to the factor n/2, as accurate as the
    // natural-order pair.
    const Vec z = random_values(static_cast<std::size_t>(n), 11u * static_cast<unsigned>(n));
    Vec w = z, v = z;
    fft_forward_scrambled(n, w.data());
    fft_inverse_scrambled(n, w.data());
    fft_forward(n, v.data());
    fft_inverse(n, v.data());
    for (std::size_t i = 0; i < z.size(); ++i) w[i] /= n / 2, v[i] /= n / 2;
    EXPECT_LT(difference(w, z), 1e-14) << "round trip, n = " << n;
    EXPECT_LT(difference(w, z), 1.5 * difference(v, z) + 1e-15) << "round trip against the natural pair, n = " << n;
  }
}

// <A x, y> = <x, A^H y> for each forward building block A and its adjoint,
// both forms; and the vectorised adjoints against the portable ones.
TEST(FftScrambled, AdjointStagesAndLeavesAreTheForwardOnesTransposed) {
  struct Block {
    const char* name;
    void (*forward)(int32_t, double*);
    void (*adjoint)(int32_t, double*);
    void (*adjoint_portable)(int32_t, double*);
  };
  const Block stages[] = {{"plain stage", fft_radix4_stage, fft_dit_stage, fft_dit_stage_portable},
                          {"odd stage", fft_odd_radix4_stage, fft_odd_dit_stage, fft_odd_dit_stage_portable}};
  // Leaves as sized blocks (n is ignored, the leaf's own size is used).
  static void (*const leaf_fwd[])(double*) = {fft_leaf8, fft_leaf16, fft_odd_leaf8, fft_odd_leaf16};
  static void (*const leaf_adj[])(double*) = {fft_dit_leaf8, fft_dit_leaf16, fft_odd_dit_leaf8, fft_odd_dit_leaf16};
  static void (*const leaf_port[])(double*) = {fft_dit_leaf8_portable, fft_dit_leaf16_portable,
                                               fft_odd_dit_leaf8_portable, fft_odd_dit_leaf16_portable};
  const int32_t leaf_size[] = {16, 32, 16, 32};
  const char* leaf_name[] = {"leaf8", "leaf16", "odd leaf8", "odd leaf16"};

  auto check = [](const char* name, int32_t n, auto forward, auto adjoint, auto portable) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
      const Vec x = random_values(static_cast<std::size_t>(n), seed), y = random_values(static_cast<std::size_t>(n), seed + 50);
      Vec ax = x, ahy = y, port = y;
      forward(n, ax.data());
      adjoint(n, ahy.data());
      portable(n, port.data());
      const cld lhs = inner(ax, y), rhs = inner(x, ahy);
      EXPECT_LT(std::abs(lhs - rhs), 1e-13L * std::sqrt(static_cast<long double>(n)) * n) << name << ", n = " << n;
      EXPECT_LT(difference(ahy, port), 1e-15) << name << " against the portable form, n = " << n;
    }
  };
  for (const Block& b : stages)
    for (int32_t n = 64; n <= (1 << 16); n *= 2) check(b.name, n, b.forward, b.adjoint, b.adjoint_portable);
  for (int i = 0; i < 4; ++i) {
    static int which;
    which = i;
    check(leaf_name[i], leaf_size[i], [](int32_t, double* z) { leaf_fwd[which](z); },
          [](int32_t, double* z) { leaf_adj[which](z); }, [](int32_t, double* z) { leaf_port[which](z); });
  }
}

}  // namespace
