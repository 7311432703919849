// The timer check's arithmetic and text; the readings are platform code.
#include "bench/run_clocks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

double clock_check_tolerance(double seconds) {
  // The floor covers the clocks' granularity over a short run: the benchmark
  // time is summed from up to 22 intervals of whole-millisecond readings
  // (up to 22 ms off), and on Windows the processor time and the interrupt
  // time advance by timer ticks of 15.625 ms (two ticks, 31.25 ms); 75 ms
  // holds both with room for the progress callbacks, whose time the readings
  // include and the benchmark time leaves out. 1 % covers longer runs, whose
  // callbacks and scheduling grow with them. Measured over 20 runs of
  // 8,388,608 digits (3.4 to 3.8 s each): natively the processor time never
  // exceeded the benchmark time and the second clock differed by at most
  // 1 ms (--parallel 2: the team's processor time stayed below twice the
  // time); under Wine x64 the processor time (10 ms steps there) was at most
  // 10 ms ahead and the second clock at most 1 ms off; under emulated Wine
  // ARM64 (20 runs of 262,144 digits, 6.4 to 6.8 s each) 7 ms and 2 ms. A
  // clock a few percent slow is caught on any run of a second or more.
  return std::max(0.01 * seconds, 0.075);
}

RunClocks check_run_clocks(const ClockMark& start, const ClockMark& end, double benchmark_seconds, int32_t parallel) {
  RunClocks c;
  c.checked = true;
  c.benchmark_seconds = benchmark_seconds;
  c.parallel = parallel;
  c.cpu_seconds = end.cpu_seconds - start.cpu_seconds;
  if (start.second_seconds >= 0 && end.second_seconds >= 0) c.second_seconds = end.second_seconds - start.second_seconds;
  c.tolerance = clock_check_tolerance(benchmark_seconds);
  const double team_seconds = benchmark_seconds * parallel;
  const bool cpu_ahead = c.cpu_seconds > team_seconds + clock_check_tolerance(team_seconds);
  const bool second_off = c.second_seconds >= 0 && std::fabs(c.second_seconds - benchmark_seconds) > c.tolerance;
  c.failed = cpu_ahead || second_off;
  return c;
}

std::string describe_run_clocks(const RunClocks& c) {
  char threads[32] = "";
  if (c.parallel > 1) std::snprintf(threads, sizeof threads, " on %d threads", static_cast<int>(c.parallel));
  char second[48] = "no second clock";
  if (c.second_seconds >= 0) std::snprintf(second, sizeof second, "second clock %.3f s", c.second_seconds);
  char text[200];
  std::snprintf(text, sizeof text, "benchmark clock %.3f s, processor time %.3f s%s, %s (tolerance %.3f s)",
                c.benchmark_seconds, c.cpu_seconds, threads, second, c.tolerance);
  return text;
}
