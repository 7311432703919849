// The outcome of a morlant-cli benchmark as text or as a JSON document.
#ifndef MORLANT_CLI_REPORT_H
#define MORLANT_CLI_REPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "bench/run_clocks.h"
#include "bench/verify.h"
#include "bignum/compute_pi.h"
#include "sysinfo/system_info.h"

struct RunReport {
  BenchmarkResult result;  // the run's own record
  RunVerification verification = RunVerification::kNotChecked;
  RunClocks clocks;  // its timer check
};

// One thread's plan when several run at once.
struct ThreadReport {
  BenchmarkResult aggregate{};  // the thread's own total seconds and mean score
  std::vector<RunReport> runs;
};

struct BenchmarkReport {
  std::string version;  // program version, e.g. "1.0.0"
  int32_t digits_requested = 0;
  int32_t digits_computed = 0;  // asked of each computation; above digits_requested for --output
  int32_t runs_requested = 0;
  bool custom = false;          // not the standard workload
  bool verify = false;          // runs were checked (not --no-verify)
  int32_t parallel = 1;         // threads sharing each computation; above 1 the score is not comparable
  // One thread: the runner's aggregate and its runs. Several: the first
  // thread's, and every thread's (the first included) in `threads`.
  BenchmarkResult aggregate{};
  std::vector<RunReport> runs;
  std::vector<ThreadReport> threads;  // empty for a single thread
  int32_t radix = 0;               // radix of the last successful run; 0 when none
  uint32_t guaranteed_digits = 0;  // guaranteed digits of the last successful run
  SystemInfo system{};
};

// "ok", "failed: <message>" or "verify-failed" (a run whose digits were
// wrong is a failed run that carries its verification verdict).
std::string run_status(const RunReport& run);

// True when the benchmark (every thread's, for several) succeeded and no run
// failed its verification or its timer check.
bool report_succeeded(const BenchmarkReport& report);

// Sum of the threads' scores (their successful runs' means): the
// multi-thread throughput. 0 without threads.
double report_throughput(const BenchmarkReport& report);

// The machine facts as label/value rows ("CPU:", "Cores:", "Frequency:" when
// known, "Memory:", "OS:", "Architecture:").
std::string format_system_text(const SystemInfo& info);

// The full text report: machine facts, workload, each run, score and time.
std::string format_report_text(const BenchmarkReport& report);

// The JSON document (ends with a newline).
std::string format_report_json(const BenchmarkReport& report);

// The outcome of a stress test.
struct StressReport {
  std::string version;
  int32_t digits_requested = 0;
  int32_t digits_computed = 0;   // digits per word x transform length of the runs
  int32_t threads = 1;
  int32_t parallel = 1;          // threads sharing each computation
  int64_t duration_seconds = 0;  // asked for; 0: until interrupted
  double seconds = 0;            // how long it ran
  std::vector<double> run_seconds;        // every completed run's time, in completion order
  std::vector<int64_t> runs_per_thread;   // completed runs of each thread
  bool interrupted = false;      // ended by Ctrl+C
  bool error = false;            // a run failed or gave a wrong digit
  // The first error: run number (of its thread), thread (1-based), seconds
  // since the start, local time of day ("HH:MM:SS") and what failed.
  int64_t error_run = 0;
  int32_t error_thread = 0;
  double error_elapsed = 0;
  std::string error_time_of_day;
  std::string error_what;
  SystemInfo system{};
};

// The exit status of a stress test: 1 after an error; else 130 when Ctrl+C
// cut a test with a duration short; else 0 (Ctrl+C is the normal end of a
// test without a duration).
int stress_exit_status(const StressReport& report);

// "ok", "error: <what>" or "interrupted".
std::string stress_result(const StressReport& report);

// The median of a set of times (the mean of the middle two for an even
// count); 0 for none.
double median_seconds(std::vector<double> seconds);

// The first error as one line: "run R on thread T after <elapsed> at
// HH:MM:SS: <what>".
std::string format_stress_error(const StressReport& report);

std::string format_stress_text(const StressReport& report);
std::string format_stress_json(const StressReport& report);

#endif  // MORLANT_CLI_REPORT_H
