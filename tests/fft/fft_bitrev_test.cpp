// The table-free bit-reversal permutations: result, swap count, conjugation.
#include <gtest/gtest.h>

#include "fft/fft.h"
#include "tests/fft/fft_reference.h"

namespace {

// Value k starts as (k, k + 0.5), so every value says where it came from.
std::vector<double> labelled(std::size_t values) {
  std::vector<double> x(2 * values);
  for (std::size_t k = 0; k < values; ++k) {
    x[2 * k] = static_cast<double>(k);
    x[2 * k + 1] = static_cast<double>(k) + 0.5;
  }
  return x;
}

TEST(FftBitrev, PermutesEveryLengthAndMovesExactlyTheNonFixedValues) {
  for (int b = 0; b <= 20; ++b) {
    const std::size_t values = std::size_t{1} << b;
    const int32_t n = static_cast<int32_t>(2 * values);
    for (bool conj : {false, true}) {
      auto x = labelled(values);
      if (conj) fft_bitrev_permute_conj(n, x.data());
      else fft_bitrev_permute(n, x.data());
      std::size_t moved = 0, wrong = 0;
      for (std::size_t p = 0; p < values; ++p) {
        const std::size_t from = fftref::bitrev(p, b);
        const double im = static_cast<double>(from) + 0.5;
        if (x[2 * p] != static_cast<double>(from) || x[2 * p + 1] != (conj ? -im : im)) ++wrong;
        if (from != p) ++moved;
      }
      EXPECT_EQ(wrong, 0u) << "b=" << b << " conj=" << conj;
      // (2^b - 2^ceil(b/2)) / 2 pairs are exchanged: 12 for 32 values, 28 for 64, 56 for 128.
      EXPECT_EQ(moved / 2, (values - (std::size_t{1} << ((b + 1) / 2))) / 2) << "b=" << b;
    }
  }
}

}  // namespace
