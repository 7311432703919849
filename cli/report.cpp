// Text and JSON reports.
#include "cli/report.h"

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

std::string aggregate_status(const BenchmarkReport& report) {
  if (report.aggregate.status == 0) return std::string("failed: ") + report.aggregate.message;
  return report_succeeded(report) ? "ok" : "verify-failed";
}

}  // namespace

std::string run_status(const RunReport& run) {
  if (run.result.status == 0) return std::string("failed: ") + run.result.message;
  return run.verification == RunVerification::kFailed ? "verify-failed" : "ok";
}

bool report_succeeded(const BenchmarkReport& report) {
  if (report.aggregate.status == 0) return false;
  for (const RunReport& run : report.runs)
    if (run.verification == RunVerification::kFailed) return false;
  return true;
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
  for (std::size_t k = 0; k < report.runs.size(); ++k) {
    const RunReport& run = report.runs[k];
    std::string value = run.result.status == 0
                            ? run_status(run)
                            : printf_text("%.3f sec, score %.0f", run.result.seconds, run.result.score);
    if (run.verification == RunVerification::kPassed) value += ", verified";
    if (run.verification == RunVerification::kFailed) value += ", verification FAILED";
    text += row(printf_text("Run %d:", static_cast<int>(k + 1)).c_str(), value);
  }
  const bool has_result = report.aggregate.status != 0;
  text += row("Score:", has_result ? printf_text("%.0f", report.aggregate.score) : "--");
  text += row("Time:", has_result ? printf_text("%.3f sec", report.aggregate.seconds) : "--");
  if (!has_result)
    text += row("Result:", aggregate_status(report));
  else if (!report_succeeded(report))
    text += row("Result:", "not valid: a run failed its verification");
  return text;
}

std::string format_report_json(const BenchmarkReport& report) {
  const BenchmarkResult& a = report.aggregate;
  std::string j = "{\n";
  j += "  \"version\": " + json_quote(report.version) + ",\n";
  j += std::string("  \"custom\": ") + (report.custom ? "true" : "false") + ",\n";
  j += "  \"digits_requested\": " + std::to_string(report.digits_requested) + ",\n";
  j += "  \"runs_requested\": " + std::to_string(report.runs_requested) + ",\n";
  j += "  \"digits\": " + std::to_string(a.digits) + ",\n";
  j += "  \"guaranteed_digits\": " + std::to_string(report.guaranteed_digits) + ",\n";
  j += "  \"radix\": " + std::to_string(report.radix) + ",\n";
  j += std::string("  \"verify\": ") + (report.verify ? "true" : "false") + ",\n";
  j += "  \"status\": " + json_quote(aggregate_status(report)) + ",\n";
  j += "  \"seconds\": " + json_number(a.seconds) + ",\n";
  j += "  \"score\": " + json_number(a.score) + ",\n";
  j += "  \"runs\": [";
  for (std::size_t k = 0; k < report.runs.size(); ++k) {
    const RunReport& run = report.runs[k];
    j += k == 0 ? "\n" : ",\n";
    j += "    {\"run\": " + std::to_string(k + 1) + ", \"status\": " + json_quote(run_status(run)) +
         ", \"seconds\": " + json_number(run.result.seconds) + ", \"score\": " + json_number(run.result.score) +
         ", \"digits\": " + std::to_string(run.result.digits) + ", \"verified\": " + verified_json(run.verification) +
         "}";
  }
  j += report.runs.empty() ? "],\n" : "\n  ],\n";
  const SystemInfo& s = report.system;
  j += "  \"system\": {\n";
  j += "    \"cpu\": " + json_quote(s.cpu_name) + ",\n";
  j += "    \"physical_cores\": " + std::to_string(s.physical_cores) + ",\n";
  j += "    \"logical_processors\": " + std::to_string(s.logical_processors) + ",\n";
  j += "    \"cpu_mhz\": " + std::to_string(s.cpu_mhz) + ",\n";
  j += "    \"memory_mb\": " + std::to_string(s.total_memory_mb) + ",\n";
  j += "    \"os_name\": " + json_quote(s.os_name) + ",\n";
  j += "    \"os_version\": " + json_quote(s.os_version) + ",\n";
  j += "    \"architecture\": " + json_quote(s.architecture) + "\n";
  j += "  }\n}\n";
  return j;
}
