// The timer check's readings on Windows: processor time from the thread's or
// process's kernel and user times, the second wall clock from the unbiased
// interrupt time (the timer interrupt's count, apart from the performance
// counter the benchmark clock reads). Both are in 100 ns units.
#include <windows.h>

#include "bench/run_clocks.h"

namespace {

double seconds_of(const FILETIME& t) {
  return 1e-7 * static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

}  // namespace

ClockMark read_clock_mark(bool whole_process) {
  FILETIME created{}, exited{}, kernel{}, user{};
  const BOOL got = whole_process ? GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)
                                 : GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  ULONGLONG interrupt = 0;
  const double second = QueryUnbiasedInterruptTime(&interrupt) ? 1e-7 * static_cast<double>(interrupt) : -1;
  return {got ? seconds_of(kernel) + seconds_of(user) : 0, second};
}
