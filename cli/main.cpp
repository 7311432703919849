// morlant-cli: the benchmark without a window. Runs the plan the command line
// asks for with progress on stderr, optionally checks and writes the digits,
// and reports the machine facts and the result as text or JSON on stdout.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/benchmark.h"
#include "bignum/big_format.h"
#include "bignum/compute_pi.h"
#include "cli/options.h"
#include "bench/pi_reference.h"
#include "cli/progress.h"
#include "cli/report.h"
#include "cli/terminal.h"
#include "sysinfo/system_info.h"

#ifndef MORLANT_VERSION
#define MORLANT_VERSION "unknown"
#endif

namespace {

// State of one program run shared by the compute function and the sink.
struct CliRun {
  const CliOptions* options;
  ProgressWriter* progress;
  int32_t run = 0;          // 1-based number of the run in progress
  int32_t corrupt_run = 0;  // test hook, see corrupt_run_from_environment
  std::vector<RunVerification> verification;
  std::vector<char> digits;  // digit buffer, allocated by the first sink call
  uint64_t digit_count = 0;  // digits of the last successful run in the buffer
  int32_t digits_run = 0;    // the run they belong to
  int32_t radix = 0;
  uint32_t guaranteed = 0;
};

// Test hook: MORLANT_CLI_CORRUPT_DIGIT=K changes one digit of run K's digits
// after the computation, before they are verified or written, so that the
// tests can see --verify catch a wrong result. Not part of the interface.
int32_t corrupt_run_from_environment() {
  const char* value = std::getenv("MORLANT_CLI_CORRUPT_DIGIT");
  if (value == nullptr) return 0;
  const long k = std::strtol(value, nullptr, 10);
  return k > 0 && k <= CLI_MAX_RUNS ? static_cast<int32_t>(k) : 0;
}

int32_t floor_log2(int32_t v) {
  int32_t lg = 0;
  while ((int32_t{1} << (lg + 1)) <= v) ++lg;
  return lg;
}

// Receives each successful run's value of pi after its timed part: records
// the radix and the guaranteed digit count, and formats, verifies and keeps
// the digits when --verify or --output asks for them.
void digit_sink(const BigFloat* pi, int32_t n, int32_t R, void* user) {
  CliRun& ctx = *static_cast<CliRun*>(user);
  const int32_t per_word = big_digits_per_word(R);
  const int32_t length = n - 2;  // the transform length
  const int32_t lg = floor_log2(length);
  const uint32_t guaranteed = pi_guaranteed_digits(static_cast<uint32_t>(per_word) * static_cast<uint32_t>(length));
  ctx.radix = R;
  ctx.guaranteed = guaranteed;
  const bool verify = ctx.options->verify;
  if (!verify && ctx.options->output.empty()) return;

  // Every run of a plan has the same size, so the buffer is allocated once.
  const uint64_t wanted =
      verify ? guaranteed : std::min<uint64_t>(guaranteed, static_cast<uint64_t>(ctx.options->digits));
  if (ctx.digits.size() < wanted) ctx.digits.resize(wanted);
  const int64_t got = big_format_digits(n, R, pi, static_cast<int64_t>(wanted), ctx.digits.data());
  ctx.digit_count = got > 0 ? static_cast<uint64_t>(got) : 0;
  ctx.digits_run = ctx.run;
  if (ctx.corrupt_run == ctx.run && ctx.digit_count > 0) {
    char& d = ctx.digits[ctx.digit_count / 2];
    d = d == '9' ? '0' : static_cast<char>(d + 1);
  }
  if (!verify) return;

  std::string why;
  bool ok;
  if (length < 2 || (length & (length - 1)) != 0) {
    ok = false;
    why = "transform length " + std::to_string(length) + " is not a power of two";
  } else {
    ok = pi_verify_digits(lg, per_word, ctx.digits.data(), ctx.digit_count, &why);
  }
  ctx.verification[ctx.run - 1] = ok ? RunVerification::kPassed : RunVerification::kFailed;
  if (!ok) ctx.progress->line("morlant-cli: verification FAILED for run " + std::to_string(ctx.run) + ": " + why, true);
}

// The plan's compute function: compute_pi with the sink, then a line about
// the run on the progress stream.
void compute_run(int32_t digits, BenchmarkResult* result, ProgressCallback callback, void* user, void* compute_user) {
  CliRun& ctx = *static_cast<CliRun*>(compute_user);
  ++ctx.run;
  compute_pi_with_sink(digits, result, callback, user, digit_sink, &ctx);

  char text[400];
  if (result->status == 0) {
    std::snprintf(text, sizeof text, "run %d/%d failed: %s", ctx.run, ctx.options->runs, result->message);
  } else {
    const RunVerification v = ctx.verification[ctx.run - 1];
    std::snprintf(text, sizeof text, "run %d/%d: %.3f sec, score %.0f%s", ctx.run, ctx.options->runs, result->seconds,
                  result->score,
                  v == RunVerification::kPassed   ? ", verified"
                  : v == RunVerification::kFailed ? ", verification FAILED"
                                                  : "");
  }
  ctx.progress->line(text);
}

// Writes the kept digits as "3.1415...\n" to the --output file and closes
// it. Returns the exit status: 0, or 1 when nothing valid could be written.
int write_digits(std::FILE* file, const CliRun& ctx) {
  const char* path = ctx.options->output.c_str();
  const char* refusal = nullptr;
  if (ctx.digit_count == 0)
    refusal = "no run produced digits";
  else if (ctx.verification[ctx.digits_run - 1] == RunVerification::kFailed)
    refusal = "the digits failed verification";
  if (refusal != nullptr) {
    std::fclose(file);
    std::remove(path);
    std::fprintf(stderr, "morlant-cli: nothing written to '%s': %s\n", path, refusal);
    return 1;
  }

  const uint64_t requested = static_cast<uint64_t>(ctx.options->digits);
  const uint64_t count = std::min<uint64_t>(requested, std::min<uint64_t>(ctx.digit_count, ctx.guaranteed));
  std::fputc(ctx.digits[0], file);
  if (count > 1) {
    std::fputc('.', file);
    std::fwrite(ctx.digits.data() + 1, 1, count - 1, file);
  }
  std::fputc('\n', file);
  const bool failed = std::ferror(file) != 0;
  if (std::fclose(file) != 0 || failed) {
    std::fprintf(stderr, "morlant-cli: writing '%s' failed: %s\n", path, std::strerror(errno));
    return 1;
  }
  if (count < requested)
    std::fprintf(stderr,
                 "morlant-cli: wrote %llu of the %llu requested digits to '%s': the computation guarantees "
                 "%u digits; its last digits are guard digits\n",
                 static_cast<unsigned long long>(count), static_cast<unsigned long long>(requested), path,
                 ctx.guaranteed);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CliOptions options;
  std::string error;
  if (!parse_cli_options(argc, argv, &options, &error)) {
    std::fprintf(stderr, "morlant-cli: %s\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(cli_usage().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("morlant-cli %s\n", MORLANT_VERSION);
    return 0;
  }

  // The output file is opened before the computation so that a bad path
  // fails at once rather than after minutes of work.
  std::FILE* output = nullptr;
  if (!options.output.empty()) {
    output = std::fopen(options.output.c_str(), "wb");
    if (output == nullptr) {
      std::fprintf(stderr, "morlant-cli: cannot write --output file '%s': %s\n", options.output.c_str(),
                   std::strerror(errno));
      return 2;
    }
  }

  BenchmarkReport report;
  report.version = MORLANT_VERSION;
  report.digits_requested = options.digits;
  report.runs_requested = options.runs;
  report.custom = cli_is_custom(options);
  report.verify = options.verify;
  query_system_info(&report.system);

  const int32_t steps_per_run = report.custom ? agm_iteration_count(options.digits) : STEPS_PER_RUN;
  ProgressWriter progress(stderr, cli_stream_is_terminal(stderr), options.quiet, steps_per_run * options.runs,
                          static_cast<uint32_t>(options.digits), morlant_clock_ms());
  CliRun ctx;
  ctx.options = &options;
  ctx.progress = &progress;
  ctx.corrupt_run = corrupt_run_from_environment();
  ctx.verification.assign(static_cast<std::size_t>(options.runs), RunVerification::kNotChecked);

  std::vector<BenchmarkResult> results(static_cast<std::size_t>(options.runs));
  const BenchmarkPlan plan{options.digits, options.runs, steps_per_run, compute_run, &ctx, results.data()};
  run_benchmark_plan(&plan, &report.aggregate, options.quiet ? nullptr : ProgressWriter::callback, &progress);
  progress.finish();

  for (std::size_t k = 0; k < results.size(); ++k) report.runs.push_back({results[k], ctx.verification[k]});
  report.radix = ctx.radix;
  report.guaranteed_digits = ctx.guaranteed;

  int status = report_succeeded(report) ? 0 : 1;
  if (report.aggregate.status == 0)
    std::fprintf(stderr, "morlant-cli: benchmark failed: %s\n", report.aggregate.message);
  if (output != nullptr && write_digits(output, ctx) != 0) status = 1;

  const std::string text = options.json ? format_report_json(report) : format_report_text(report);
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
  return status;
}
