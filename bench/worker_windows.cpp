#include "bench/worker_windows.h"

#include <cstdlib>

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

DWORD WINAPI BenchmarkThreadProc(LPVOID start_info) {
  auto* start = static_cast<WorkerStartInfo*>(start_info);
  if (start == nullptr) return 0;  // nobody to report to

  auto* result = static_cast<BenchmarkResult*>(std::calloc(1, sizeof(BenchmarkResult)));
  if (result != nullptr)
    run_verified_benchmark(start->digits, start->runs, 0, start->skew_run, result, PostProgressCallback, nullptr);
  // A null record still tells the window that the benchmark is over (failed).
  if (!PostMessageW(start->window, WM_APP_BENCH_DONE, 0, reinterpret_cast<LPARAM>(result))) std::free(result);

  std::free(start);
  return 0;
}
