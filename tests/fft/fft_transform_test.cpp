// The complex transform against long-double references, its inverse, and
// the plain and odd sub-transforms that the recursion is built from.
#include <gtest/gtest.h>

#include <climits>

#include "fft/fft.h"
#include "tests/fft/fft_reference.h"

namespace {

using fftref::cld;

constexpr double kBound = 2e-15;  // largest error relative to the largest output

// Lengths up to kDirectLimit are checked against the direct DFT, longer ones
// against the radix-2 reference.
constexpr int32_t kDirectLimit = fftref::kEmulated ? 1024 : 4096;

TEST(FftTransform, MatchesTheDirectDftForEveryShortLengthBothSigns) {
  // Any sign >= 0 is the forward transform, any negative sign the inverse.
  const int32_t signs[] = {0, 1, INT32_MAX, -1, INT32_MIN};
  unsigned seed = 1;
  for (int32_t n = 2; n <= kDirectLimit; n *= 2) {
    for (int32_t sign : signs) {
      auto x = fftref::random_data(static_cast<std::size_t>(n), seed++);
      const auto want = fftref::dft(fftref::to_complex(x), sign < 0 ? -1 : +1);
      fft_complex_transform(n, sign, x.data());
      EXPECT_LT(fftref::relative_error(x, want), kBound) << "n=" << n << " sign=" << sign;
    }
  }
}

TEST(FftTransform, MatchesTheRadix2ReferenceUpTo65536) {
  for (int32_t n = 2 * kDirectLimit; n <= 65536; n *= 2) {
    for (int32_t sign : {1, -1}) {
      auto x = fftref::random_data(static_cast<std::size_t>(n), static_cast<unsigned>(n + sign));
      const auto want = fftref::fft_radix2(fftref::to_complex(x), sign);
      fft_complex_transform(n, sign, x.data());
      EXPECT_LT(fftref::relative_error(x, want), kBound) << "n=" << n << " sign=" << sign;
    }
  }
}

TEST(FftTransform, ForwardThenInverseMultipliesByN) {
  for (int32_t n = 2; n <= (1 << 18); n *= 2) {
    const auto x0 = fftref::random_data(static_cast<std::size_t>(n), 99u);
    auto x = x0;
    fft_forward(n, x.data());
    fft_inverse(n, x.data());
    const double scale = n / 2.0;
    double err = 0;
    for (std::size_t i = 0; i < x.size(); ++i) err = std::max(err, std::abs(x[i] - scale * x0[i]));
    EXPECT_LT(err / scale, 1e-14) << "n=" << n;
  }
}

TEST(FftTransform, ImpulseAndConstant) {
  for (int32_t n = 2; n <= 8192; n *= 2) {
    const std::size_t m = static_cast<std::size_t>(n) / 2;
    std::vector<double> impulse(static_cast<std::size_t>(n), 0.0), constant(static_cast<std::size_t>(n), 0.0);
    impulse[0] = 1.0;
    for (std::size_t k = 0; k < m; ++k) constant[2 * k] = 1.0;
    fft_forward(n, impulse.data());
    fft_inverse(n, constant.data());
    for (std::size_t k = 0; k < m; ++k) {
      EXPECT_NEAR(impulse[2 * k], 1.0, 1e-15) << "n=" << n << " k=" << k;
      EXPECT_NEAR(impulse[2 * k + 1], 0.0, 1e-15) << "n=" << n << " k=" << k;
      EXPECT_NEAR(constant[2 * k], k == 0 ? static_cast<double>(m) : 0.0, 1e-15 * static_cast<double>(m)) << "n=" << n;
      EXPECT_NEAR(constant[2 * k + 1], 0.0, 1e-15 * static_cast<double>(m)) << "n=" << n;
    }
  }
  // n = 4 is (x0 + x1, x0 - x1) in both directions.
  for (int32_t sign : {1, -1}) {
    double x[4] = {1.5, -2.0, 0.25, 4.0};
    fft_complex_transform(4, sign, x);
    EXPECT_EQ(x[0], 1.75);
    EXPECT_EQ(x[1], 2.0);
    EXPECT_EQ(x[2], 1.25);
    EXPECT_EQ(x[3], -6.0);
  }
}

// The sub-transforms leave frequency bitrev(k') at position k'; odd ones are
// evaluated at k + 1/2.
long double bitreversed_error(const std::vector<double>& got, const std::vector<double>& input, bool odd) {
  const auto want = fftref::dft(fftref::to_complex(input), +1, odd ? 0.5L : 0.0L);
  const int bits = fftref::log2_exact(want.size());
  std::vector<cld> ordered(want.size());
  for (std::size_t p = 0; p < want.size(); ++p) ordered[p] = want[fftref::bitrev(p, bits)];
  return fftref::relative_error(got, ordered);
}

TEST(FftTransform, PlainAndOddSubTransformsGiveBitReversedFrequencies) {
  for (int32_t n = 256; n <= 2 * kDirectLimit; n *= 2) {
    for (bool odd : {false, true}) {
      const auto x0 = fftref::random_data(static_cast<std::size_t>(n), static_cast<unsigned>(n) + odd);
      auto x = x0;
      if (odd) fft_recurse_odd(n, x.data());
      else fft_recurse(n, x.data());
      EXPECT_LT(bitreversed_error(x, x0, odd), kBound) << "n=" << n << " odd=" << odd;
    }
  }
  for (int32_t n : {256, 512}) {
    for (bool odd : {false, true}) {
      const auto x0 = fftref::random_data(static_cast<std::size_t>(n), 5u);
      auto x = x0;
      if (odd) {
        fft_odd_radix4_stage(n, x.data());
        fft_odd_block(n, x.data());
      } else {
        fft_radix4_stage(n, x.data());
        fft_block(n, x.data());
      }
      EXPECT_LT(bitreversed_error(x, x0, odd), kBound) << "block n=" << n << " odd=" << odd;
    }
  }
}

TEST(FftTransform, ConjugatingStageIsThePlainStageOfTheConjugate) {
  for (int32_t n = 64; n <= (1 << 16); n *= 2) {
    auto x = fftref::random_data(static_cast<std::size_t>(n), 3u);
    auto y = x;
    for (std::size_t i = 1; i < y.size(); i += 2) y[i] = -y[i];
    fft_radix4_stage_conj(n, x.data());
    fft_radix4_stage(n, y.data());
    EXPECT_EQ(x, y) << "n=" << n;
  }
}

}  // namespace
