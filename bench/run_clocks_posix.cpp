// The timer check's readings on Linux (and other POSIX systems).
#include <time.h>

#include "bench/run_clocks.h"

namespace {

double seconds_of(clockid_t clock) {
  timespec t{};
  if (clock_gettime(clock, &t) != 0) return -1;
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

}  // namespace

ClockMark read_clock_mark(bool whole_process) {
#ifdef CLOCK_MONOTONIC_RAW
  const double second = seconds_of(CLOCK_MONOTONIC_RAW);
#else
  const double second = -1;
#endif
  return {seconds_of(whole_process ? CLOCK_PROCESS_CPUTIME_ID : CLOCK_THREAD_CPUTIME_ID), second};
}
