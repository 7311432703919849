// compute_pi: digits against MPFR, reported digits, progress, score, failures.
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

#include "tests/bignum/bignum_test_support.h"

namespace bigtest {
namespace {

#ifdef MORLANT_TESTS_EMULATED
constexpr bool kEmulated = true;
#else
constexpr bool kEmulated = false;
#endif
#ifdef MORLANT_TESTS_SANITIZED
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// Largest digit count checked (the benchmark's runs in pi_long_tests); random
// counts lie in 301 ... 300 + kRandomDigits.
constexpr int32_t kLargest = kEmulated ? 1 << 16 : kSanitized ? 1 << 18 : 1 << 20;
constexpr int32_t kRandomDigits = kEmulated ? 20000 : 100000;

struct Step { int32_t step; uint32_t digits; void* user; double seconds, clock; };

// A computation's record: before and after, the clock readings around the
// call; sleep_ms, the time each callback takes.
struct PiRun {
  BenchmarkResult result; std::vector<Step> steps; PiCapture pi; double before = 0, after = 0; int sleep_ms = 0;
};

int32_t record_step(int32_t step, uint32_t digits, void* user, double seconds, double clock) {
  PiRun* r = static_cast<PiRun*>(user);
  r->steps.push_back({step, digits, user, seconds, clock});
  if (r->sleep_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(r->sleep_ms));
  return 0;
}

void compute(int32_t digits, PiRun& r, bool with_callback = true) {
  std::memset(&r.result, 0x5f, sizeof r.result);
  r.before = morlant_clock_ms();
  compute_pi_with_sink(digits, 1, &r.result, with_callback ? record_step : nullptr, &r, capture_pi, &r.pi);
  r.after = morlant_clock_ms();
}

// Steps 1, 2, 3 ... with the user pointer; each iteration starts after the
// previous callback; the iteration times are part of the result's time.
void expect_steps_consistent(const PiRun& r, int32_t digits) {
  double previous = r.before, total = 0;
  for (size_t i = 0; i < r.steps.size(); ++i) {
    const Step& s = r.steps[i];
    EXPECT_TRUE(s.step == static_cast<int32_t>(i + 1) && s.user == &r && s.seconds >= 0 && s.clock <= r.after)
        << "step " << i + 1 << " of " << digits;
    EXPECT_GE(s.clock - 1000 * s.seconds, previous - 1e-6) << "step " << s.step << " of " << digits;
    previous = s.clock;
    total += s.seconds;
  }
  EXPECT_GE(r.result.seconds, total - 1e-9) << digits;
}

// Every count to 300, random ones and powers of two; half of them without a
// callback, which computes all the same. At the largest the progress
// estimates: the benchmark's own first ones, and the loop stops at the first
// above 4n.
TEST(ComputePi, DigitsMatchMpfr) {
  std::vector<int32_t> counts;
  for (int32_t d = 1; d <= 300; ++d) counts.push_back(d);
  std::mt19937_64 g(271828);
  for (int i = 0; i < 24; ++i) counts.push_back(301 + static_cast<int32_t>(g() % kRandomDigits));
  for (int32_t d = 512; d <= kLargest; d *= 2) counts.push_back(d);
  const std::string reference = pi_digits(kLargest);
  for (int32_t d : counts) {
    PiRun r;
    compute(d, r, d % 2 == 1 || d == kLargest);
    const auto nfft = static_cast<uint32_t>(pi_transform_length(d));  // pinned by the runner's tests
    expect_pi(d, r.result, r.pi, nfft, reference);
    if (r.steps.empty()) continue;
    expect_steps_consistent(r, d);
    if (nfft >= 16) {
      EXPECT_EQ(r.steps.size(), static_cast<size_t>(std::log2(nfft)) - 2) << d << " digits";
    }
    for (size_t i = 0; d == kLargest && i < r.steps.size(); ++i)
      EXPECT_EQ(r.steps[i].digits > 4 * (nfft + 2), i + 1 == r.steps.size()) << "step " << i + 1;
    for (size_t i = 0; d == kLargest && i < 6 && i < r.steps.size(); ++i)
      EXPECT_EQ(r.steps[i].digits, kFirstEstimates[i]) << "step " << i + 1;
  }
}

// Fixed points of the score the results are checked against.
TEST(ComputePi, ScoreScale) { EXPECT_TRUE(expected_score(8388608, 10) == 252 && expected_score(8388608, 20) == 126); }

// No result record: nothing computed, nothing called. Invalid counts: the
// message, every other field zero.
TEST(ComputePi, NullResultAndInvalidCounts) {
  PiRun r;
  compute_pi(0, nullptr, record_step, &r);
  compute_pi(64, nullptr, record_step, &r);
  compute_pi_with_sink(64, 1, nullptr, record_step, &r, capture_pi, &r.pi);
  EXPECT_TRUE(r.steps.empty() && r.pi.calls == 0);
  for (int32_t d : {0, -7, INT32_MIN}) {
    PiRun x;
    compute(d, x);
    BenchmarkResult want{};
    std::snprintf(want.message, sizeof want.message, "Invalid number of digits: %d", d);
    EXPECT_EQ(std::memcmp(&x.result, &want, sizeof want), 0) << d << ": " << x.result.message;
    EXPECT_TRUE(x.steps.empty() && x.pi.calls == 0);
  }
}

// A callback that takes 25 ms each time: none of it is in the result's time.
TEST(ComputePi, CallbackTimeIsExcluded) {
  PiRun slow;
  slow.sleep_ms = 25;
  compute(4096, slow);
  ASSERT_EQ(slow.steps.size(), 8u);
  expect_steps_consistent(slow, 4096);
  EXPECT_LE(slow.result.seconds, (slow.after - slow.before) * 0.001 - 8 * 0.025 + 0.01);
}

// A real allocation failure: a child whose address space holds a few 67 MB
// records of 10^8 digits but not all nine buffers; findings in its exit code.
TEST(ComputePi, AllocationFailureReportsAndReleases) {
  if (kSanitized) GTEST_SKIP() << "the sanitizer reserves address space far beyond any useful limit";
  enum { kStatus = 1, kMessage = 2, kFields = 4, kCallback = 8, kLeak = 16, kNoRoom = 32, kNoLimit = 64 };
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    alarm(120);  // should the limit not bite
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (256u << 20);
    const rlimit lim{limit, limit};
    setrlimit(RLIMIT_AS, &lim);
    void* probe = std::malloc(67u << 20);  // room for at least one record
    int code = probe == nullptr ? kNoRoom : 0;
    std::free(probe);
    // qemu-user accepts the limit but keeps it for itself.
    if (void* beyond = std::malloc(512u << 20)) {
      std::free(beyond);
      _exit(kNoLimit);
    }
    PiRun r;
    r.steps.reserve(64);
    const struct mallinfo2 before = mallinfo2();
    compute_pi(100000000, &r.result, record_step, &r);
    const struct mallinfo2 after = mallinfo2();
    code |= (r.result.status != 0 ? kStatus : 0) | (r.steps.empty() ? 0 : kCallback) |
            (std::strcmp(r.result.message, "Memory allocation failed") != 0 ? kMessage : 0) |
            (r.result.digits != 0 || r.result.seconds != 0 || r.result.score != 0 ? kFields : 0) |
            (after.uordblks != before.uordblks || after.hblkhd != before.hblkhd ? kLeak : 0);
    _exit(code);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
  const int code = WEXITSTATUS(status);
  if (kEmulated && code == kNoLimit) GTEST_SKIP() << "the emulator does not apply address-space limits";
  ASSERT_NE(code, kNoLimit) << "the address-space limit did not hold";
  const char* const faults[] = {"status not 0", "message not \"Memory allocation failed\"", "digits, seconds or score not 0",
                                "callback called", "memory not all released", "no room for any allocation"};
  for (int bit = 0; bit < 6; ++bit) EXPECT_FALSE(code & (1 << bit)) << faults[bit];
}

}  // namespace
}  // namespace bigtest
