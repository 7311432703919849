// Every vectorised stage and leaf against its portable form, on the same
// data: the forms differ only in the rounding of fused operations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "fft/fft_simd.h"
#include "tests/fft/fft_reference.h"

namespace {

// Largest difference relative to the largest magnitude of the portable result.
double relative_difference(const std::vector<double>& got, const std::vector<double>& want) {
  double diff = 0, mag = 0;
  for (std::size_t i = 0; i < want.size(); ++i) {
    diff = std::max(diff, std::fabs(got[i] - want[i]));
    mag = std::max(mag, std::fabs(want[i]));
  }
  return diff / mag;
}

TEST(FftSimd, StagesMatchThePortableStages) {
  if (!fft_simd_available()) GTEST_SKIP() << "no vectorised stages on this processor or build";
  using Stage = void (*)(int32_t, double*);
  const struct {
    const char* name;
    Stage fast, portable;
  } stages[] = {
      {"plain", fft_radix4_stage_avx2, fft_radix4_stage_portable},
      {"conjugating", fft_radix4_stage_conj_avx2, fft_radix4_stage_conj_portable},
      {"odd", fft_odd_radix4_stage_avx2, fft_odd_radix4_stage_portable},
  };
  for (int32_t n = 64; n <= (1 << 18); n *= 2) {
    for (const auto& st : stages) {
      auto x = fftref::random_data(static_cast<std::size_t>(n), static_cast<unsigned>(n));
      auto y = x;
      st.fast(n, x.data());
      st.portable(n, y.data());
      EXPECT_LT(relative_difference(x, y), 1e-15) << st.name << " stage, n = " << n;
    }
  }
}

TEST(FftSimd, LeavesMatchThePortableLeaves) {
  if (!fft_simd_available()) GTEST_SKIP() << "no vectorised leaves on this processor or build";
  using Leaf = void (*)(double*);
  const struct {
    const char* name;
    Leaf fast, portable;
    std::size_t doubles;
  } leaves[] = {
      {"leaf8", fft_leaf8_avx2, fft_leaf8_portable, 16},
      {"leaf16", fft_leaf16_avx2, fft_leaf16_portable, 32},
      {"odd leaf8", fft_odd_leaf8_avx2, fft_odd_leaf8_portable, 16},
      {"odd leaf16", fft_odd_leaf16_avx2, fft_odd_leaf16_portable, 32},
  };
  for (const auto& leaf : leaves) {
    for (unsigned seed = 1; seed <= 50; ++seed) {
      auto x = fftref::random_data(leaf.doubles, seed);
      auto y = x;
      leaf.fast(x.data());
      leaf.portable(y.data());
      EXPECT_LT(relative_difference(x, y), 1e-15) << leaf.name << ", seed " << seed;
    }
  }
}

}  // namespace
