// Live progress of a benchmark on standard error: a bar redrawn in place on
// a terminal, throttled plain lines otherwise.
#ifndef MORLANT_CLI_PROGRESS_H
#define MORLANT_CLI_PROGRESS_H

#include <cstdint>
#include <cstdio>
#include <string>

// "12.3s" below a minute, "1:23" below an hour, "1:02:03" above.
std::string format_duration(double seconds);

// One progress line for benchmark-wide step `step` of `total` (clamped to
// 0 ... total), the digits-so-far estimate of the running computation and the
// seconds since the benchmark started. With `bar` the line starts with a
// 16-cell bar (for a terminal); without, it reads "step k/N ...". The time
// left is extrapolated from the elapsed time per step.
std::string format_progress(int32_t step, int32_t total, uint32_t digits, double elapsed_seconds, bool bar);

// The stress test's progress line: runs done, errors (0, or 1 once the
// first has stopped the test), time elapsed and the last run's time.
std::string format_stress_progress(int64_t runs, int32_t threads, bool error, double elapsed_seconds,
                                   double last_run_seconds);

// Not thread-safe: a program whose threads report progress serialises its
// calls (morlant-cli holds one lock around every call).
class ProgressWriter {
 public:
  // Writes to `out`; `terminal` chooses the redrawn bar. The digits shown are
  // capped at digit_cap (the estimate of the last iteration may overshoot
  // the digits asked for). start_ms is the morlant_clock_ms reading at which
  // the benchmark started. A quiet writer writes nothing.
  ProgressWriter(std::FILE* out, bool terminal, bool quiet, int32_t total_steps, uint32_t digit_cap, double start_ms);

  // A progress step. On a terminal the bar is redrawn at most every 100 ms
  // (and always for the first and last step); otherwise a line is written
  // for the first and last step and at most once a second in between.
  void step(int32_t step, uint32_t digits, double clock_ms);

  // A ready-made progress text, shown like a step: throttled, redrawn in
  // place on a terminal; `edge` forces it out (first and last).
  void status(const std::string& text, double clock_ms, bool edge);

  // A whole line of its own (a run's outcome, a verification failure), put
  // above the bar. A quiet writer writes it only when `always` is set.
  void line(const std::string& text, bool always = false);

  // Ends the bar's line; call before anything else is written to the stream.
  void finish();

  // ProgressCallback whose user data is a ProgressWriter.
  static int32_t callback(int32_t step, uint32_t digits, void* user, double seconds, double clock_ms);

 private:
  void clear_bar();

  std::FILE* out_;
  bool terminal_;
  bool quiet_;
  int32_t total_;
  uint32_t digit_cap_;
  double start_ms_;
  double last_ms_ = -1e300;    // clock of the last output
  std::size_t bar_width_ = 0;  // characters of the bar on screen; 0 when none is shown
};

#endif  // MORLANT_CLI_PROGRESS_H
