// The check of a run's benchmark time against two clocks independent of the
// benchmark clock (morlant_clock_ms): the processor time of the threads that
// computed, and a second wall clock from another source where the platform
// has one (Linux: CLOCK_MONOTONIC_RAW, not slewed by time synchronisation;
// Windows: the unbiased interrupt time, not the performance counter). A slow,
// tampered or drifting benchmark clock makes a run look fast; these readings
// catch it. Portable interface; the readings are platform code
// (run_clocks_posix.cpp, run_clocks_windows.cpp).
#ifndef MORLANT_BENCH_RUN_CLOCKS_H
#define MORLANT_BENCH_RUN_CLOCKS_H

#include <cstdint>
#include <string>

// Both clocks read at one instant, in seconds from arbitrary origins.
struct ClockMark {
  double cpu_seconds;     // processor time: the calling thread's, or the whole process's
  double second_seconds;  // the second wall clock; negative where the platform has none
};

// Reads both clocks. whole_process: the process's processor time (every
// thread's), for a computation shared by a team of threads while no other
// computation runs; otherwise the calling thread's own.
ClockMark read_clock_mark(bool whole_process);

// One run's readings beside its benchmark time, and the verdict.
struct RunClocks {
  bool checked = false;          // the run completed and was checked
  double benchmark_seconds = 0;  // the run's time by the benchmark clock
  double cpu_seconds = 0;        // processor time of its threads over the same part
  double second_seconds = -1;    // the second wall clock over it; negative: none
  int32_t parallel = 1;          // threads that shared the computation
  double tolerance = 0;          // seconds allowed either way (clock_check_tolerance)
  bool failed = false;           // the benchmark time does not stand
};

// Seconds two readings of an interval of `seconds` may differ by.
double clock_check_tolerance(double seconds);

// Judges a run's benchmark time against the marks taken at the start and the
// end of its timed part. It fails when the processor time exceeds parallel x
// the benchmark time by more than the tolerance (a computing thread cannot
// run longer than the wall time; less is waiting and normal), or when the
// second wall clock differs from it either way by more than the tolerance.
RunClocks check_run_clocks(const ClockMark& start, const ClockMark& end, double benchmark_seconds, int32_t parallel);

// "benchmark clock 0.512 s, processor time 1.020 s, second clock 1.019 s
// (tolerance 0.075 s)"; "processor time 4.010 s on 4 threads" when shared,
// "no second clock" where there is none.
std::string describe_run_clocks(const RunClocks& clocks);

#endif  // MORLANT_BENCH_RUN_CLOCKS_H
