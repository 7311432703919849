#include "bench/worker_windows.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/pi_reference.h"
#include "bignum/big_format.h"

namespace {

// What the checks of one benchmark share; on the worker's stack.
struct VerifiedRuns {
  int32_t corrupt_run;
  int32_t run;         // the run being computed, from 1
  int32_t failed_run;  // the first run whose digits failed, 0 while none
  bool checked;        // the current run's sink was called
  std::vector<char> digits;
};

// Called by the computation after its timed part: the value's guaranteed
// digits as text, checked against the reference.
void check_digits(const BigFloat* pi, int32_t n, int32_t R, void* user) {
  VerifiedRuns& runs = *static_cast<VerifiedRuns*>(user);
  runs.checked = true;
  const int32_t per_word = big_digits_per_word(R);
  const int32_t length = n - 2;  // the transform length
  bool ok = per_word >= 1 && length >= 2 && (length & (length - 1)) == 0;
  if (ok) {
    const uint32_t guaranteed =
        pi_guaranteed_digits(static_cast<uint32_t>(per_word) * static_cast<uint32_t>(length));
    if (runs.digits.size() < guaranteed) runs.digits.resize(guaranteed);
    const int64_t got = big_format_digits(n, R, pi, guaranteed, runs.digits.data());
    const uint64_t count = got > 0 ? static_cast<uint64_t>(got) : 0;
    if (runs.run == runs.corrupt_run && count > 0) {
      char& digit = runs.digits[count / 2];
      digit = digit == '9' ? '0' : static_cast<char>(digit + 1);
    }
    std::string why;
    ok = pi_verify_digits(length, per_word, runs.digits.data(), count, &why);
  }
  if (!ok && runs.failed_run == 0) runs.failed_run = runs.run;
}

// The plan's compute function: compute_pi with the check as its sink. A run
// that succeeded but whose digits failed, or were never handed over, is
// turned into a failed run.
void compute_verified(int32_t digits, BenchmarkResult* result, ProgressCallback callback, void* user,
                      void* compute_user) {
  VerifiedRuns& runs = *static_cast<VerifiedRuns*>(compute_user);
  ++runs.run;
  runs.checked = false;
  compute_pi_with_sink(digits, result, callback, user, check_digits, &runs);
  if (result->status == 0) return;
  if (!runs.checked && runs.failed_run == 0) runs.failed_run = runs.run;
  if (runs.failed_run != runs.run) return;
  result->status = 0;
  std::snprintf(result->message, sizeof result->message, "Run %d: the digits differ from the reference",
                static_cast<int>(runs.run));
}

}  // namespace

int32_t PostProgressCallback(int32_t step, uint32_t digits, void* /*user*/, double /*seconds*/, double /*clock*/) {
  // The throttle comes before the allocation: a skipped step costs nothing.
  // The difference wraps like the 32-bit step numbers themselves.
  const int32_t since_last = static_cast<int32_t>(static_cast<uint32_t>(step) - static_cast<uint32_t>(last_posted_step));
  if (step != total_progress_steps && since_last < 2) return 0;
  last_posted_step = step;

  auto* update = static_cast<ProgressUpdate*>(std::malloc(sizeof(ProgressUpdate)));
  if (update == nullptr) return 0;
  update->step = step;
  update->digits = digits;
  if (!PostMessageW(main_window, WM_APP_BENCH_PROGRESS, 0, reinterpret_cast<LPARAM>(update))) std::free(update);
  return 0;
}

void run_verified_benchmark(int32_t digits, int32_t runs, int32_t corrupt_run, BenchmarkResult* result,
                            ProgressCallback callback, void* user) {
  if (result == nullptr) return;
  VerifiedRuns checks{corrupt_run, 0, 0, false, {}};
  const BenchmarkPlan plan{digits, runs, agm_iteration_count(digits), compute_verified, &checks, nullptr};
  run_benchmark_plan(&plan, result, callback, user);
  if (checks.failed_run == 0) return;
  // Whatever the other runs gave, the benchmark has no score.
  result->status = 0;
  result->score = 0;
  std::snprintf(result->message, sizeof result->message, "Run %d of %d: the digits differ from the reference",
                static_cast<int>(checks.failed_run), static_cast<int>(runs));
}

DWORD WINAPI BenchmarkThreadProc(LPVOID start_info) {
  auto* start = static_cast<WorkerStartInfo*>(start_info);
  if (start == nullptr) return 0;  // nobody to report to

  auto* result = static_cast<BenchmarkResult*>(std::calloc(1, sizeof(BenchmarkResult)));
  if (result != nullptr)
    run_verified_benchmark(BENCHMARK_DIGITS, BENCHMARK_RUNS, 0, result, PostProgressCallback, nullptr);
  // A null record still tells the window that the benchmark is over (failed).
  if (!PostMessageW(start->window, WM_APP_BENCH_DONE, 0, reinterpret_cast<LPARAM>(result))) std::free(result);

  std::free(start);
  return 0;
}
