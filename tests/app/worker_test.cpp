// PostProgressCallback's throttle and records, posted to a message-only
// window.
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
  const struct { int32_t total, last_posted, from, to; std::vector<int32_t> posted; } cases[] = {
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

}  // namespace
