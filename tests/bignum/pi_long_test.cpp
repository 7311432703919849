// The benchmark's own computation, once: 8,388,608 digits of pi against MPFR.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "bignum/compute_pi.h"
#include "tests/bignum/mpfr_support.h"

namespace bigtest {
namespace {

int32_t record_estimate(int32_t step, uint32_t digits, void* user, double, double) {
  auto* estimates = static_cast<std::vector<uint32_t>*>(user);
  EXPECT_EQ(step, static_cast<int32_t>(estimates->size() + 1));
  estimates->push_back(digits);
  return 0;
}

TEST(PiLong, BenchmarkLength) {
  constexpr int32_t kDigits = 8388608, kWords = (1 << 21) + 2;
  BenchmarkResult result;
  std::vector<uint32_t> estimates;
  PiCapture pi;
  compute_pi_with_sink(kDigits, &result, record_estimate, &estimates, capture_pi, &pi);
  ASSERT_EQ(result.status, 1u) << result.message;
  EXPECT_EQ(result.digits, static_cast<uint32_t>(kDigits));
  EXPECT_GT(result.seconds, 0.0);
  const double D = kDigits;
  EXPECT_EQ(result.score, std::ceil((std::log2(D) * std::log2(D)) * (D * 5.663691143091034e-7) / result.seconds));
  EXPECT_EQ(pi.calls, 1);
  EXPECT_EQ(pi.R, 10000);
  EXPECT_EQ(pi.n, kWords);
  ASSERT_EQ(estimates.size(), 19u);  // the runner's progress counts on 19 steps per run
  const uint32_t first[] = {48, 80, 176, 352, 688, 1392};
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(estimates[i], first[i]) << "step " << i + 1;
  EXPECT_GE(estimates.back(), 16u * 524289);  // the loop ends once G has 524,288 zero words or more
  EXPECT_LT(estimates[17], 16u * 524289);

  const uint32_t count = pi_guaranteed_digits(kDigits);
  const std::string reference = pi_digits(count);
  ASSERT_GE(pi.digits.size(), count);
  const auto diff = std::mismatch(reference.begin(), reference.end(), pi.digits.begin());
  EXPECT_EQ(diff.first, reference.end()) << "digit " << diff.first - reference.begin() + 1 << " differs";
  std::printf("%u digits in %.2f s (score %.0f)\n", result.digits, result.seconds, result.score);
}

}  // namespace
}  // namespace bigtest
