// PostProgressCallback's throttle and records, posted to a message-only window.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "app/globals.h"
#include "bench/benchmark.h"
#include "tests/app/app_test_support.h"

namespace {

class WorkerProgress : public testing::Test {
 protected:
  void SetUp() override {
    receiver = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(receiver, nullptr);
    main_window = receiver;
    total_progress_steps = 95;
    last_posted_step = -999;
  }
  void TearDown() override {
    take_posted();
    DestroyWindow(receiver);
    main_window = nullptr;
  }
  // The posted records' {step, digits}, each record freed.
  std::vector<std::pair<int32_t, uint32_t>> take_posted() {
    std::vector<std::pair<int32_t, uint32_t>> posted;
    MSG message;
    while (PeekMessageW(&message, receiver, WM_APP_BENCH_PROGRESS, WM_APP_BENCH_PROGRESS, PM_REMOVE)) {
      auto* update = reinterpret_cast<ProgressUpdate*>(message.lParam);
      posted.emplace_back(update->step, update->digits);
      std::free(update);
    }
    return posted;
  }
  void post(int32_t from, int32_t to) {
    for (int64_t step = from; step <= to; ++step)
      PostProgressCallback(static_cast<int32_t>(step), 1000u * static_cast<uint32_t>(step), nullptr, 0.5, 2.0);
  }
  HWND receiver = nullptr;
};

TEST_F(WorkerProgress, FullBenchmarkPostsEveryOtherStepFromTheFirstToTheLast) {
  post(1, 95);
  const auto posted = take_posted();
  ASSERT_EQ(posted.size(), 48u);
  for (size_t i = 0; i < posted.size(); ++i) {
    EXPECT_EQ(posted[i].first, static_cast<int32_t>(2 * i + 1));
    EXPECT_EQ(posted[i].second, 1000u * posted[i].first);  // digits pass through unchanged
  }
  EXPECT_EQ(last_posted_step, 95);
}

TEST_F(WorkerProgress, LastStepIsPostedEvenRightAfterAnother) {
  total_progress_steps = 96;
  post(93, 96);
  const auto posted = take_posted();
  ASSERT_EQ(posted.size(), 3u);
  EXPECT_TRUE(posted[0].first == 93 && posted[1].first == 95 && posted[2].first == 96);
}

// The step difference is taken in signed 32 bits.
TEST_F(WorkerProgress, DifferenceIsTakenInSigned32Bits) {
  post(INT_MAX, INT_MAX);  // INT_MAX - (-999) wraps negative: not posted
  EXPECT_TRUE(take_posted().empty());
  last_posted_step = INT_MAX;
  post(INT_MIN + 1, INT_MIN + 1);  // wraps to 2: posted
  const auto posted = take_posted();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].first, INT_MIN + 1);
}

TEST_F(WorkerProgress, RecordOfAFailedPostIsFreedBySender) {
  HWND gone = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  DestroyWindow(gone);
  main_window = gone;
  PostProgressCallback(1, 0, nullptr, 0, 0);  // first use of every code path before measuring
  const long long before = apptest::heap_bytes_in_use();
  for (int32_t i = 0; i < 10000; ++i) {
    last_posted_step = -999;
    PostProgressCallback(i, 0, nullptr, 0, 0);
  }
  EXPECT_EQ(last_posted_step, 9999);
  EXPECT_LT(apptest::heap_bytes_in_use() - before, 16 * 1024);  // a leak would hold 10,000 records
}

// Every run's digits are checked after its timed part; one wrong digit in
// any run leaves the benchmark without a score. Small computations, so the
// real arithmetic runs in a moment even under emulation.
TEST(VerifiedBenchmark, ARunWithAWrongDigitFailsTheBenchmark) {
  const struct {
    int32_t digits, runs, corrupt_run;
    uint32_t status;
    const char* message;
  } cases[] = {
      {3000, 3, 0, 1, ""},
      {3000, 3, 1, 0, "Run 1 of 3: the digits differ from the reference"},
      {3000, 3, 3, 0, "Run 3 of 3: the digits differ from the reference"},
      {200, 2, 2, 0, "Run 2 of 2: the digits differ from the reference"},
      {200, 1, 0, 1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.digits << " digits, corrupt run " << c.corrupt_run);
    BenchmarkResult result{};
    int32_t steps = 0;
    run_verified_benchmark(
        c.digits, c.runs, c.corrupt_run, &result,
        [](int32_t, uint32_t, void* user, double, double) -> int32_t { return ++*static_cast<int32_t*>(user); },
        &steps);
    EXPECT_EQ(result.status, c.status);
    EXPECT_STREQ(result.message, c.message);
    if (c.status == 0) EXPECT_EQ(result.score, 0.0);
    EXPECT_EQ(steps, agm_iteration_count(c.digits) * c.runs) << "every run still reports its progress";
  }
}

}  // namespace
