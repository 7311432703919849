// The benchmark's own computation, once: 8,388,608 digits of pi against MPFR.
#include <cstdio>
#include <vector>

#include "tests/bignum/bignum_test_support.h"

namespace bigtest {
namespace {

int32_t record_estimate(int32_t step, uint32_t digits, void* user, double, double) {
  auto* estimates = static_cast<std::vector<uint32_t>*>(user);
  EXPECT_EQ(step, static_cast<int32_t>(estimates->size() + 1));
  estimates->push_back(digits);
  return 0;
}

TEST(PiLong, BenchmarkLength) {
  constexpr int32_t kDigits = 8388608;
  BenchmarkResult result;
  std::vector<uint32_t> estimates;
  PiCapture pi;
  compute_pi_with_sink(kDigits, 1, &result, record_estimate, &estimates, capture_pi, &pi);
  expect_pi(kDigits, result, pi, 1 << 21, pi_digits(pi_guaranteed_digits(kDigits)));
  EXPECT_GT(result.seconds, 0.0);
  ASSERT_EQ(estimates.size(), 19u);  // the runner's progress counts on 19 steps per run
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(estimates[i], kFirstEstimates[i]) << "step " << i + 1;
  EXPECT_GE(estimates.back(), 16u * 524289);  // the loop ends once G has 524,288 zero words or more
  EXPECT_LT(estimates[17], 16u * 524289);
  std::printf("%u digits in %.2f s (score %.0f)\n", result.digits, result.seconds, result.score);
}

}  // namespace
}  // namespace bigtest
