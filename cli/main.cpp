// morlant-cli: the benchmark without a window. Runs the plan the command line
// asks for on one or more threads (or a stress test) with progress on
// stderr, checks every run's digits unless told not to, optionally writes
// them, and reports the machine facts and the result as text or JSON on
// stdout.
//
// Threads: the main thread parses, starts one worker per --threads, then
// only watches (Ctrl+C, the stress deadline, the workers' end) and reports.
// Workers share one lock (Shared::mutex) around the progress writer and
// every record the main thread reads; the first verified digits have a lock
// of their own (KnownGoodDigits). A computation cannot be cancelled, so an
// interrupt or the end of a stress test reports from the records of the
// completed runs and ends the process with the unfinished ones still
// running.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/benchmark.h"
#include "bench/verify.h"
#include "bignum/compute_pi.h"
#include "cli/interrupt.h"
#include "cli/memory.h"
#include "cli/options.h"
#include "cli/progress.h"
#include "cli/report.h"
#include "cli/terminal.h"
#include "sysinfo/system_info.h"

#ifndef MORLANT_VERSION
#define MORLANT_VERSION "unknown"
#endif

namespace {

struct Shared;

// One thread's computations. The checker belongs to the worker alone; the
// rest is guarded by Shared::mutex.
struct ThreadRun {
  Shared* shared = nullptr;
  int32_t index = 0;     // 0-based thread number
  DigitChecker checker;  // each run's digits and verdict, and the run in progress

  std::vector<RunReport> completed;  // every finished run, in order
  BenchmarkResult aggregate{};       // the thread's plan, once done
};

struct Shared {
  const CliOptions* options = nullptr;
  int32_t compute_digits = 0;  // asked of every computation
  int32_t threads = 1;
  double start_ms = 0;
  double deadline_ms = 0;  // end of a stress test with a duration; 0: none

  KnownGoodDigits known_good;  // the first verified run's digits (under its own lock)

  std::mutex mutex;
  ProgressWriter* progress = nullptr;
  std::vector<int32_t> steps;  // each thread's benchmark-wide step
  bool ended = false;  // the main thread has taken the records: workers add nothing more
  StressReport stress;

  std::atomic<bool> stop{false};  // stress: start no further run
  std::atomic<int32_t> finished{0};
  std::vector<std::unique_ptr<ThreadRun>> runs;
};

// Test hook: MORLANT_CLI_CORRUPT_DIGIT=K changes one digit (the middle one)
// of run K's digits on the first thread after the computation, before they
// are verified or written (DigitChecker::corrupt_run), so that the tests can
// see a wrong result caught. Not part of the interface.
int32_t corrupt_run_from_environment() {
  const char* value = std::getenv("MORLANT_CLI_CORRUPT_DIGIT");
  if (value == nullptr) return 0;
  const long k = std::strtol(value, nullptr, 10);
  return k > 0 && k <= 1000000 ? static_cast<int32_t>(k) : 0;
}

// The plan's compute function: the checked computation (a run whose digits
// are wrong is a failed run, so that it adds nothing to the score). In a
// benchmark a line about the run goes to the progress stream.
void compute_run(int32_t digits, BenchmarkResult* result, ProgressCallback callback, void* user, void* compute_user) {
  ThreadRun& tr = *static_cast<ThreadRun*>(compute_user);
  Shared& sh = *tr.shared;
  const DigitChecker& c = tr.checker;
  compute_checked_run(digits, result, callback, user, &tr.checker);
  const bool wrong = c.verdict == RunVerification::kFailed;
  const bool unchecked = c.judge && result->status != 0 && c.verdict == RunVerification::kNotChecked;

  const std::string thread = sh.threads > 1 ? " on thread " + std::to_string(tr.index + 1) : "";
  char text[600];
  if (wrong) {
    std::snprintf(text, sizeof text, "morlant-cli: verification FAILED for run %d%s: %s; the run is not counted",
                  c.run, thread.c_str(), c.why.c_str());
  } else if (result->status == 0) {
    std::snprintf(text, sizeof text, "run %d/%d%s failed: %s", c.run, sh.options->runs, thread.c_str(),
                  result->message);
  } else {
    std::snprintf(text, sizeof text, "run %d/%d%s: %.3f sec, score %.0f%s", c.run, sh.options->runs, thread.c_str(),
                  result->seconds, result->score, c.verdict == RunVerification::kPassed ? ", verified" : "");
  }
  std::lock_guard<std::mutex> lock(sh.mutex);
  if (unchecked) sh.progress->line("morlant-cli: run " + std::to_string(c.run) + " not verified: " + c.why, true);
  if (sh.ended) return;
  tr.completed.push_back({*result, c.verdict});
  if (!sh.options->stress) sh.progress->line(text, wrong);
}

// Progress of one thread's plan, shown for all threads together: the sum of
// their benchmark-wide steps.
int32_t thread_step(int32_t step, uint32_t digits, void* user, double, double clock_ms) {
  ThreadRun& tr = *static_cast<ThreadRun*>(user);
  Shared& sh = *tr.shared;
  std::lock_guard<std::mutex> lock(sh.mutex);
  sh.steps[static_cast<std::size_t>(tr.index)] = step;
  int32_t sum = 0;
  for (int32_t s : sh.steps) sum += s;
  sh.progress->step(sum, digits, clock_ms);
  return 0;
}

void benchmark_thread(ThreadRun* tr) {
  Shared& sh = *tr->shared;
  const CliOptions& options = *sh.options;
  const int32_t steps_per_run = cli_is_custom(options) || sh.compute_digits != options.digits
                                    ? agm_iteration_count(sh.compute_digits)
                                    : STEPS_PER_RUN;
  const BenchmarkPlan plan{sh.compute_digits, options.runs, steps_per_run, compute_run, tr, nullptr};
  BenchmarkResult aggregate;
  run_benchmark_plan(&plan, &aggregate, options.quiet ? nullptr : thread_step, tr);
  {
    std::lock_guard<std::mutex> lock(sh.mutex);
    tr->aggregate = aggregate;
  }
  sh.finished.fetch_add(1);
}

std::string time_of_day() {
  const std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);  // called under the shared lock only
  char text[16] = "??:??:??";
  if (local != nullptr) std::strftime(text, sizeof text, "%H:%M:%S", local);
  return text;
}

std::string stress_status_line(const Shared& sh, double clock_ms) {
  return format_stress_progress(static_cast<int64_t>(sh.stress.run_seconds.size()), sh.threads, sh.stress.error,
                                (clock_ms - sh.start_ms) * 0.001,
                                sh.stress.run_seconds.empty() ? 0 : sh.stress.run_seconds.back());
}

// Repeats computations until the test stops: the deadline, an error (this
// thread's or another's) or the main thread's end.
void stress_thread(ThreadRun* tr) {
  Shared& sh = *tr->shared;
  while (!sh.stop.load()) {
    BenchmarkResult result;
    compute_run(sh.compute_digits, &result, nullptr, nullptr, tr);
    const double now = morlant_clock_ms();
    std::lock_guard<std::mutex> lock(sh.mutex);
    if (sh.ended) break;
    if (result.status == 0) {
      if (!sh.stress.error) {
        StressReport& s = sh.stress;
        s.error = true;
        s.error_run = tr->checker.run;
        s.error_thread = tr->index + 1;
        s.error_elapsed = (now - sh.start_ms) * 0.001;
        s.error_time_of_day = time_of_day();
        s.error_what = tr->checker.verdict == RunVerification::kFailed
                           ? tr->checker.why
                           : std::string("computation failed: ") + result.message;
        sh.progress->line("morlant-cli: ERROR in " + format_stress_error(s), true);
      }
      sh.stop.store(true);
      break;
    }
    sh.stress.digits_computed = static_cast<int32_t>(result.digits);
    sh.stress.run_seconds.push_back(result.seconds);
    ++sh.stress.runs_per_thread[static_cast<std::size_t>(tr->index)];
    sh.progress->status(stress_status_line(sh, now), now, false);
    if (sh.deadline_ms > 0 && now >= sh.deadline_ms) sh.stop.store(true);
  }
  sh.finished.fetch_add(1);
}

// Writes the kept digits as "3.1415...\n" to a temporary file beside
// --output and renames it over the target once complete, so that the target
// never holds a partial file. Returns the exit status: 0, or 1 when nothing
// valid could be written.
int write_digits(const ThreadRun& tr, const CliOptions& options) {
  const std::string& path = options.output;
  const DigitChecker& c = tr.checker;
  const char* refusal = nullptr;
  if (c.text_count == 0)
    refusal = "no run produced digits";
  else if (tr.completed[static_cast<std::size_t>(c.text_run - 1)].verification == RunVerification::kFailed)
    refusal = "the digits failed verification";
  if (refusal != nullptr) {
    std::fprintf(stderr, "morlant-cli: nothing written to '%s': %s\n", path.c_str(), refusal);
    return 1;
  }

  const uint64_t requested = static_cast<uint64_t>(options.digits);
  const uint64_t count = std::min<uint64_t>(requested, std::min<uint64_t>(c.text_count, c.guaranteed));
  const std::string partial = path + ".partial";
  std::FILE* file = std::fopen(partial.c_str(), "wb");
  bool failed = file == nullptr;
  if (file != nullptr) {
    std::fputc(c.text[0], file);
    if (count > 1) {
      std::fputc('.', file);
      std::fwrite(c.text.data() + 1, 1, count - 1, file);
    }
    std::fputc('\n', file);
    failed = std::ferror(file) != 0;
    failed = std::fclose(file) != 0 || failed;
  }
  std::error_code error;
  if (!failed) std::filesystem::rename(partial, path, error);
  if (failed || error) {
    std::fprintf(stderr, "morlant-cli: writing '%s' failed: %s\n", path.c_str(),
                 error ? error.message().c_str() : std::strerror(errno));
    std::remove(partial.c_str());
    return 1;
  }
  if (count < requested)
    std::fprintf(stderr, "morlant-cli: wrote %llu of the %llu requested digits to '%s'\n",
                 static_cast<unsigned long long>(count), static_cast<unsigned long long>(requested), path.c_str());
  return 0;
}

// Fails early on an --output path that cannot be written, without touching
// an existing file (it is replaced only by a complete one) and without
// leaving a new one behind.
bool check_output_path(const std::string& path) {
  std::FILE* existing = std::fopen(path.c_str(), "rb");
  const bool existed = existing != nullptr;
  if (existing != nullptr) std::fclose(existing);
  std::FILE* probe = std::fopen(path.c_str(), "ab");
  if (probe == nullptr) {
    std::fprintf(stderr, "morlant-cli: cannot write --output file '%s': %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  std::fclose(probe);
  if (!existed) std::remove(path.c_str());
  return true;
}

// Ends the process at once: the report is out, computations still running
// are abandoned (they hold only memory).
[[noreturn]] void end_now(int status) {
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(status);
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

  SystemInfo system{};
  query_system_info(&system);
  const int32_t threads = options.threads_all ? std::max(1, system.logical_processors) : options.threads;
  // --output gets the count it asks for, all correct: a count the length
  // cannot guarantee is computed at a longer one.
  const int32_t compute_digits = options.output.empty() ? options.digits : cli_digits_to_compute(options.digits);
  if (compute_digits == 0) {
    std::fprintf(stderr, "morlant-cli: no supported length guarantees %d correct digits\n", options.digits);
    return 2;
  }
  const uint64_t need = cli_memory_for_threads(compute_digits, threads);
  const int64_t available = cli_available_memory_bytes();
  if (available >= 0 && need > static_cast<uint64_t>(available)) {
    std::fprintf(stderr,
                 "morlant-cli: %d computation%s of %d digits at once need %llu MB of memory, but only %llu MB "
                 "are available; nothing was started (use fewer --threads or --digits)\n",
                 threads, threads == 1 ? "" : "s", compute_digits,
                 static_cast<unsigned long long>((need + (1u << 20) - 1) >> 20),
                 static_cast<unsigned long long>(static_cast<uint64_t>(available) >> 20));
    return 2;
  }
  if (!options.output.empty() && !check_output_path(options.output)) return 2;
  cli_install_interrupt_handler();

  const bool custom = cli_is_custom(options) || compute_digits != options.digits;
  const int32_t steps_per_run = custom ? agm_iteration_count(compute_digits) : STEPS_PER_RUN;
  const double start_ms = morlant_clock_ms();
  ProgressWriter progress(stderr, cli_stream_is_terminal(stderr), options.quiet,
                          steps_per_run * options.runs * threads, static_cast<uint32_t>(compute_digits), start_ms);
  Shared sh;
  sh.options = &options;
  sh.compute_digits = compute_digits;
  sh.threads = threads;
  sh.start_ms = start_ms;
  sh.deadline_ms = options.stress && options.stress_seconds > 0
                       ? start_ms + 1000.0 * static_cast<double>(options.stress_seconds)
                       : 0;
  sh.progress = &progress;
  sh.steps.assign(static_cast<std::size_t>(threads), 0);
  sh.stress.runs_per_thread.assign(static_cast<std::size_t>(threads), 0);

  std::vector<std::thread> workers;
  const int32_t corrupt_run = corrupt_run_from_environment();
  for (int32_t t = 0; t < threads; ++t) {
    sh.runs.push_back(std::make_unique<ThreadRun>());
    ThreadRun& tr = *sh.runs.back();
    tr.shared = &sh;
    tr.index = t;
    // The first thread's digits are the ones --output writes, and the ones
    // the test hook changes.
    tr.checker.judge = options.verify;
    tr.checker.keep = t == 0 && !options.output.empty() ? static_cast<uint64_t>(options.digits) : 0;
    tr.checker.corrupt_run = t == 0 ? corrupt_run : 0;
    tr.checker.known_good = &sh.known_good;
  }
  for (int32_t t = 0; t < threads; ++t)
    workers.emplace_back(options.stress ? stress_thread : benchmark_thread, sh.runs[static_cast<std::size_t>(t)].get());

  // Watch: Ctrl+C, the stress test's end, the workers' end.
  bool interrupted = false;
  bool deadline = false;
  for (;;) {
    if (sh.finished.load() == threads) break;
    if (cli_interrupted()) {
      interrupted = true;
      break;
    }
    const double now = morlant_clock_ms();
    if (options.stress) {
      if (sh.stop.load()) break;
      if (sh.deadline_ms > 0 && now >= sh.deadline_ms) {
        deadline = true;
        break;
      }
      std::lock_guard<std::mutex> lock(sh.mutex);
      sh.progress->status(stress_status_line(sh, now), now, false);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const bool all_finished = sh.finished.load() == threads;
  if (all_finished)
    for (std::thread& w : workers) w.join();
  else
    for (std::thread& w : workers) w.detach();

  std::unique_lock<std::mutex> lock(sh.mutex);
  sh.ended = true;
  sh.stop.store(true);
  progress.finish();

  if (options.stress) {
    StressReport& s = sh.stress;
    s.version = MORLANT_VERSION;
    s.digits_requested = options.digits;
    s.threads = threads;
    s.duration_seconds = options.stress_seconds;
    const double elapsed = (morlant_clock_ms() - start_ms) * 0.001;
    s.seconds = deadline ? std::min(elapsed, static_cast<double>(options.stress_seconds)) : elapsed;
    s.interrupted = interrupted && !s.error;
    s.system = system;
    const std::string text = options.json ? format_stress_json(s) : format_stress_text(s);
    std::fputs(text.c_str(), stdout);
    const int status = stress_exit_status(s);
    if (!all_finished) end_now(status);
    std::fflush(stdout);
    return status;
  }

  if (interrupted) {
    // Nothing is reported as a result and nothing is written: the runs that
    // completed are named on standard error.
    std::string done;
    for (const auto& tr : sh.runs)
      done += (done.empty() ? "" : ", ") + std::to_string(tr->completed.size()) + " of " + std::to_string(options.runs) +
              " runs" + (threads > 1 ? " on thread " + std::to_string(tr->index + 1) : "");
    std::fprintf(stderr, "morlant-cli: interrupted; %s had completed%s\n", done.c_str(),
                 options.output.empty() ? "" : ", nothing written to --output");
    end_now(CLI_EXIT_INTERRUPTED);
  }

  BenchmarkReport report;
  report.version = MORLANT_VERSION;
  report.digits_requested = options.digits;
  report.digits_computed = compute_digits;
  report.runs_requested = options.runs;
  report.custom = custom;
  report.verify = options.verify;
  report.system = system;
  const ThreadRun& first = *sh.runs[0];
  report.aggregate = first.aggregate;
  report.runs = first.completed;
  report.radix = first.checker.radix;
  report.guaranteed_digits = first.checker.guaranteed;
  if (threads > 1)
    for (const auto& tr : sh.runs) report.threads.push_back({tr->aggregate, tr->completed});
  lock.unlock();

  int status = report_succeeded(report) ? 0 : 1;
  if (const char* failed = report.aggregate.status == 0 ? report.aggregate.message : nullptr)
    std::fprintf(stderr, "morlant-cli: benchmark failed: %s\n", failed);
  if (!options.output.empty() && write_digits(first, options) != 0) status = 1;

  const std::string text = options.json ? format_report_json(report) : format_report_text(report);
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
  return status;
}
