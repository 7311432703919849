// PostProgressCallback: the throttle and the records it posts to the main
// window (here a message-only window of the test thread).
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "app/globals.h"
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
  std::vector<int32_t> take_steps() {
    std::vector<int32_t> steps;
    for (const auto& record : take_posted()) steps.push_back(record.first);
    return steps;
  }
  HWND receiver = nullptr;
};

TEST_F(WorkerProgress, FullBenchmarkPostsEveryOtherStepFromTheFirstToTheLast) {
  for (int32_t step = 1; step <= 95; ++step) PostProgressCallback(step, 1000u * static_cast<uint32_t>(step), nullptr, 0.5, 2.0);
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
  for (int32_t step = 93; step <= 96; ++step) PostProgressCallback(step, 0, nullptr, 0, 0);
  EXPECT_EQ(take_steps(), (std::vector<int32_t>{93, 95, 96}));
}

TEST_F(WorkerProgress, DifferenceIsTakenInSigned32Bits) {
  PostProgressCallback(INT_MAX, 0, nullptr, 0, 0);  // INT_MAX - (-999) wraps negative: not posted
  EXPECT_TRUE(take_steps().empty());
  last_posted_step = INT_MAX;
  PostProgressCallback(INT_MIN + 1, 0, nullptr, 0, 0);  // wraps to 2: posted
  EXPECT_EQ(take_steps(), (std::vector<int32_t>{INT_MIN + 1}));
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

}  // namespace
