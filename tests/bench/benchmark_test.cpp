// The benchmark runner driven by a scripted computation: aggregation, step
// numbers across runs, the offset adapter. (Real runs through it, their steps
// numbered across runs, are morlant-cli's end-to-end tests.)
#include "bench/benchmark.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// What one scripted computation returns.
struct FakeRun { uint32_t status, digits; double seconds, score; int32_t steps; };
constexpr FakeRun ok(double seconds, double score, uint32_t digits = 4096, int32_t steps = 0) {
  return {1, digits, seconds, score, steps};
}
constexpr FakeRun failed(int32_t steps = 0) { return {0, 0, 0.0, 0.0, steps}; }

// One progress callback, or (step 0) one call of the computation.
struct Seen {
  int32_t step; uint32_t digits; void* user; double seconds, clock; ProgressCallback callback; bool record_zeroed;
};

struct FakeScript { std::vector<FakeRun> runs; std::vector<Seen> calls; };

// Run k (from 1) reports steps 1 ... steps with digits 100k + step, seconds
// 0.25 step and clock 1000k + step; a failed run leaves a message.
void fake_compute(int32_t digits, BenchmarkResult* result, ProgressCallback callback, void* user, void* compute_user) {
  static const BenchmarkResult zero{};
  auto* script = static_cast<FakeScript*>(compute_user);
  script->calls.push_back({0, static_cast<uint32_t>(digits), user, 0, 0, callback, !std::memcmp(result, &zero, sizeof zero)});
  const int32_t k = static_cast<int32_t>(script->calls.size());
  const FakeRun& run = script->runs.at(static_cast<size_t>(k - 1));
  for (int32_t step = 1; step <= run.steps; ++step)
    if (callback) callback(step, static_cast<uint32_t>(100 * k + step), user, 0.25 * step, 1000.0 * k + step);
  *result = {run.status, run.digits, run.seconds, run.score, {}};
  if (run.status == 0) std::snprintf(result->message, sizeof result->message, "run %d failed", static_cast<int>(k));
}

struct Recorder { std::vector<Seen> seen; int32_t returns = 0; };
int32_t record_progress(int32_t step, uint32_t digits, void* user, double seconds, double clock) {
  auto* recorder = static_cast<Recorder*>(user);
  recorder->seen.push_back({step, digits, user, seconds, clock, nullptr, false});
  return recorder->returns;
}

// Runs the script as a plan of 4096 digits and 19 steps per run, into a
// record full of junk (the runner must zero what it owns).
BenchmarkResult run_script(FakeScript& script, ProgressCallback callback = nullptr, void* user = nullptr,
                           int32_t runs = -1) {
  const BenchmarkPlan plan{4096, runs < 0 ? static_cast<int32_t>(script.runs.size()) : runs, 19, fake_compute, &script,
                           nullptr};
  BenchmarkResult result;
  std::memset(&result, 0xA5, sizeof result);
  run_benchmark_plan(&plan, &result, callback, user);
  return result;
}

// The transform length of a digit count and the iterations it runs.
TEST(BenchIterationCount, MatchesTransformLengthTable) {
  const int32_t cases[][3] = {  // digits, transform length, iterations
      {INT32_MIN, 2, 0},       {-1, 2, 0},        {0, 2, 0},         {1, 2, 1},          {11, 2, 1},
      {12, 4, 1},              {35, 8, 1},        {36, 16, 2},       {100, 32, 3},       {1000, 256, 6},
      {4096, 1024, 8},         {4100, 2048, 9},   {65536, 16384, 12}, {4194304, 1 << 20, 18},
      {8388608, 1 << 21, 19},  {8388609, 1 << 21, 19}, {8388612, 1 << 22, 20}, {33554432, 1 << 23, 20},
      {INT32_MAX, 1 << 29, 20}};
  for (const auto& c : cases) {
    EXPECT_EQ(pi_transform_length(c[0]), c[1]) << "digits " << c[0];
    EXPECT_EQ(agm_iteration_count(c[0]), c[2]) << "digits " << c[0];
  }
}

// Failed runs never stop the benchmark and add nothing; the digits come from
// run 1; the score is the mean rounded half away from zero. With no run
// succeeding, or a plan of 0 or more than 100 runs, a message and zeros.
TEST(BenchAggregation, FoldsSuccessfulRunsOnly) {
  const struct {
    const char* name; std::vector<FakeRun> runs; uint32_t status, digits; double seconds, score; const char* message;
  } cases[] = {
      {"mean 100.2 rounds down", {ok(10, 100), ok(10, 100), ok(10, 100), ok(10, 100), ok(10, 101)}, 1, 4096, 50, 100, ""},
      {"mean 100.5 rounds away from zero", {ok(12.5, 100), ok(7.25, 101)}, 1, 4096, 19.75, 101, ""},
      {"runs 2 and 4 fail", {ok(1, 10), failed(), ok(2, 20), failed(), ok(4, 31)}, 1, 4096, 7, 20, ""},
      {"run 1 fails: digits 0", {failed(), ok(3, 252), failed(), failed(), failed()}, 1, 0, 3, 252, ""},
      {"digits come from run 1", {ok(1, 1, 1024), ok(1, 1, 2048)}, 1, 1024, 2, 1, ""},
      {"one run", {ok(0.5, 99.5)}, 1, 4096, 0.5, 100, ""},
      {"one run fails", {failed()}, 0, 0, 0, 0, "All 1 benchmark runs failed"},
      {"all fail", std::vector<FakeRun>(100, failed()), 0, 0, 0, 0, "All 100 benchmark runs failed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeScript script{c.runs, {}};
    const BenchmarkResult result = run_script(script);
    BenchmarkResult want{c.status, c.digits, c.seconds, c.score, {}};
    std::snprintf(want.message, sizeof want.message, "%s", c.message);
    EXPECT_EQ(std::memcmp(&result, &want, sizeof want), 0) << result.digits << " " << result.seconds << " "
                                                           << result.score << " " << result.message;
    ASSERT_EQ(script.calls.size(), c.runs.size());
    for (const Seen& call : script.calls) EXPECT_TRUE(call.digits == 4096 && call.record_zeroed);
  }
  for (const int32_t runs : {0, 101}) {
    FakeScript script{std::vector<FakeRun>(101, ok(1, 1)), {}};
    const BenchmarkResult result = run_script(script, nullptr, nullptr, runs);
    EXPECT_EQ(result.status, 0u);
    EXPECT_STREQ(result.message, "Invalid benchmark plan");
    EXPECT_TRUE(script.calls.empty());
  }
}

// Two steps per run against a planned 19: the offset follows the plan, and
// only successful runs advance it. Without a callback the computation gets
// neither callback nor user, and the result is the same.
TEST(BenchProgress, FailedRunsRepeatStepNumbers) {
  const std::vector<FakeRun> runs = {ok(1, 1, 4096, 2), failed(2), ok(1, 1, 4096, 2), failed(2), ok(1, 1, 4096, 2)};
  FakeScript script{runs, {}}, quiet{runs, {}};
  Recorder recorder;
  recorder.returns = 7;
  const BenchmarkResult result = run_script(script, record_progress, &recorder);
  const int32_t offsets[] = {0, 19, 19, 38, 38};
  ASSERT_EQ(recorder.seen.size(), 10u);
  for (size_t i = 0; i < 10; ++i) {
    const Seen& s = recorder.seen[i];
    const int32_t k = static_cast<int32_t>(i / 2 + 1), step = static_cast<int32_t>(i % 2 + 1);
    EXPECT_TRUE(s.step == offsets[k - 1] + step && s.digits == static_cast<uint32_t>(100 * k + step) &&
                s.user == &recorder && s.seconds == 0.25 * step && s.clock == 1000.0 * k + step)
        << "run " << k << " step " << step << ": step " << s.step;
  }
  for (const Seen& call : script.calls)
    EXPECT_TRUE(call.callback == &progress_offset_adapter && call.user != nullptr && call.user != &recorder);
  EXPECT_EQ(result.seconds, 3.0);

  int user_data = 0;
  const BenchmarkResult quiet_result = run_script(quiet, nullptr, &user_data);
  for (const Seen& call : quiet.calls) EXPECT_TRUE(call.callback == nullptr && call.user == nullptr);
  EXPECT_EQ(std::memcmp(&quiet_result, &result, sizeof result), 0);
}

TEST(BenchAdapter, AddsOffsetAndPassesTheRestThrough) {
  const int32_t cases[][3] = {{1, 0, 1},       {19, 76, 95}, {0, -5, -5}, {INT32_MAX, 1, INT32_MIN},
                              {INT32_MIN, -1, INT32_MAX},    {-1, INT32_MIN, INT32_MAX}, {INT32_MAX, INT32_MAX, -2}};
  for (const auto& c : cases) {  // step, offset, step passed on (wrapping at 32 bits)
    Recorder recorder;
    recorder.returns = c[2] ^ 0x5a5a;
    ProgressOffsetContext context{record_progress, &recorder, c[1]};
    EXPECT_EQ(progress_offset_adapter(c[0], 0xFFFFFFFFu, &context, 1.5, 123456.0), recorder.returns);
    ASSERT_EQ(recorder.seen.size(), 1u);
    EXPECT_EQ(recorder.seen[0].step, c[2]) << c[0] << " + " << c[1];  // the rest passes through: BenchProgress
  }
  ProgressOffsetContext empty{nullptr, nullptr, 3};
  EXPECT_EQ(progress_offset_adapter(1, 1, &empty, 0, 0), 0);
  EXPECT_EQ(progress_offset_adapter(1, 1, nullptr, 0, 0), 0);
}

}  // namespace
