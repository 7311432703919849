// Text and JSON reports.
#include "cli/report.h"

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

// Length of the valid UTF-8 sequence at s[i], or 0 when it is not one.
std::size_t utf8_sequence(std::string_view s, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = byte(i);
  std::size_t len;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (c >= 0xC2 && c <= 0xDF)
    len = 2;
  else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    if (c == 0xE0) lo = 0xA0;  // no overlong forms
    if (c == 0xED) hi = 0x9F;  // no surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (i + len > s.size() || byte(i + 1) < lo || byte(i + 1) > hi) return 0;
  for (std::size_t k = 2; k < len; ++k)
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  return len;
}

std::string verified_json(RunVerification v) {
  return v == RunVerification::kNotChecked ? "null" : v == RunVerification::kPassed ? "true" : "false";
}

// The first failed aggregate: the single thread's, or the first thread's
// of several that failed as a whole; null when none did.
const BenchmarkResult* failed_aggregate(const BenchmarkReport& report) {
  if (report.threads.empty()) return report.aggregate.status == 0 ? &report.aggregate : nullptr;
  for (const ThreadReport& t : report.threads)
    if (t.aggregate.status == 0) return &t.aggregate;
  return nullptr;
}

std::string aggregate_status(const BenchmarkReport& report) {
  if (const BenchmarkResult* failed = failed_aggregate(report)) return std::string("failed: ") + failed->message;
  return report_succeeded(report) ? "ok" : "verify-failed";
}

bool any_wrong(const std::vector<RunReport>& runs) {
  for (const RunReport& run : runs)
    if (run.verification == RunVerification::kFailed) return true;
  return false;
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

std::string runs_json(const std::vector<RunReport>& runs, const char* indent) {
  std::string j = "[";
  for (std::size_t k = 0; k < runs.size(); ++k) {
    const RunReport& run = runs[k];
    j += k == 0 ? "\n" : ",\n";
    j += std::string(indent) + "  {\"run\": " + std::to_string(k + 1) + ", \"status\": " + json_quote(run_status(run)) +
         ", \"seconds\": " + json_number(run.result.seconds) + ", \"score\": " + json_number(run.result.score) +
         ", \"digits\": " + std::to_string(run.result.digits) + ", \"verified\": " + verified_json(run.verification) +
         "}";
  }
  return j + (runs.empty() ? "]" : "\n" + std::string(indent) + "]");
}

}  // namespace

std::string run_status(const RunReport& run) {
  if (run.verification == RunVerification::kFailed) return "verify-failed";
  if (run.result.status == 0) return std::string("failed: ") + run.result.message;
  return "ok";
}

bool report_succeeded(const BenchmarkReport& report) {
  if (failed_aggregate(report) != nullptr || any_wrong(report.runs)) return false;
  for (const ThreadReport& t : report.threads)
    if (any_wrong(t.runs)) return false;
  return true;
}

double report_throughput(const BenchmarkReport& report) {
  double sum = 0;
  for (const ThreadReport& t : report.threads)
    if (t.aggregate.status != 0) sum += t.aggregate.score;
  return sum;
}

std::string json_quote(std::string_view s) {
  std::string out = "\"";
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0x80) {
      const std::size_t len = utf8_sequence(s, i);
      if (len == 0) {
        out += "\\ufffd";
        ++i;
      } else {
        out.append(s.substr(i, len));
        i += len;
      }
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (c < 0x20)
          out += printf_text("\\u%04x", c);
        else
          out += static_cast<char>(c);
    }
    ++i;
  }
  return out + "\"";
}

std::string json_number(double value) {
  if (!std::isfinite(value)) return "null";
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

namespace {

std::string system_json(const SystemInfo& s) {
  std::string j = "{\n";
  j += "    \"cpu\": " + json_quote(s.cpu_name) + ",\n";
  j += "    \"physical_cores\": " + std::to_string(s.physical_cores) + ",\n";
  j += "    \"logical_processors\": " + std::to_string(s.logical_processors) + ",\n";
  j += "    \"cpu_mhz\": " + std::to_string(s.cpu_mhz) + ",\n";
  j += "    \"memory_mb\": " + std::to_string(s.total_memory_mb) + ",\n";
  j += "    \"os_name\": " + json_quote(s.os_name) + ",\n";
  j += "    \"os_version\": " + json_quote(s.os_version) + ",\n";
  j += "    \"architecture\": " + json_quote(s.architecture) + "\n";
  return j + "  }";
}

}  // namespace

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
    text += row("Score:", has_result ? printf_text("%.0f", report.aggregate.score) : "--");
    text += row("Time:", has_result ? printf_text("%.3f sec", report.aggregate.seconds) : "--");
  }
  if (!has_result)
    text += row("Result:", aggregate_status(report));
  else if (!report_succeeded(report))
    text += row("Result:", "not valid: wrong digits in a run (it is not counted)");
  return text;
}

std::string format_report_json(const BenchmarkReport& report) {
  const BenchmarkResult& a = report.aggregate;
  const bool multi = !report.threads.empty();
  std::string j = "{\n";
  j += "  \"version\": " + json_quote(report.version) + ",\n";
  j += std::string("  \"custom\": ") + (report.custom ? "true" : "false") + ",\n";
  j += "  \"digits_requested\": " + std::to_string(report.digits_requested) + ",\n";
  j += "  \"digits_computed\": " + std::to_string(report.digits_computed) + ",\n";
  j += "  \"runs_requested\": " + std::to_string(report.runs_requested) + ",\n";
  j += "  \"digits\": " + std::to_string(a.digits) + ",\n";
  j += "  \"guaranteed_digits\": " + std::to_string(report.guaranteed_digits) + ",\n";
  j += "  \"radix\": " + std::to_string(report.radix) + ",\n";
  j += std::string("  \"verify\": ") + (report.verify ? "true" : "false") + ",\n";
  j += "  \"status\": " + json_quote(aggregate_status(report)) + ",\n";
  if (multi) {
    // The single-thread figures would invite a comparison they do not bear.
    j += "  \"seconds\": null,\n  \"score\": null,\n";
    j += "  \"throughput_score\": " + json_number(report_throughput(report)) + ",\n";
    j += "  \"threads\": [";
    for (std::size_t t = 0; t < report.threads.size(); ++t) {
      const ThreadReport& thread = report.threads[t];
      const std::string status = thread.aggregate.status == 0 ? std::string("failed: ") + thread.aggregate.message
                                 : any_wrong(thread.runs)       ? "verify-failed"
                                                                : "ok";
      j += t == 0 ? "\n" : ",\n";
      j += "    {\"thread\": " + std::to_string(t + 1) + ", \"status\": " + json_quote(status) +
           ", \"seconds\": " + json_number(thread.aggregate.seconds) +
           ", \"score\": " + json_number(thread.aggregate.score) + ", \"runs\": " + runs_json(thread.runs, "    ") + "}";
    }
    j += "\n  ],\n";
  } else {
    j += "  \"seconds\": " + json_number(a.seconds) + ",\n";
    j += "  \"score\": " + json_number(a.score) + ",\n";
    j += "  \"runs\": " + runs_json(report.runs, "  ") + ",\n";
  }
  j += "  \"system\": " + system_json(report.system) + "\n}\n";
  return j;
}

int stress_exit_status(const StressReport& report) {
  if (report.error) return 1;
  return report.interrupted && report.duration_seconds > 0 ? 130 : 0;
}

std::string stress_result(const StressReport& report) {
  if (report.error) return "error: " + report.error_what;
  return report.interrupted && report.duration_seconds > 0 ? "interrupted" : "ok";
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
  text += row("Stress test:", printf_text("%d digits a run on %d thread%s, %s", report.digits_requested,
                                          report.threads, report.threads == 1 ? "" : "s", until.c_str()));
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
  else if (report.interrupted && report.duration_seconds > 0)
    text += row("Result:", "interrupted, no error found");
  else
    text += row("Result:", "no error found");
  return text;
}

std::string format_stress_json(const StressReport& report) {
  std::string j = "{\n";
  j += "  \"version\": " + json_quote(report.version) + ",\n";
  j += "  \"mode\": \"stress\",\n";
  j += "  \"digits_requested\": " + std::to_string(report.digits_requested) + ",\n";
  j += "  \"digits_computed\": " + std::to_string(report.digits_computed) + ",\n";
  j += "  \"stress\": {\n";
  j += "    \"threads\": " + std::to_string(report.threads) + ",\n";
  j += "    \"duration_seconds\": " +
       (report.duration_seconds > 0 ? std::to_string(report.duration_seconds) : std::string("null")) + ",\n";
  j += "    \"runs\": " + std::to_string(report.run_seconds.size()) + ",\n";
  j += "    \"runs_per_thread\": [";
  for (std::size_t t = 0; t < report.runs_per_thread.size(); ++t)
    j += (t == 0 ? "" : ", ") + std::to_string(report.runs_per_thread[t]);
  j += "],\n";
  j += "    \"seconds\": " + json_number(report.seconds) + ",\n";
  if (report.run_seconds.empty()) {
    j += "    \"run_seconds\": null,\n";
  } else {
    const auto [lo, hi] = std::minmax_element(report.run_seconds.begin(), report.run_seconds.end());
    j += "    \"run_seconds\": {\"min\": " + json_number(*lo) + ", \"median\": " +
         json_number(median_seconds(report.run_seconds)) + ", \"max\": " + json_number(*hi) + "},\n";
  }
  j += std::string("    \"interrupted\": ") + (report.interrupted ? "true" : "false") + ",\n";
  j += "    \"result\": " + json_quote(stress_result(report)) + ",\n";
  if (report.error) {
    j += "    \"error\": {\"run\": " + std::to_string(report.error_run) +
         ", \"thread\": " + std::to_string(report.error_thread) + ", \"elapsed_seconds\": " +
         json_number(report.error_elapsed) + ", \"time_of_day\": " + json_quote(report.error_time_of_day) +
         ", \"what\": " + json_quote(report.error_what) + "}\n";
  } else {
    j += "    \"error\": null\n";
  }
  j += "  },\n";
  j += "  \"system\": " + system_json(report.system) + "\n}\n";
  return j;
}
