// The outcome of a morlant-cli benchmark as text or as a JSON document.
#ifndef MORLANT_CLI_REPORT_H
#define MORLANT_CLI_REPORT_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bignum/compute_pi.h"
#include "sysinfo/system_info.h"

enum class RunVerification { kNotChecked, kPassed, kFailed };

struct RunReport {
  BenchmarkResult result;  // the run's own record
  RunVerification verification = RunVerification::kNotChecked;
};

struct BenchmarkReport {
  std::string version;  // program version, e.g. "1.0.0"
  int32_t digits_requested = 0;
  int32_t runs_requested = 0;
  bool custom = false;          // not the standard workload
  bool verify = false;          // --verify was given
  BenchmarkResult aggregate{};  // as the runner folded it
  std::vector<RunReport> runs;
  int32_t radix = 0;               // radix of the last successful run; 0 when none
  uint32_t guaranteed_digits = 0;  // guaranteed digits of the last successful run
  SystemInfo system{};
};

// "ok", "failed: <message>" or "verify-failed".
std::string run_status(const RunReport& run);

// True when the benchmark succeeded and no run failed its verification.
bool report_succeeded(const BenchmarkReport& report);

// s as a JSON string literal, quotes included: '"', '\\' and control bytes
// escaped, invalid UTF-8 replaced by U+FFFD so the document stays valid.
std::string json_quote(std::string_view s);

// A double as a JSON number with 15 significant digits, trailing zeros
// dropped (the sums of millisecond times print as 17.612, not as
// 17.612000000000005); null for infinities and NaN.
std::string json_number(double value);

// The machine facts as label/value rows ("CPU:", "Cores:", "Frequency:" when
// known, "Memory:", "OS:", "Architecture:").
std::string format_system_text(const SystemInfo& info);

// The full text report: machine facts, workload, each run, score and time.
std::string format_report_text(const BenchmarkReport& report);

// The JSON document (ends with a newline).
std::string format_report_json(const BenchmarkReport& report);

#endif  // MORLANT_CLI_REPORT_H
