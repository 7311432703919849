// PostProgressCallback's throttle and records, posted to a message-only
// window; the verified benchmark's failure on a wrong digit.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "app/globals.h"
#include "bench/benchmark.h"
#include "tests/app/app_test_support.h"

namespace {

// Every other step is posted, and the last one always; the step difference
// is taken in signed 32 bits; the digits pass through unchanged.
TEST(WorkerProgress, PostsEveryOtherStepAndTheLastAndFreesTheRecordsItCannotPost) {
  std::vector<int32_t> odd;  // 1, 3, ..., 95
  for (int32_t step = 1; step <= 95; step += 2) odd.push_back(step);
  const struct {
    int32_t total, last_posted, from, to;
    std::vector<int32_t> posted;
  } cases[] = {
      {95, -999, 1, 95, odd},
      {96, -999, 93, 96, {93, 95, 96}},                        // the last right after another
      {95, -999, INT_MAX, INT_MAX, {}},                        // INT_MAX - (-999) wraps negative
      {95, INT_MAX, INT_MIN + 1, INT_MIN + 1, {INT_MIN + 1}},  // wraps to 2
  };
  HWND receiver = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(receiver, nullptr);
  main_window = receiver;
  for (const auto& c : cases) {
    total_progress_steps = c.total;
    last_posted_step = c.last_posted;
    for (int64_t step = c.from; step <= c.to; ++step)
      PostProgressCallback(static_cast<int32_t>(step), 1000u * static_cast<uint32_t>(step), nullptr, 0.5, 2.0);
    std::vector<int32_t> posted;
    MSG message;
    while (PeekMessageW(&message, receiver, WM_APP_BENCH_PROGRESS, WM_APP_BENCH_PROGRESS, PM_REMOVE)) {
      auto* update = reinterpret_cast<ProgressUpdate*>(message.lParam);
      posted.push_back(update->step);
      EXPECT_EQ(update->digits, 1000u * static_cast<uint32_t>(update->step));
      std::free(update);
    }
    EXPECT_EQ(posted, c.posted) << "steps " << c.from << " to " << c.to;
    EXPECT_TRUE(posted.empty() || last_posted_step == posted.back());
  }
  // Leak: the record of a post that fails stays with the sender, which frees it.
  DestroyWindow(receiver);
  PostProgressCallback(1, 0, nullptr, 0, 0);  // first use of every code path before measuring
  const long long before = apptest::heap_bytes_in_use();
  for (int32_t i = 0; i < 10000; ++i) {
    last_posted_step = -999;
    PostProgressCallback(i, 0, nullptr, 0, 0);
  }
  EXPECT_EQ(last_posted_step, 9999);
  EXPECT_LT(apptest::heap_bytes_in_use() - before, 16 * 1024);  // a leak would hold 10,000 records
  main_window = nullptr;
}

// Every run's digits are checked after its timed part; one wrong digit in
// any run leaves the benchmark without a score. Small computations, so the
// real arithmetic runs in a moment even under emulation.
TEST(VerifiedBenchmark, ARunWithAWrongDigitFailsTheBenchmark) {
  const struct {
    int32_t digits, runs, corrupt_run;
    const char* message;  // empty: a result
  } cases[] = {
      {3000, 3, 0, ""},
      {3000, 3, 1, "Run 1 of 3: the digits differ from the reference"},
      {3000, 3, 3, "Run 3 of 3: the digits differ from the reference"},
      {200, 2, 2, "Run 2 of 2: the digits differ from the reference"},
      {200, 1, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.digits << " digits, corrupt run " << c.corrupt_run);
    BenchmarkResult result{};
    int32_t steps = 0;
    run_verified_benchmark(
        c.digits, c.runs, c.corrupt_run, &result,
        [](int32_t, uint32_t, void* user, double, double) -> int32_t { return ++*static_cast<int32_t*>(user); },
        &steps);
    EXPECT_EQ(result.status, c.message[0] == '\0' ? 1u : 0u);
    EXPECT_STREQ(result.message, c.message);
    EXPECT_TRUE(result.status == 1 || result.score == 0.0);
    EXPECT_EQ(steps, agm_iteration_count(c.digits) * c.runs) << "every run still reports its progress";
  }
}

}  // namespace
