// Text and JSON reports.
#include "cli/report.h"

#include "cli/interrupt.h"
#include "cli/json.h"
#include "cli/progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kLabelWidth = 15;

std::string row(const char* label, const std::string& value) {
  char text[512];
  std::snprintf(text, sizeof text, "%-*s%s\n", kLabelWidth, label, value.c_str());
  return text;
}

template <typename... Args>
std::string printf_text(const char* format, Args... args) {
  char text[512];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

// How the computations of a run with --parallel above 1 ran.
std::string parallel_text(int32_t parallel) {
  return printf_text("parallel, %d threads per computation", static_cast<int>(parallel));
}

// Ctrl+C ended a stress test with a duration before its time (a test
// without one ends that way normally).
bool cut_short(const StressReport& report) { return report.interrupted && report.duration_seconds > 0; }

// The first failed aggregate: the single thread's, or the first thread's
// of several that failed as a whole; null when none did.
const BenchmarkResult* failed_aggregate(const BenchmarkReport& report) {
  if (report.threads.empty()) return report.aggregate.status == 0 ? &report.aggregate : nullptr;
  for (const ThreadReport& t : report.threads)
    if (t.aggregate.status == 0) return &t.aggregate;
  return nullptr;
}

// The status of runs one of which failed a check: "verify-failed" (wrong
// digits) before "timer-check-failed"; null when none did.
const char* failed_check(const std::vector<RunReport>& runs) {
  const char* status = nullptr;
  for (const RunReport& run : runs) {
    if (run.verification == RunVerification::kFailed) return "verify-failed";
    if (run.clocks.failed) status = "timer-check-failed";
  }
  return status;
}

// failed_check of the runs of the first thread (or of the only one) that has one.
const char* report_failed_check(const BenchmarkReport& report) {
  const char* status = failed_check(report.runs);
  for (const ThreadReport& t : report.threads)
    if (status == nullptr) status = failed_check(t.runs);
  return status;
}

std::string aggregate_status(const BenchmarkReport& report) {
  if (const BenchmarkResult* failed = failed_aggregate(report)) return std::string("failed: ") + failed->message;
  const char* check = report_failed_check(report);
  return check != nullptr ? check : "ok";
}

// One run's row value: its time and score, or why it does not count.
std::string run_text(const RunReport& run) {
  if (run.verification == RunVerification::kFailed)
    return std::string("FAILED verification, not counted: ") + run.result.message;
  if (run.result.status == 0) return run_status(run);
  std::string value = printf_text("%.3f sec, score %.0f", run.result.seconds, run.result.score);
  if (run.verification == RunVerification::kPassed) value += ", verified";
  return value;
}

void write_runs(JsonWriter& j, const std::vector<RunReport>& runs) {
  j.begin_array();
  for (std::size_t k = 0; k < runs.size(); ++k) {
    const RunReport& run = runs[k];
    j.begin_object(JsonWriter::Layout::kInline);
    j.key("run").integer(static_cast<int64_t>(k + 1)).key("status").string(run_status(run));
    j.key("seconds").number(run.result.seconds).key("score").number(run.result.score);
    j.key("digits").integer(run.result.digits).key("verified");
    if (run.verification == RunVerification::kNotChecked)
      j.null();
    else
      j.boolean(run.verification == RunVerification::kPassed);
    // The timer check's readings (null for a run that did not complete).
    j.key("processor_seconds");
    if (run.clocks.checked)
      j.number(run.clocks.cpu_seconds);
    else
      j.null();
    j.key("second_clock_seconds");
    if (run.clocks.checked && run.clocks.second_seconds >= 0)
      j.number(run.clocks.second_seconds);
    else
      j.null();
    j.end();
  }
  j.end();
}

void write_system(JsonWriter& j, const SystemInfo& s) {
  j.begin_object();
  j.key("cpu").string(s.cpu_name);
  j.key("physical_cores").integer(s.physical_cores);
  j.key("logical_processors").integer(s.logical_processors);
  j.key("cpu_mhz").integer(s.cpu_mhz);
  j.key("memory_mb").integer(s.total_memory_mb);
  j.key("os_name").string(s.os_name);
  j.key("os_version").string(s.os_version);
  j.key("architecture").string(s.architecture);
  j.end();
}

}  // namespace

std::string run_status(const RunReport& run) {
  if (run.verification == RunVerification::kFailed) return "verify-failed";
  if (run.result.status == 0) return std::string("failed: ") + run.result.message;
  return "ok";
}

bool report_succeeded(const BenchmarkReport& report) {
  return failed_aggregate(report) == nullptr && report_failed_check(report) == nullptr;
}

double report_throughput(const BenchmarkReport& report) {
  double sum = 0;
  for (const ThreadReport& t : report.threads)
    if (t.aggregate.status != 0) sum += t.aggregate.score;
  return sum;
}

std::string format_system_text(const SystemInfo& info) {
  std::string text = row("CPU:", info.cpu_name);
  text += row("Cores:", printf_text("%d cores (%d logical)", info.physical_cores, info.logical_processors));
  if (info.cpu_mhz > 0) text += row("Frequency:", printf_text("%d MHz", info.cpu_mhz));
  text += row("Memory:", printf_text("%lld MB", static_cast<long long>(info.total_memory_mb)));
  text += row("OS:", printf_text("%s %s", info.os_name, info.os_version));
  text += row("Architecture:", info.architecture);
  return text;
}

std::string format_report_text(const BenchmarkReport& report) {
  std::string text = format_system_text(report.system) + "\n";
  if (report.custom) {
    text += printf_text("Custom run: %d digits x %d runs - not comparable to the standard score\n",
                        report.digits_requested, report.runs_requested);
  } else {
    text += row("Workload:", printf_text("%d runs x %d digits (standard benchmark)", report.runs_requested,
                                         report.digits_requested));
  }
  if (report.digits_computed > report.digits_requested)
    text += row("Computed:", printf_text("%d digits a run, so that all %d digits written are correct",
                                         report.digits_computed, report.digits_requested));
  if (!report.verify) text += row("Verified:", "no (--no-verify)");
  if (report.parallel > 1) text += row("Threads:", parallel_text(report.parallel));
  const bool multi = !report.threads.empty();
  if (!multi) {
    for (std::size_t k = 0; k < report.runs.size(); ++k)
      text += row(printf_text("Run %d:", static_cast<int>(k + 1)).c_str(), run_text(report.runs[k]));
  } else {
    text += row("Threads:", printf_text("%d computations at once, each on its own thread",
                                        static_cast<int>(report.threads.size())));
    for (std::size_t t = 0; t < report.threads.size(); ++t) {
      const ThreadReport& thread = report.threads[t];
      text += row(printf_text("Thread %d:", static_cast<int>(t + 1)).c_str(),
                  thread.aggregate.status != 0
                      ? printf_text("%.3f sec, score %.0f", thread.aggregate.seconds, thread.aggregate.score)
                      : std::string("failed: ") + thread.aggregate.message);
      for (std::size_t k = 0; k < thread.runs.size(); ++k)
        text += row(printf_text("  Run %d:", static_cast<int>(k + 1)).c_str(), run_text(thread.runs[k]));
    }
  }
  const bool has_result = failed_aggregate(report) == nullptr;
  if (multi) {
    text += row("Throughput:", has_result ? printf_text("%.0f (multi-thread: the sum of the %d threads' scores, not "
                                                        "comparable to the single-thread score)",
                                                        report_throughput(report),
                                                        static_cast<int>(report.threads.size()))
                                          : "--");
  } else {
    std::string score = has_result ? printf_text("%.0f", report.aggregate.score) : "--";
    if (has_result && report.parallel > 1)
      score += " (parallel score not comparable with the standard single-thread score)";
    text += row("Score:", score);
    text += row("Time:", has_result ? printf_text("%.3f sec", report.aggregate.seconds) : "--");
  }
  if (!has_result)
    text += row("Result:", aggregate_status(report));
  else if (!report_succeeded(report))
    text += row("Result:", std::string("not valid: ") +
                               (report_failed_check(report) == std::string("verify-failed")
                                    ? "wrong digits in a run (it is not counted)"
                                    : "a run failed its timer check (it is not counted)"));
  return text;
}

std::string format_report_json(const BenchmarkReport& report) {
  const BenchmarkResult& a = report.aggregate;
  JsonWriter j;
  j.begin_object();
  j.key("version").string(report.version);
  j.key("custom").boolean(report.custom);
  j.key("digits_requested").integer(report.digits_requested);
  j.key("digits_computed").integer(report.digits_computed);
  j.key("runs_requested").integer(report.runs_requested);
  j.key("digits").integer(a.digits);
  j.key("guaranteed_digits").integer(report.guaranteed_digits);
  j.key("radix").integer(report.radix);
  j.key("verify").boolean(report.verify);
  j.key("parallel").integer(report.parallel);
  j.key("status").string(aggregate_status(report));
  if (!report.threads.empty()) {
    // The single-thread figures would invite a comparison they do not bear.
    j.key("seconds").null();
    j.key("score").null();
    j.key("throughput_score").number(report_throughput(report));
    j.key("threads").begin_array();
    for (std::size_t t = 0; t < report.threads.size(); ++t) {
      const ThreadReport& thread = report.threads[t];
      const std::string status = thread.aggregate.status == 0 ? std::string("failed: ") + thread.aggregate.message
                                 : failed_check(thread.runs) != nullptr ? failed_check(thread.runs)
                                                                        : "ok";
      j.begin_object(JsonWriter::Layout::kInline);
      j.key("thread").integer(static_cast<int64_t>(t + 1)).key("status").string(status);
      j.key("seconds").number(thread.aggregate.seconds).key("score").number(thread.aggregate.score);
      write_runs(j.key("runs"), thread.runs);
      j.end();
    }
    j.end();
  } else {
    j.key("seconds").number(a.seconds);
    j.key("score").number(a.score);
    write_runs(j.key("runs"), report.runs);
  }
  write_system(j.key("system"), report.system);
  j.end();
  return j.text() + "\n";
}

int stress_exit_status(const StressReport& report) {
  if (report.error) return 1;
  return cut_short(report) ? CLI_EXIT_INTERRUPTED : 0;
}

std::string stress_result(const StressReport& report) {
  if (report.error) return "error: " + report.error_what;
  return cut_short(report) ? "interrupted" : "ok";
}

double median_seconds(std::vector<double> seconds) {
  if (seconds.empty()) return 0;
  std::sort(seconds.begin(), seconds.end());
  const std::size_t mid = seconds.size() / 2;
  return seconds.size() % 2 != 0 ? seconds[mid] : (seconds[mid - 1] + seconds[mid]) / 2;
}

std::string format_stress_error(const StressReport& report) {
  return printf_text("run %lld on thread %d after %s at %s: ", static_cast<long long>(report.error_run),
                     report.error_thread, format_duration(report.error_elapsed).c_str(),
                     report.error_time_of_day.c_str()) +
         report.error_what;
}

std::string format_stress_text(const StressReport& report) {
  std::string text = format_system_text(report.system) + "\n";
  const std::string until = report.duration_seconds > 0 ? printf_text("for %llds", static_cast<long long>(report.duration_seconds))
                                                        : std::string("until interrupted");
  const std::string on =
      report.parallel > 1 ? ", " + parallel_text(report.parallel)
                          : printf_text(" on %d thread%s", report.threads, report.threads == 1 ? "" : "s");
  text += row("Stress test:", printf_text("%d digits a run%s, %s", report.digits_requested, on.c_str(), until.c_str()));
  if (report.digits_computed != report.digits_requested && report.digits_computed > 0)
    text += row("Computed:", printf_text("%d digits a run", report.digits_computed));
  std::string runs = std::to_string(report.run_seconds.size());
  if (report.runs_per_thread.size() > 1) {
    for (std::size_t t = 0; t < report.runs_per_thread.size(); ++t)
      runs += printf_text("%sthread %d: %lld", t == 0 ? " (" : ", ", static_cast<int>(t + 1),
                          static_cast<long long>(report.runs_per_thread[t]));
    runs += ")";
  }
  text += row("Runs:", runs);
  text += row("Elapsed:", format_duration(report.seconds));
  if (!report.run_seconds.empty()) {
    const auto [lo, hi] = std::minmax_element(report.run_seconds.begin(), report.run_seconds.end());
    text += row("Run times:", printf_text("min %.3f sec, median %.3f sec, max %.3f sec", *lo,
                                          median_seconds(report.run_seconds), *hi));
  }
  if (report.error)
    text += row("Result:", "ERROR in " + format_stress_error(report));
  else if (cut_short(report))
    text += row("Result:", "interrupted, no error found");
  else
    text += row("Result:", "no error found");
  return text;
}

std::string format_stress_json(const StressReport& report) {
  JsonWriter j;
  j.begin_object();
  j.key("version").string(report.version);
  j.key("mode").string("stress");
  j.key("digits_requested").integer(report.digits_requested);
  j.key("digits_computed").integer(report.digits_computed);
  j.key("parallel").integer(report.parallel);
  j.key("stress").begin_object();
  j.key("threads").integer(report.threads);
  if (report.duration_seconds > 0)
    j.key("duration_seconds").integer(report.duration_seconds);
  else
    j.key("duration_seconds").null();
  j.key("runs").integer(static_cast<int64_t>(report.run_seconds.size()));
  j.key("runs_per_thread").begin_array(JsonWriter::Layout::kInline);
  for (const int64_t runs : report.runs_per_thread) j.integer(runs);
  j.end();
  j.key("seconds").number(report.seconds);
  if (report.run_seconds.empty()) {
    j.key("run_seconds").null();
  } else {
    const auto [lo, hi] = std::minmax_element(report.run_seconds.begin(), report.run_seconds.end());
    j.key("run_seconds").begin_object(JsonWriter::Layout::kInline);
    j.key("min").number(*lo).key("median").number(median_seconds(report.run_seconds)).key("max").number(*hi);
    j.end();
  }
  j.key("interrupted").boolean(report.interrupted);
  j.key("result").string(stress_result(report));
  if (report.error) {
    j.key("error").begin_object(JsonWriter::Layout::kInline);
    j.key("run").integer(report.error_run).key("thread").integer(report.error_thread);
    j.key("elapsed_seconds").number(report.error_elapsed).key("time_of_day").string(report.error_time_of_day);
    j.key("what").string(report.error_what);
    j.end();
  } else {
    j.key("error").null();
  }
  j.end();
  write_system(j.key("system"), report.system);
  j.end();
  return j.text() + "\n";
}
