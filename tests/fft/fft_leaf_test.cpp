// Leaf kernels and the direct small transforms against the naive DFT.
#include <gtest/gtest.h>

#include "fft/fft_leaf.h"
#include "tests/fft/fft_reference.h"

namespace {

using fftref::cld;

constexpr double kPiD = 3.141592653589793;

struct Leaf {
  const char* name;
  void (*kernel)(double*);
  std::size_t values;
  bool odd;
};

const Leaf kLeaves[] = {
    {"fft_leaf8", fft_leaf8, 8, false},
    {"fft_leaf16", fft_leaf16, 16, false},
    {"fft_odd_leaf8", fft_odd_leaf8, 8, true},
    {"fft_odd_leaf16", fft_odd_leaf16, 16, true},
};

// Position k' of a leaf's output holds frequency bitrev(k').
void expect_leaf_matches(const Leaf& leaf, std::vector<double> x, const std::string& what) {
  const auto want = fftref::dft(fftref::to_complex(x), +1, leaf.odd ? 0.5L : 0.0L);
  leaf.kernel(x.data());
  const int bits = fftref::log2_exact(leaf.values);
  for (std::size_t p = 0; p < leaf.values; ++p) {
    const cld w = want[fftref::bitrev(p, bits)];
    EXPECT_NEAR(x[2 * p], static_cast<double>(w.real()), 1e-15 * static_cast<double>(leaf.values)) << leaf.name << " " << what << " position " << p;
    EXPECT_NEAR(x[2 * p + 1], static_cast<double>(w.imag()), 1e-15 * static_cast<double>(leaf.values)) << leaf.name << " " << what << " position " << p;
  }
}

TEST(FftLeaf, EveryImpulseAndRandomDataMatchTheBitReversedTransform) {
  for (const Leaf& leaf : kLeaves) {
    for (std::size_t k = 0; k < leaf.values; ++k) {
      std::vector<double> x(2 * leaf.values, 0.0);
      x[2 * k] = 1.0;
      expect_leaf_matches(leaf, x, "real impulse at " + std::to_string(k));
      x[2 * k] = 0.0;
      x[2 * k + 1] = 1.0;
      expect_leaf_matches(leaf, x, "imaginary impulse at " + std::to_string(k));
    }
    for (unsigned seed = 1; seed <= 20; ++seed)
      expect_leaf_matches(leaf, fftref::random_data(2 * leaf.values, seed), "random seed " + std::to_string(seed));
  }
}

TEST(FftLeaf, KnownImpulseResponses) {
  // fft_leaf8 of an impulse at value 1: position 1 holds exp(2 pi i 4/8) = -1.
  std::vector<double> x(16, 0.0);
  x[2] = 1.0;
  fft_leaf8(x.data());
  EXPECT_NEAR(x[2], -1.0, 1e-15);
  EXPECT_NEAR(x[3], 0.0, 1e-15);
  // fft_odd_leaf8 of an impulse at value 1: position 0 holds exp(i pi/8).
  std::fill(x.begin(), x.end(), 0.0);
  x[2] = 1.0;
  fft_odd_leaf8(x.data());
  EXPECT_NEAR(x[0], std::cos(kPiD / 8), 1e-15);
  EXPECT_NEAR(x[1], std::sin(kPiD / 8), 1e-15);
}

TEST(FftSmall, DirectTransformsInverseOfEachOtherAndNaturalOrder) {
  for (int32_t n : {4, 8, 16, 32}) {
    const std::size_t m = static_cast<std::size_t>(n) / 2;
    // Impulse at value 1: forward gives exp(+2 pi i k/N), inverse exp(-2 pi i k/N).
    for (int sign : {+1, -1}) {
      std::vector<double> x(static_cast<std::size_t>(n), 0.0);
      x[2] = 1.0;
      if (sign > 0) fft_small_forward(n, x.data());
      else fft_small_inverse(n, x.data());
      for (std::size_t k = 0; k < m; ++k) {
        const double ang = sign * 2 * kPiD * static_cast<double>(k) / static_cast<double>(m);
        EXPECT_NEAR(x[2 * k], std::cos(ang), 1e-15) << "n=" << n << " sign=" << sign << " k=" << k;
        EXPECT_NEAR(x[2 * k + 1], std::sin(ang), 1e-15) << "n=" << n << " sign=" << sign << " k=" << k;
      }
    }
    const auto x0 = fftref::random_data(static_cast<std::size_t>(n), 7u + static_cast<unsigned>(n));
    auto x = x0;
    fft_small_forward(n, x.data());
    fft_small_inverse(n, x.data());
    for (std::size_t i = 0; i < x.size(); ++i) EXPECT_NEAR(x[i], static_cast<double>(m) * x0[i], 1e-14) << "n=" << n;
  }
}

}  // namespace
