// Random transform inputs shared by the FFT tests.
#ifndef MORLANT_TESTS_FFT_FFT_TEST_DATA_H
#define MORLANT_TESTS_FFT_FFT_TEST_DATA_H

#include <cstddef>
#include <random>
#include <vector>

// n doubles uniform in [-1, 1), the same for the same seed.
inline std::vector<double> random_values(std::size_t n, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<double> x(n);
  for (double& v : x) v = dist(rng);
  return x;
}

#endif  // MORLANT_TESTS_FFT_FFT_TEST_DATA_H
