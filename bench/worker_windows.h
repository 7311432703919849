// The benchmark's worker thread and the progress records it posts to the
// main window (Windows only). The worker reads main_window and
// total_progress_steps, written before it is created, and owns
// last_posted_step while it runs; it talks back only by posted messages.
// Records crossing threads are allocated by the sender (malloc) and freed
// by the receiver (free); a sender whose post fails frees the record itself.
#ifndef MORLANT_BENCH_WORKER_WINDOWS_H
#define MORLANT_BENCH_WORKER_WINDOWS_H

#include <windows.h>

#include <cstdint>

#include "bench/benchmark.h"
#include "bench/verify.h"

constexpr UINT WM_APP_BENCH_DONE = WM_USER + 1;      // lParam: BenchmarkResult*, or 0 (see below)
constexpr UINT WM_APP_BENCH_PROGRESS = WM_USER + 2;  // lParam: ProgressUpdate*

// The heap record of WM_APP_BENCH_PROGRESS.
struct ProgressUpdate {
  int32_t step;     // benchmark-wide step, 1 ... 95
  uint32_t digits;  // digits so far, as the computation reported them
};

// The heap record handed to the worker thread; the worker frees it last.
struct WorkerStartInfo {
  HWND window;       // receiver of both messages
  int32_t digits;    // the benchmark: runs computations of digits digits
  int32_t runs;      // (the window's: BENCHMARK_RUNS of BENCHMARK_DIGITS)
  int32_t skew_run;  // test hook: run whose benchmark clock loses a second; 0 for none
};

// Globals of the window thread shared with the worker (defined by the application).
extern HWND main_window;
extern int32_t total_progress_steps;
extern int32_t last_posted_step;

// Posts every second step and the last one as WM_APP_BENCH_PROGRESS.
int32_t PostProgressCallback(int32_t step, uint32_t digits, void* user, double seconds, double clock);

// Thread procedure: runs the verified benchmark the start record asks for
// (run_verified_benchmark of bench/verify.h) and posts
// WM_APP_BENCH_DONE with the aggregated record. When that record cannot be
// allocated it still posts WM_APP_BENCH_DONE, with lParam 0, so the window
// learns that the benchmark ended, as a failure. Frees the start record;
// returns 0.
DWORD WINAPI BenchmarkThreadProc(LPVOID start_info);

#endif  // MORLANT_BENCH_WORKER_WINDOWS_H
