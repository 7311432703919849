// The benchmark runner driven by a scripted computation (aggregation, step
// numbers across runs, the offset adapter), and one short real run.
#include "bench/benchmark.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct FakeRun {  // what one scripted computation returns
  uint32_t status, digits;
  double seconds, score;
  int32_t steps;
};
constexpr FakeRun ok(double seconds, double score, uint32_t digits = 4096, int32_t steps = 0) {
  return {1, digits, seconds, score, steps};
}
constexpr FakeRun failed(int32_t steps = 0) { return {0, 0, 0.0, 0.0, steps}; }

struct ComputeCall {  // how the runner called the computation
  int32_t digits;
  bool record_zeroed;
  ProgressCallback callback;
  void *user, *compute_user;
};

struct FakeScript {
  std::vector<FakeRun> runs;
  std::vector<ComputeCall> calls;
};

bool all_zero(const BenchmarkResult& r) {
  static const BenchmarkResult zero{};
  return std::memcmp(&r, &zero, sizeof r) == 0;
}

// Run k (from 1) reports steps 1 ... steps with digits 100k + step, seconds
// 0.25 step and clock 1000k + step; a failed run leaves a message.
void fake_compute(int32_t digits, BenchmarkResult* result, ProgressCallback callback, void* user, void* compute_user) {
  auto* script = static_cast<FakeScript*>(compute_user);
  script->calls.push_back({digits, all_zero(*result), callback, user, compute_user});
  const int32_t k = static_cast<int32_t>(script->calls.size());
  const FakeRun& run = script->runs.at(static_cast<size_t>(k - 1));
  for (int32_t step = 1; step <= run.steps; ++step)
    if (callback) callback(step, static_cast<uint32_t>(100 * k + step), user, 0.25 * step, 1000.0 * k + step);
  *result = {run.status, run.digits, run.seconds, run.score, {}};
  if (run.status == 0) std::snprintf(result->message, sizeof result->message, "run %d failed", static_cast<int>(k));
}

struct Seen {
  int32_t step;
  uint32_t digits;
  void* user;
  double seconds, clock;
};
struct Recorder {
  std::vector<Seen> seen;
  int32_t returns = 0;
};
int32_t record_progress(int32_t step, uint32_t digits, void* user, double seconds, double clock) {
  auto* recorder = static_cast<Recorder*>(user);
  recorder->seen.push_back({step, digits, user, seconds, clock});
  return recorder->returns;
}

// Runs the script as a plan of 4096 digits and 19 steps per run, into a
// record full of junk (the runner must zero what it owns).
BenchmarkResult run_script(FakeScript& script, ProgressCallback callback = nullptr, void* user = nullptr) {
  const BenchmarkPlan plan{4096, static_cast<int32_t>(script.runs.size()), 19, fake_compute, &script, nullptr};
  BenchmarkResult result;
  std::memset(&result, 0xA5, sizeof result);
  run_benchmark_plan(&plan, &result, callback, user);
  return result;
}

TEST(BenchIterationCount, MatchesTransformLengthTable) {
  const int32_t cases[][2] = {{INT32_MIN, 0}, {-1, 0},        {0, 0},        {1, 1},         {35, 1},
                              {36, 2},        {100, 3},       {1000, 6},     {4096, 8},      {4100, 9},
                              {65536, 12},    {4194304, 18},  {8388608, 19}, {8388609, 19},  {8388612, 20},
                              {33554432, 20}, {INT32_MAX, 20}};
  for (const auto& c : cases) EXPECT_EQ(agm_iteration_count(c[0]), c[1]) << "digits " << c[0];
}

TEST(BenchAggregation, FoldsSuccessfulRunsOnly) {
  const struct {
    const char* name;
    std::vector<FakeRun> runs;
    uint32_t digits;
    double seconds, score;
  } cases[] = {
      {"mean 100.2 rounds down", {ok(10, 100), ok(10, 100), ok(10, 100), ok(10, 100), ok(10, 101)}, 4096, 50, 100},
      {"mean 100.5 rounds away from zero", {ok(12.5, 100), ok(7.25, 101)}, 4096, 19.75, 101},
      {"runs 2 and 4 fail", {ok(1, 10), failed(), ok(2, 20), failed(), ok(4, 31)}, 4096, 7, 20},
      {"run 1 fails: digits 0", {failed(), ok(3, 252), failed(), failed(), failed()}, 0, 3, 252},
      {"digits come from run 1", {ok(1, 1, 1024), ok(1, 1, 2048)}, 1024, 2, 1},
      {"one run", {ok(0.5, 99.5)}, 4096, 0.5, 100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeScript script{c.runs, {}};
    const BenchmarkResult result = run_script(script);
    EXPECT_EQ(result.status, 1u);
    EXPECT_EQ(result.digits, c.digits);
    EXPECT_DOUBLE_EQ(result.seconds, c.seconds);
    EXPECT_EQ(result.score, c.score);
    EXPECT_STREQ(result.message, "");
    ASSERT_EQ(script.calls.size(), c.runs.size());  // a failure never stops the benchmark
    for (const ComputeCall& call : script.calls) EXPECT_TRUE(call.digits == 4096 && call.record_zeroed);
  }
}

TEST(BenchAggregation, AllRunsFailingAndInvalidPlans) {
  for (const int32_t runs : {1, 5, 100}) {
    FakeScript script{std::vector<FakeRun>(static_cast<size_t>(runs), failed()), {}};
    const BenchmarkResult result = run_script(script);
    BenchmarkResult expected{};
    std::snprintf(expected.message, sizeof expected.message, "All %d benchmark runs failed", runs);
    EXPECT_EQ(std::memcmp(&result, &expected, sizeof result), 0) << result.message;
    EXPECT_EQ(script.calls.size(), static_cast<size_t>(runs));
  }
  for (const int32_t runs : {0, 101}) {
    FakeScript script{std::vector<FakeRun>(101, ok(1, 1)), {}};
    const BenchmarkPlan plan{4096, runs, 19, fake_compute, &script, nullptr};
    BenchmarkResult result = {1, 1, 1, 1, {}};
    run_benchmark_plan(&plan, &result, nullptr, nullptr);
    EXPECT_EQ(result.status, 0u);
    EXPECT_STREQ(result.message, "Invalid benchmark plan");
    EXPECT_TRUE(script.calls.empty());
  }
}

// Two steps per run against a planned 19: the offset follows the plan, and
// only successful runs advance it.
TEST(BenchProgress, FailedRunsRepeatStepNumbers) {
  FakeScript script{{ok(1, 1, 4096, 2), failed(2), ok(1, 1, 4096, 2), failed(2), ok(1, 1, 4096, 2)}, {}};
  Recorder recorder;
  recorder.returns = 7;
  const BenchmarkResult result = run_script(script, record_progress, &recorder);
  const int32_t offsets[] = {0, 19, 19, 38, 38};
  ASSERT_EQ(recorder.seen.size(), 10u);
  for (size_t i = 0; i < 10; ++i) {
    const Seen& s = recorder.seen[i];
    const int32_t k = static_cast<int32_t>(i / 2 + 1), step = static_cast<int32_t>(i % 2 + 1);
    SCOPED_TRACE(testing::Message() << "run " << k << " step " << step);
    EXPECT_EQ(s.step, offsets[k - 1] + step);
    EXPECT_EQ(s.digits, static_cast<uint32_t>(100 * k + step));
    EXPECT_EQ(s.user, &recorder);
    EXPECT_EQ(s.seconds, 0.25 * step);
    EXPECT_EQ(s.clock, 1000.0 * k + step);
  }
  for (const ComputeCall& call : script.calls) {
    EXPECT_EQ(call.callback, &progress_offset_adapter);
    EXPECT_TRUE(call.user != nullptr && call.user != &recorder);
    EXPECT_EQ(call.compute_user, &script);
  }
  EXPECT_EQ(result.seconds, 3.0);
}

TEST(BenchProgress, WithoutCallbackComputeGetsNeitherCallbackNorUser) {
  const std::vector<FakeRun> runs = {ok(1, 10, 4096, 3), failed(3), ok(2, 11, 4096, 3)};
  FakeScript quiet{runs, {}}, loud{runs, {}};
  int user_data = 0;
  const BenchmarkResult quiet_result = run_script(quiet, nullptr, &user_data);
  ASSERT_EQ(quiet.calls.size(), 3u);
  for (const ComputeCall& call : quiet.calls)
    EXPECT_TRUE(call.callback == nullptr && call.user == nullptr && call.compute_user == &quiet);
  Recorder recorder;
  const BenchmarkResult loud_result = run_script(loud, record_progress, &recorder);
  EXPECT_EQ(recorder.seen.size(), 9u);
  EXPECT_EQ(std::memcmp(&quiet_result, &loud_result, sizeof quiet_result), 0);
}

TEST(BenchAdapter, AddsOffsetAndPassesTheRestThrough) {
  const int32_t cases[][3] = {{1, 0, 1},                   {19, 76, 95},           {0, -5, -5},
                              {INT32_MAX, 1, INT32_MIN},   {INT32_MIN, -1, INT32_MAX},
                              {-1, INT32_MIN, INT32_MAX},  {INT32_MAX, INT32_MAX, -2}};
  for (const auto& c : cases) {  // step, offset, step passed on (wrapping at 32 bits)
    Recorder recorder;
    recorder.returns = c[2] ^ 0x5a5a;
    ProgressOffsetContext context{record_progress, &recorder, c[1]};
    EXPECT_EQ(progress_offset_adapter(c[0], 0xFFFFFFFFu, &context, 1.5, 123456.0), recorder.returns);
    ASSERT_EQ(recorder.seen.size(), 1u);
    const Seen& s = recorder.seen[0];
    EXPECT_EQ(s.step, c[2]) << c[0] << " + " << c[1];
    EXPECT_TRUE(s.digits == 0xFFFFFFFFu && s.user == &recorder && s.seconds == 1.5 && s.clock == 123456.0);
  }
  ProgressOffsetContext empty{nullptr, nullptr, 3};
  EXPECT_EQ(progress_offset_adapter(1, 1, &empty, 0, 0), 0);
  EXPECT_EQ(progress_offset_adapter(1, 1, nullptr, 0, 0), 0);
}

TEST(BenchRealCompute, ShortPlanCountsStepsAcrossRuns) {
  BenchmarkResult runs[2];
  const BenchmarkPlan plan{1000, 2, agm_iteration_count(1000), nullptr, nullptr, runs};
  Recorder recorder;
  BenchmarkResult result;
  run_benchmark_plan(&plan, &result, record_progress, &recorder);
  EXPECT_EQ(result.status, 1u);
  EXPECT_EQ(result.digits, 1024u);
  EXPECT_STREQ(result.message, "");
  EXPECT_EQ(result.seconds, runs[0].seconds + runs[1].seconds);
  ASSERT_EQ(recorder.seen.size(), 12u);  // 6 steps per run, numbered across the runs
  for (size_t i = 0; i < recorder.seen.size(); ++i) EXPECT_EQ(recorder.seen[i].step, static_cast<int32_t>(i + 1));
}

}  // namespace
