// The benchmark runner driven by a scripted computation: aggregation of the
// run records, benchmark-wide step numbers, the offset adapter, and one short
// run of the real computation.
#include "bench/benchmark.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// What one scripted computation returns and how many steps it reports.
struct FakeRun {
  uint32_t status;
  uint32_t digits;
  double seconds;
  double score;
  int32_t steps;
};

// How the runner called the computation.
struct ComputeCall {
  int32_t digits;
  bool record_zeroed;
  ProgressCallback callback;
  void* user;
  void* compute_user;
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
// 0.25 * step and clock 1000k + step, then returns its scripted outcome; a
// failed run leaves a message, as the real computation does.
void fake_compute(int32_t digits, BenchmarkResult* result, ProgressCallback callback, void* user,
                  void* compute_user) {
  auto* script = static_cast<FakeScript*>(compute_user);
  script->calls.push_back({digits, all_zero(*result), callback, user, compute_user});
  const int32_t k = static_cast<int32_t>(script->calls.size());
  const FakeRun& run = script->runs.at(static_cast<size_t>(k - 1));
  for (int32_t step = 1; step <= run.steps; ++step) {
    if (callback) callback(step, static_cast<uint32_t>(100 * k + step), user, 0.25 * step, 1000.0 * k + step);
  }
  result->status = run.status;
  result->digits = run.digits;
  result->seconds = run.seconds;
  result->score = run.score;
  if (run.status == 0) std::snprintf(result->message, sizeof result->message, "run %d failed", static_cast<int>(k));
}

struct Seen {
  int32_t step;
  uint32_t digits;
  void* user;
  double seconds;
  double clock;
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

BenchmarkPlan fake_plan(FakeScript* script, BenchmarkResult* run_results = nullptr) {
  return {4096, static_cast<int32_t>(script->runs.size()), 19, fake_compute, script, run_results};
}

// A record full of junk, to see that the runner zeroes what it owns.
BenchmarkResult junk_record() {
  BenchmarkResult r;
  std::memset(&r, 0xA5, sizeof r);
  return r;
}

constexpr FakeRun ok(double seconds, double score, uint32_t digits = 4096, int32_t steps = 0) {
  return {1, digits, seconds, score, steps};
}
constexpr FakeRun failed(int32_t steps = 0) { return {0, 0, 0.0, 0.0, steps}; }

TEST(BenchIterationCount, MatchesTransformLengthTable) {
  const struct {
    int32_t digits;
    int32_t steps;
  } cases[] = {
      {INT32_MIN, 0}, {-1, 0},       {0, 0},        {1, 1},        {11, 1},        {12, 1},     {32, 1},
      {35, 1},        {36, 2},       {100, 3},      {1000, 6},     {4096, 8},      {4100, 9},   {65536, 12},
      {1048576, 16},  {4194304, 18}, {8388608, 19}, {8388609, 19}, {8388612, 20}, {16777216, 20},
      {33554432, 20}, {INT32_MAX, 20},
  };
  for (const auto& c : cases) EXPECT_EQ(agm_iteration_count(c.digits), c.steps) << "digits " << c.digits;
  EXPECT_EQ(agm_iteration_count(BENCHMARK_DIGITS), STEPS_PER_RUN);
}

TEST(BenchAggregation, FoldsSuccessfulRunsOnly) {
  const struct {
    const char* name;
    std::vector<FakeRun> runs;
    uint32_t digits;
    double seconds;
    double score;
  } cases[] = {
      {"five runs, mean 100.2 rounds down",
       {ok(10, 100), ok(10, 100), ok(10, 100), ok(10, 100), ok(10, 101)}, 4096, 50, 100},
      {"two runs, mean 100.5 rounds away from zero", {ok(12.5, 100), ok(7.25, 101)}, 4096, 19.75, 101},
      {"runs 2 and 4 fail", {ok(1, 10), failed(), ok(2, 20), failed(), ok(4, 31)}, 4096, 7, 20},
      {"run 1 fails: digits 0", {failed(), ok(3, 252), failed(), failed(), failed()}, 0, 3, 252},
      {"digits come from run 1", {ok(1, 1, 1024), ok(1, 1, 2048)}, 1024, 2, 1},
      {"one run", {ok(0.5, 99.5)}, 4096, 0.5, 100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeScript script{c.runs, {}};
    const BenchmarkPlan plan = fake_plan(&script);
    BenchmarkResult result = junk_record();
    run_benchmark_plan(&plan, &result, nullptr, nullptr);
    EXPECT_EQ(result.status, 1u);
    EXPECT_EQ(result.digits, c.digits);
    EXPECT_DOUBLE_EQ(result.seconds, c.seconds);
    EXPECT_EQ(result.score, c.score);
    EXPECT_STREQ(result.message, "");
    ASSERT_EQ(script.calls.size(), c.runs.size());  // a failure never stops the benchmark
    for (const ComputeCall& call : script.calls) {
      EXPECT_EQ(call.digits, 4096);
      EXPECT_TRUE(call.record_zeroed);
    }
  }
}

TEST(BenchAggregation, AllRunsFailing) {
  for (const int32_t runs : {1, 5, 100}) {
    FakeScript script{std::vector<FakeRun>(static_cast<size_t>(runs), failed()), {}};
    const BenchmarkPlan plan = fake_plan(&script);
    BenchmarkResult result = junk_record();
    run_benchmark_plan(&plan, &result, nullptr, nullptr);
    const std::string message = "All " + std::to_string(runs) + " benchmark runs failed";
    BenchmarkResult expected{};
    std::memcpy(expected.message, message.c_str(), message.size());
    EXPECT_EQ(std::memcmp(&result, &expected, sizeof result), 0) << result.message;
    EXPECT_EQ(script.calls.size(), static_cast<size_t>(runs));
  }
}

TEST(BenchProgress, FailedRunsRepeatStepNumbers) {
  // Two steps per run against a planned 19: the offset follows the plan, not
  // what a run reported, and only successful runs advance it.
  FakeScript script{{ok(1, 1, 4096, 2), failed(2), ok(1, 1, 4096, 2), failed(2), ok(1, 1, 4096, 2)}, {}};
  const BenchmarkPlan plan = fake_plan(&script);
  Recorder recorder;
  recorder.returns = 7;
  BenchmarkResult result;
  run_benchmark_plan(&plan, &result, record_progress, &recorder);

  const int32_t offsets[] = {0, 19, 19, 38, 38};
  ASSERT_EQ(recorder.seen.size(), 10u);
  for (int32_t k = 1; k <= 5; ++k) {
    for (int32_t step = 1; step <= 2; ++step) {
      const Seen& s = recorder.seen[static_cast<size_t>(2 * (k - 1) + step - 1)];
      SCOPED_TRACE(testing::Message() << "run " << k << " step " << step);
      EXPECT_EQ(s.step, offsets[k - 1] + step);
      EXPECT_EQ(s.digits, static_cast<uint32_t>(100 * k + step));
      EXPECT_EQ(s.user, &recorder);
      EXPECT_EQ(s.seconds, 0.25 * step);
      EXPECT_EQ(s.clock, 1000.0 * k + step);
    }
  }
  for (const ComputeCall& call : script.calls) {
    EXPECT_EQ(call.callback, &progress_offset_adapter);
    EXPECT_NE(call.user, nullptr);
    EXPECT_NE(call.user, &recorder);
    EXPECT_EQ(call.compute_user, &script);
  }
  EXPECT_EQ(result.status, 1u);
  EXPECT_EQ(result.seconds, 3.0);
}

TEST(BenchProgress, WithoutCallbackComputeGetsNeitherCallbackNorUser) {
  const std::vector<FakeRun> runs = {ok(1, 10, 4096, 3), failed(3), ok(2, 11, 4096, 3)};
  FakeScript quiet{runs, {}};
  const BenchmarkPlan quiet_plan = fake_plan(&quiet);
  int user_data = 0;
  BenchmarkResult quiet_result;
  run_benchmark_plan(&quiet_plan, &quiet_result, nullptr, &user_data);
  ASSERT_EQ(quiet.calls.size(), 3u);
  for (const ComputeCall& call : quiet.calls) {
    EXPECT_EQ(call.callback, nullptr);
    EXPECT_EQ(call.user, nullptr);
    EXPECT_EQ(call.compute_user, &quiet);
  }

  FakeScript loud{runs, {}};
  const BenchmarkPlan loud_plan = fake_plan(&loud);
  Recorder recorder;
  BenchmarkResult loud_result;
  run_benchmark_plan(&loud_plan, &loud_result, record_progress, &recorder);
  EXPECT_EQ(recorder.seen.size(), 9u);
  EXPECT_EQ(std::memcmp(&quiet_result, &loud_result, sizeof quiet_result), 0);
}

TEST(BenchAdapter, AddsOffsetAndPassesTheRestThrough) {
  const struct {
    int32_t step;
    int32_t offset;
    int32_t expected;
  } cases[] = {
      {1, 0, 1},   {19, 76, 95}, {0, -5, -5}, {INT32_MAX, 1, INT32_MIN}, {INT32_MIN, -1, INT32_MAX},
      {-1, INT32_MIN, INT32_MAX}, {INT32_MAX, INT32_MAX, -2},
  };
  for (const auto& c : cases) {
    Recorder recorder;
    recorder.returns = c.expected ^ 0x5a5a;
    ProgressOffsetContext context{record_progress, &recorder, c.offset};
    EXPECT_EQ(progress_offset_adapter(c.step, 0xFFFFFFFFu, &context, 1.5, 123456.0), recorder.returns);
    ASSERT_EQ(recorder.seen.size(), 1u);
    EXPECT_EQ(recorder.seen[0].step, c.expected) << c.step << " + " << c.offset;
    EXPECT_EQ(recorder.seen[0].digits, 0xFFFFFFFFu);
    EXPECT_EQ(recorder.seen[0].user, &recorder);
    EXPECT_EQ(recorder.seen[0].seconds, 1.5);
    EXPECT_EQ(recorder.seen[0].clock, 123456.0);
    EXPECT_EQ(context.step_offset, c.offset);
  }
  ProgressOffsetContext empty{nullptr, nullptr, 3};
  EXPECT_EQ(progress_offset_adapter(1, 1, &empty, 0, 0), 0);
  EXPECT_EQ(progress_offset_adapter(1, 1, nullptr, 0, 0), 0);
}

TEST(BenchRealCompute, ShortPlanCountsStepsAcrossRuns) {
  const int32_t steps = agm_iteration_count(1000);
  ASSERT_EQ(steps, 6);
  BenchmarkResult runs[2];
  const BenchmarkPlan plan{1000, 2, steps, nullptr, nullptr, runs};
  Recorder recorder;
  BenchmarkResult result;
  run_benchmark_plan(&plan, &result, record_progress, &recorder);

  EXPECT_EQ(result.status, 1u);
  EXPECT_EQ(result.digits, 1024u);
  EXPECT_STREQ(result.message, "");
  EXPECT_EQ(result.seconds, runs[0].seconds + runs[1].seconds);
  ASSERT_EQ(recorder.seen.size(), 12u);
  for (size_t i = 0; i < recorder.seen.size(); ++i) {
    EXPECT_EQ(recorder.seen[i].step, static_cast<int32_t>(i + 1));
    EXPECT_EQ(recorder.seen[i].user, &recorder);
  }
}

}  // namespace
