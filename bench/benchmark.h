// The five-run benchmark and its benchmark-wide progress steps.
//
// Plain computation code: no windowing. The worker thread and the posting of
// progress to the window live beside it in the Windows program.
#ifndef MORLANT_BENCH_BENCHMARK_H
#define MORLANT_BENCH_BENCHMARK_H

#include <cstdint>

#include "bignum/compute_pi.h"

constexpr int32_t BENCHMARK_DIGITS = 8388608;  // 2^23 digits asked of every run
constexpr int32_t BENCHMARK_RUNS = 5;          // computations per benchmark
constexpr int32_t STEPS_PER_RUN = 19;          // progress steps of one run at BENCHMARK_DIGITS

// Steps already reported by earlier successful runs, added to every step of
// the current run. Lives on the runner's stack for one call.
struct ProgressOffsetContext {
  ProgressCallback callback;
  void* user_data;
  int32_t step_offset;
};

// Progress steps one computation of `digits` digits reports: 0 for digits < 1,
// else log2 of its transform length (pi_transform_length) clamped to 3 ... 22,
// minus 2 (1 ... 20).
int32_t agm_iteration_count(int32_t digits);

// Runs BENCHMARK_RUNS computations of BENCHMARK_DIGITS digits and folds them
// into *result: total seconds and mean score (rounded half away from zero)
// of the successful runs. Nothing happens without a result record.
void run_benchmark(BenchmarkResult* result, ProgressCallback callback, void* user);

// A ProgressCallback whose user data is a ProgressOffsetContext: passes every
// argument on to the context's callback, the step plus step_offset (wrapping
// at 32 bits), and returns the callback's result. Returns 0 without calling
// anything when the context or its callback is null.
int32_t progress_offset_adapter(int32_t step, uint32_t digits, void* context, double seconds, double clock);

// One computation of a benchmark: compute_pi's contract plus a pointer of
// the plan's own (compute_user).
typedef void (*ComputeFunction)(int32_t digits, BenchmarkResult* result, ProgressCallback callback, void* user,
                                void* compute_user);

// A benchmark's workload. run_benchmark is the plan {BENCHMARK_DIGITS,
// BENCHMARK_RUNS, STEPS_PER_RUN, null compute (compute_pi), no run_results}.
struct BenchmarkPlan {
  int32_t digits;               // digits asked of every run
  int32_t runs;                 // 1 ... 100
  int32_t steps_per_run;        // step_offset advance per successful run
  ComputeFunction compute;      // null: compute_pi
  void* compute_user;           // handed to compute
  BenchmarkResult* run_results; // optional: receives each run's record (runs records)
};

// Runs a plan and aggregates as run_benchmark does. When every run fails the
// message is "All N benchmark runs failed" with N the plan's run count. A
// null plan or a run count outside 1 ... 100 runs nothing and leaves status 0
// with the message "Invalid benchmark plan". Nothing happens without a
// result record. Without a callback, compute gets neither a callback nor
// user data; compute_user is passed either way.
void run_benchmark_plan(const BenchmarkPlan* plan, BenchmarkResult* result, ProgressCallback callback, void* user);

#endif  // MORLANT_BENCH_BENCHMARK_H
