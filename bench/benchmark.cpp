// The five-run benchmark: runs the computations one after another, folds
// their records into one and turns per-run iteration numbers into one
// benchmark-wide step sequence. Portable code: no windowing, no allocation,
// no global state.
#include "bench/benchmark.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr int32_t MAX_PLAN_RUNS = 100;

// a + b modulo 2^32. The sum is formed unsigned, where wrapping is defined;
// the conversion back is modular on every compiler the program builds with.
int32_t wrapping_add(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

}  // namespace

int32_t agm_iteration_count(int32_t digits) {
  if (digits < 1) return 0;
  // A computation of transform length 2^k runs k - 2 iterations; k is
  // clamped to 3 ... 22.
  int32_t k = 0;
  for (int32_t length = pi_transform_length(digits); length > 1; length >>= 1) ++k;
  return std::clamp(k, 3, 22) - 2;
}

int32_t progress_offset_adapter(int32_t step, uint32_t digits, void* context, double seconds, double clock) {
  const auto* offset = static_cast<const ProgressOffsetContext*>(context);
  if (offset == nullptr || offset->callback == nullptr) return 0;
  return offset->callback(wrapping_add(step, offset->step_offset), digits, offset->user_data, seconds, clock);
}

void run_benchmark_plan(const BenchmarkPlan* plan, BenchmarkResult* result, ProgressCallback callback, void* user) {
  if (result == nullptr) return;
  std::memset(result, 0, sizeof *result);
  if (plan == nullptr || plan->runs < 1 || plan->runs > MAX_PLAN_RUNS) {
    std::snprintf(result->message, sizeof result->message, "Invalid benchmark plan");
    return;
  }

  ProgressOffsetContext context{callback, user, 0};
  // Without a callback the computations report nothing and get no user data.
  const ProgressCallback run_callback = callback != nullptr ? progress_offset_adapter : nullptr;
  void* const run_user = callback != nullptr ? &context : nullptr;

  // One run record, zeroed before every run; only run 1's digit count is
  // needed after its run has been folded in.
  BenchmarkResult run;
  uint32_t first_run_digits = 0;
  double total_seconds = 0.0;
  double total_score = 0.0;
  int32_t successes = 0;

  for (int32_t k = 0; k < plan->runs; ++k) {
    std::memset(&run, 0, sizeof run);
    if (plan->compute != nullptr) {
      plan->compute(plan->digits, &run, run_callback, run_user, plan->compute_user);
    } else {
      compute_pi(plan->digits, &run, run_callback, run_user);
    }
    if (k == 0) first_run_digits = run.digits;
    if (plan->run_results != nullptr) plan->run_results[k] = run;

    // A failed run adds nothing and leaves the offset alone, so the next
    // run's steps repeat its numbers. The offset advances by the planned
    // step count whatever the run actually reported.
    if (run.status != 0) {
      total_seconds += run.seconds;
      total_score += run.score;
      ++successes;
      context.step_offset = wrapping_add(context.step_offset, plan->steps_per_run);
    }
  }

  if (successes == 0) {
    std::snprintf(result->message, sizeof result->message, "All %d benchmark runs failed",
                  static_cast<int>(plan->runs));
    return;
  }
  result->status = 1;
  result->digits = first_run_digits;
  result->seconds = total_seconds;                     // total time, not the mean
  result->score = std::round(total_score / successes);  // halves away from zero
}

void run_benchmark(BenchmarkResult* result, ProgressCallback callback, void* user) {
  const BenchmarkPlan plan{BENCHMARK_DIGITS, BENCHMARK_RUNS, STEPS_PER_RUN, nullptr, nullptr, nullptr};
  run_benchmark_plan(&plan, result, callback, user);
}
