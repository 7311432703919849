// The digit check: its reference digest table against independently
// computed digits, its verdicts on known digits, the verified benchmark
// failing on a wrong digit or an untrusted time, and the timer check. (The located wrong digit and the check's lines on
// the command line are morlant-cli's end-to-end tests.)
#include "bench/verify.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "bench/pi_reference.h"
#include "bench/run_clocks.h"
#include "bignum/compute_pi.h"
#include "tests/cli/pi_digits.h"

namespace {

TEST(CliPiReference, TableAgreesWithTheGuaranteeAndWithKnownDigits) {
  std::size_t count = 0;
  const PiReference* table = pi_reference_table(&count);
  ASSERT_GT(count, 0u);
  std::set<int32_t> lengths;
  int checked_against_digits = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const PiReference& e = table[i];
    SCOPED_TRACE(testing::Message() << "2^" << e.log2_length << " x " << e.digits_per_word);
    ASSERT_TRUE(e.log2_length >= 1 && e.log2_length <= 25 && e.digits_per_word >= 1 && e.digits_per_word <= 4);
    EXPECT_EQ(e.guaranteed_digits, pi_guaranteed_digits(static_cast<uint32_t>(e.digits_per_word) << e.log2_length));
    EXPECT_EQ(pi_reference_for_length(int32_t{1} << e.log2_length, e.digits_per_word), &e);
    lengths.insert(e.log2_length);
    if (e.guaranteed_digits <= sizeof kPiDigits - 1) {
      EXPECT_EQ(pi_digest(kPiDigits, e.guaranteed_digits), e.digest);
      ++checked_against_digits;
    }
  }
  EXPECT_GT(checked_against_digits, 0);
  EXPECT_EQ(lengths.size(), 25u) << "every transform length 2^1 ... 2^25 needs an entry";
  EXPECT_EQ(pi_reference_for_length(1 << 26, 4), nullptr);
  EXPECT_EQ(pi_reference_for_length(512, 2), nullptr);
}

// 512 words of 4 digits guarantee 2046 digits.
TEST(DigitCheck, JudgesDigitsAgainstTheReference) {
  std::string why = "stale";
  EXPECT_EQ(judge_pi_digits(512, 4, kPiDigits, 2046, &why), RunVerification::kPassed);
  EXPECT_EQ(why, "");

  char wrong[2046];
  std::memcpy(wrong, kPiDigits, sizeof wrong);
  wrong[1500] = wrong[1500] == '9' ? '0' : static_cast<char>(wrong[1500] + 1);
  EXPECT_EQ(judge_pi_digits(512, 4, wrong, sizeof wrong, &why), RunVerification::kFailed);
  EXPECT_EQ(why, "the digits do not match the built-in digest");

  // A count the entry does not cover, and a size without an entry.
  EXPECT_EQ(judge_pi_digits(512, 4, kPiDigits, 2000, &why), RunVerification::kNotChecked);
  EXPECT_EQ(why, "no reference digest for 2000 digits at 4 digits per word");
  EXPECT_EQ(judge_pi_digits(512, 1, kPiDigits, 510, &why), RunVerification::kNotChecked);
  EXPECT_EQ(why, "no reference digest for 510 digits at 1 digits per word");
}

// Every run's digits are checked after its timed part; one wrong digit in
// any run leaves the benchmark without a score. Small computations, so the
// real arithmetic runs in a moment even under emulation.
// So does a run whose benchmark clock lost a second against the other two.
TEST(DigitCheck, ARunWithAWrongDigitOrAnUntrustedTimeFailsTheVerifiedBenchmark) {
  // The message expected (its start, for the timer's); empty: a result.
  const struct { int32_t digits, runs, corrupt_run, skew_run; const char* message; } cases[] = {
      {3000, 3, 0, 0, ""},
      {3000, 3, 1, 0, "Run 1 of 3: the digits differ from the reference"},
      {3000, 3, 3, 0, "Run 3 of 3: the digits differ from the reference"},
      {200, 2, 2, 0, "Run 2 of 2: the digits differ from the reference"},
      {200, 1, 0, 0, ""},
      {3000, 3, 0, 2, "Run 2 of 3: timer check failed: benchmark clock 0.0"},
      {3000, 3, 3, 1, "Run 1 of 3: timer check failed: benchmark clock 0.0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.digits << " digits, corrupt run " << c.corrupt_run << ", skewed run "
                                    << c.skew_run);
    BenchmarkResult result{};
    int32_t steps = 0;
    run_verified_benchmark(
        c.digits, c.runs, c.corrupt_run, c.skew_run, &result,
        [](int32_t, uint32_t, void* user, double, double) -> int32_t { return ++*static_cast<int32_t*>(user); },
        &steps);
    EXPECT_EQ(result.status, c.message[0] == '\0' ? 1u : 0u);
    EXPECT_EQ(std::string(result.message).rfind(c.message, 0), 0u) << result.message;
    EXPECT_TRUE(result.status == 1 || result.score == 0.0);
    EXPECT_EQ(steps, agm_iteration_count(c.digits) * c.runs) << "every run still reports its progress";
  }
}

// The timer check: processor time may fall short of the wall time (waiting)
// but not exceed it, N times it for N threads; the second wall clock may
// differ either way by the tolerance only; without one only the processor
// time is judged.
TEST(TimerCheck, ProcessorTimeMayNotExceedTheWallTimeNorTheSecondClockDisagree) {
  const struct { double benchmark, cpu, second; int32_t parallel; bool failed; } cases[] = {
      {10.0, 4.0, 10.0, 1, false},    // waiting
      {10.0, 10.09, 10.09, 1, false}, // within 1 %
      {10.0, 10.2, 10.0, 1, true},    // processor time ahead
      {10.0, 39.5, 10.0, 4, false},   // four threads
      {10.0, 40.5, 10.0, 4, true},
      {10.0, 9.0, 9.8, 1, true},      // the second clock behind
      {10.0, 9.0, 10.2, 1, true},     // and ahead
      {0.001, 0.07, 0.07, 1, false},  // the floor of a short run
      {0.001, 0.1, 0.001, 1, true},
      {1.0, 1.0, -1, 1, false},       // no second clock
      {1.0, 1.5, -1, 1, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.benchmark << " s, processor " << c.cpu << " s, second " << c.second);
    const RunClocks r =
        check_run_clocks({100.0, c.second < 0 ? -1 : 50.0}, {100.0 + c.cpu, c.second < 0 ? -1 : 50.0 + c.second},
                         c.benchmark, c.parallel);
    EXPECT_EQ(r.failed, c.failed);
  }
  RunClocks shared = check_run_clocks({0, 0}, {2.0, 0.5}, 0.5, 4);
  EXPECT_EQ(describe_run_clocks(shared),
            "benchmark clock 0.500 s, processor time 2.000 s on 4 threads, second clock 0.500 s (tolerance 0.075 s)");
  shared.second_seconds = -1;
  EXPECT_EQ(describe_run_clocks(shared), "benchmark clock 0.500 s, processor time 2.000 s on 4 threads, "
                                         "no second clock (tolerance 0.075 s)");
}

}  // namespace
