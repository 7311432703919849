// morlant-cli: the benchmark without a window. Runs the plan the command line
// asks for on one or more threads (or a stress test) with progress on
// stderr, checks every run's digits unless told not to, optionally writes
// them, and reports the machine facts and the result as text or JSON on
// stdout.
//
// Threads: the main thread parses, starts one worker per --threads, then
// only watches (Ctrl+C, the stress deadline, the workers' end) and reports.
// With --parallel N a worker shares each of its computations with N - 1
// threads that live as long as that computation.
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
#include <optional>
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

// What the command line asks for, resolved against the machine before any
// work starts.
struct Plan {
  CliOptions options;
  SystemInfo system{};
  int32_t threads = 1;         // computations at once
  int32_t parallel = 1;        // threads sharing each computation
  int32_t compute_digits = 0;  // asked of every computation; above --digits for some --output counts
  bool custom = false;         // not the standard workload
  int32_t steps_per_run = 0;   // progress steps one computation reports
};

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
  // start: the morlant_clock_ms reading the run's times count from.
  Shared(const Plan& resolved, double start)
      : plan(resolved),
        start_ms(start),
        deadline_ms(resolved.options.stress && resolved.options.stress_seconds > 0
                        ? start + 1000.0 * static_cast<double>(resolved.options.stress_seconds)
                        : 0),
        progress(stderr, cli_stream_is_terminal(stderr), resolved.options.quiet,
                 resolved.steps_per_run * resolved.options.runs * resolved.threads,
                 static_cast<uint32_t>(resolved.compute_digits), start) {}

  const Plan& plan;
  const double start_ms;
  const double deadline_ms;  // end of a stress test with a duration; 0: none

  KnownGoodDigits known_good;  // the first verified run's digits (under its own lock)

  std::mutex mutex;
  ProgressWriter progress;
  std::vector<int32_t> steps;  // each thread's benchmark-wide step
  // The main thread has taken the records: workers add nothing more to them
  // and write nothing more to the progress stream.
  bool ended = false;
  StressReport stress;

  std::atomic<bool> stop{false};  // stress: start no further run
  std::atomic<int32_t> finished{0};
  std::vector<std::unique_ptr<ThreadRun>> runs;
};

// How the watch over the workers ended.
struct Watch {
  bool interrupted = false;   // Ctrl+C
  bool deadline = false;      // a stress test's duration passed
  bool all_finished = false;  // no worker is still computing
};

// Test hooks, not part of the interface: MORLANT_CLI_CORRUPT_DIGIT=K changes
// one digit (the middle one) of run K's digits on the first thread after the
// computation, before they are verified or written (DigitChecker::corrupt_run);
// MORLANT_CLI_SKEW_CLOCK=K makes the benchmark clock of that run lose a
// second (DigitChecker::skew_run). So the tests see a wrong result and an
// untrustworthy time caught. The run number K, or 0 when the hook is unset.
int32_t hook_run_from_environment(const char* name) {
  const char* value = std::getenv(name);
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
  const CliOptions& options = sh.plan.options;
  const DigitChecker& c = tr.checker;
  compute_checked_run(digits, result, callback, user, &tr.checker);
  const bool wrong = c.verdict == RunVerification::kFailed;
  const bool unchecked = c.judge && result->status != 0 && c.verdict == RunVerification::kNotChecked;

  const std::string thread = sh.plan.threads > 1 ? " on thread " + std::to_string(tr.index + 1) : "";
  char text[600];
  if (wrong) {
    std::snprintf(text, sizeof text, "morlant-cli: verification FAILED for run %d%s: %s; the run is not counted",
                  c.run, thread.c_str(), c.why.c_str());
  } else if (result->status == 0) {
    std::snprintf(text, sizeof text, "run %d/%d%s failed: %s", c.run, options.runs, thread.c_str(), result->message);
  } else {
    std::snprintf(text, sizeof text, "run %d/%d%s: %.3f sec, score %.0f%s", c.run, options.runs, thread.c_str(),
                  result->seconds, result->score, c.verdict == RunVerification::kPassed ? ", verified" : "");
  }
  std::lock_guard<std::mutex> lock(sh.mutex);
  if (sh.ended) return;
  if (unchecked) sh.progress.line("morlant-cli: run " + std::to_string(c.run) + " not verified: " + c.why, true);
  tr.completed.push_back({*result, c.verdict, c.clocks});
  // Failed checks are said even when quiet.
  if (!options.stress) sh.progress.line(text, wrong || c.clocks.failed);
}

// Progress of one thread's plan, shown for all threads together: the sum of
// their benchmark-wide steps.
int32_t thread_step(int32_t step, uint32_t digits, void* user, double, double clock_ms) {
  ThreadRun& tr = *static_cast<ThreadRun*>(user);
  Shared& sh = *tr.shared;
  std::lock_guard<std::mutex> lock(sh.mutex);
  if (sh.ended) return 0;
  sh.steps[static_cast<std::size_t>(tr.index)] = step;
  int32_t sum = 0;
  for (int32_t s : sh.steps) sum += s;
  sh.progress.step(sum, digits, clock_ms);
  return 0;
}

void benchmark_thread(ThreadRun* tr) {
  Shared& sh = *tr->shared;
  const Plan& plan = sh.plan;
  const BenchmarkPlan benchmark{plan.compute_digits, plan.options.runs, plan.steps_per_run, compute_run, tr, nullptr};
  BenchmarkResult aggregate;
  run_benchmark_plan(&benchmark, &aggregate, plan.options.quiet ? nullptr : thread_step, tr);
  {
    std::lock_guard<std::mutex> lock(sh.mutex);
    if (!sh.ended) tr->aggregate = aggregate;
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
  return format_stress_progress(static_cast<int64_t>(sh.stress.run_seconds.size()), sh.plan.threads, sh.stress.error,
                                (clock_ms - sh.start_ms) * 0.001,
                                sh.stress.run_seconds.empty() ? 0 : sh.stress.run_seconds.back());
}

// Repeats computations until the test stops: the deadline, an error (this
// thread's or another's) or the main thread's end.
void stress_thread(ThreadRun* tr) {
  Shared& sh = *tr->shared;
  while (!sh.stop.load()) {
    BenchmarkResult result;
    compute_run(sh.plan.compute_digits, &result, nullptr, nullptr, tr);
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
        s.error_what = tr->checker.verdict == RunVerification::kFailed ? tr->checker.why
                       : tr->checker.clocks.failed ? std::string(result.message)
                                                   : std::string("computation failed: ") + result.message;
        sh.progress.line("morlant-cli: ERROR in " + format_stress_error(s), true);
      }
      sh.stop.store(true);
      break;
    }
    sh.stress.digits_computed = static_cast<int32_t>(result.digits);
    sh.stress.run_seconds.push_back(result.seconds);
    ++sh.stress.runs_per_thread[static_cast<std::size_t>(tr->index)];
    sh.progress.status(stress_status_line(sh, now), now, false);
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

// Parses the command line. Returns the exit status when the program ends
// here: a bad command line (2, with the reason on standard error), --help or
// --version (0); nothing when there is work to do.
std::optional<int> read_command_line(int argc, char** argv, CliOptions* options) {
  std::string error;
  if (!parse_cli_options(argc, argv, options, &error)) {
    std::fprintf(stderr, "morlant-cli: %s\n", error.c_str());
    return 2;
  }
  if (options->help) {
    std::fputs(cli_usage().c_str(), stdout);
    return 0;
  }
  if (options->version) {
    std::printf("morlant-cli %s\n", MORLANT_VERSION);
    return 0;
  }
  return std::nullopt;
}

// Whether the plan's computations fit in the memory available now; says
// why not on standard error.
bool fits_in_memory(const Plan& plan) {
  const uint64_t need = cli_memory_for_threads(plan.compute_digits, plan.threads, plan.parallel);
  const int64_t available = cli_available_memory_bytes();
  if (available < 0 || need <= static_cast<uint64_t>(available)) return true;
  const std::string what =
      plan.parallel > 1 ? "1 computation of " + std::to_string(plan.compute_digits) + " digits on " +
                              std::to_string(plan.parallel) + " threads needs"
                        : std::to_string(plan.threads) + " computation" + (plan.threads == 1 ? "" : "s") + " of " +
                              std::to_string(plan.compute_digits) + " digits at once need";
  std::fprintf(stderr,
               "morlant-cli: %s %llu MB of memory, but only %llu MB are available; nothing was started (use fewer "
               "%s or --digits)\n",
               what.c_str(), static_cast<unsigned long long>((need + (1u << 20) - 1) >> 20),
               static_cast<unsigned long long>(static_cast<uint64_t>(available) >> 20),
               plan.parallel > 1 ? "--parallel" : "--threads");
  return false;
}

// Resolves the options against the machine: the thread counts, the digits of
// each computation, the workload's progress steps. False, with the reason on
// standard error, when nothing may start: no length guarantees the digits
// --output asks for, too little memory, or an output file that cannot be
// written.
bool make_plan(const CliOptions& options, Plan* plan) {
  plan->options = options;
  query_system_info(&plan->system);
  const int32_t logical = std::max(1, plan->system.logical_processors);
  plan->threads = options.threads_all ? logical : options.threads;
  plan->parallel = options.parallel_all ? std::min(logical, CLI_MAX_PARALLEL) : options.parallel;
  // --output gets the count it asks for, all correct: a count the length
  // cannot guarantee is computed at a longer one.
  plan->compute_digits = options.output.empty() ? options.digits : cli_digits_to_compute(options.digits);
  if (plan->compute_digits == 0) {
    std::fprintf(stderr, "morlant-cli: no supported length guarantees %d correct digits\n", options.digits);
    return false;
  }
  plan->custom = cli_is_custom(options) || plan->compute_digits != options.digits;
  plan->steps_per_run = plan->custom ? agm_iteration_count(plan->compute_digits) : STEPS_PER_RUN;
  return fits_in_memory(*plan) && (options.output.empty() || check_output_path(options.output));
}

// One worker per thread, each with the checker of its runs: the first
// thread's digits are the ones --output writes and the ones the test hook
// changes.
std::vector<std::thread> start_workers(Shared& sh) {
  const CliOptions& options = sh.plan.options;
  const int32_t corrupt_run = hook_run_from_environment("MORLANT_CLI_CORRUPT_DIGIT");
  const int32_t skew_run = hook_run_from_environment("MORLANT_CLI_SKEW_CLOCK");
  sh.steps.assign(static_cast<std::size_t>(sh.plan.threads), 0);
  sh.stress.runs_per_thread.assign(static_cast<std::size_t>(sh.plan.threads), 0);
  for (int32_t t = 0; t < sh.plan.threads; ++t) {
    sh.runs.push_back(std::make_unique<ThreadRun>());
    ThreadRun& tr = *sh.runs.back();
    tr.shared = &sh;
    tr.index = t;
    tr.checker.judge = options.verify;
    tr.checker.keep = t == 0 && !options.output.empty() ? static_cast<uint64_t>(options.digits) : 0;
    tr.checker.corrupt_run = t == 0 ? corrupt_run : 0;
    tr.checker.skew_run = t == 0 ? skew_run : 0;
    tr.checker.known_good = &sh.known_good;
    tr.checker.parallel = sh.plan.parallel;
    // A shared computation runs alone (--parallel refuses --threads), so the
    // process's processor time is its team's.
    tr.checker.whole_process_clock = sh.plan.parallel > 1;
  }
  std::vector<std::thread> workers;
  for (const auto& tr : sh.runs) workers.emplace_back(options.stress ? stress_thread : benchmark_thread, tr.get());
  return workers;
}

// Waits for the workers' end, Ctrl+C or the end of a stress test, redrawing
// the stress test's status meanwhile.
Watch watch_workers(Shared& sh) {
  Watch watch;
  for (;;) {
    if (sh.finished.load() == sh.plan.threads) break;
    if (cli_interrupted()) {
      watch.interrupted = true;
      break;
    }
    const double now = morlant_clock_ms();
    if (sh.plan.options.stress) {
      if (sh.stop.load()) break;
      if (sh.deadline_ms > 0 && now >= sh.deadline_ms) {
        watch.deadline = true;
        break;
      }
      std::lock_guard<std::mutex> lock(sh.mutex);
      sh.progress.status(stress_status_line(sh, now), now, false);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  watch.all_finished = sh.finished.load() == sh.plan.threads;
  return watch;
}

// Runs the plan: starts the workers and watches them. Afterwards the
// records are the main thread's: workers still computing (a computation
// cannot be cancelled) are left to the end of the process and add nothing.
Watch run(Shared& sh) {
  cli_install_interrupt_handler();
  std::vector<std::thread> workers = start_workers(sh);
  const Watch watch = watch_workers(sh);
  for (std::thread& w : workers) {
    if (watch.all_finished)
      w.join();
    else
      w.detach();
  }
  std::lock_guard<std::mutex> lock(sh.mutex);
  sh.ended = true;
  sh.stop.store(true);
  sh.progress.finish();
  return watch;
}

// The stress test's summary; returns its exit status, or ends the process
// with it when computations are still running.
int report_stress(Shared& sh, const Watch& watch) {
  const Plan& plan = sh.plan;
  StressReport s;
  {
    std::lock_guard<std::mutex> lock(sh.mutex);
    s = sh.stress;
  }
  s.version = MORLANT_VERSION;
  s.digits_requested = plan.options.digits;
  s.threads = plan.threads;
  s.parallel = sh.runs[0]->checker.parallel;  // what the computations ran with
  s.duration_seconds = plan.options.stress_seconds;
  const double elapsed = (morlant_clock_ms() - sh.start_ms) * 0.001;
  s.seconds = watch.deadline ? std::min(elapsed, static_cast<double>(plan.options.stress_seconds)) : elapsed;
  s.interrupted = watch.interrupted && !s.error;
  s.system = plan.system;
  std::fputs((plan.options.json ? format_stress_json(s) : format_stress_text(s)).c_str(), stdout);
  const int status = stress_exit_status(s);
  if (!watch.all_finished) end_now(status);
  std::fflush(stdout);
  return status;
}

// A benchmark cut short by Ctrl+C: nothing is reported as a result and
// nothing is written; the runs that completed are named on standard error.
[[noreturn]] void report_interrupted(Shared& sh) {
  const Plan& plan = sh.plan;
  std::string done;
  {
    std::lock_guard<std::mutex> lock(sh.mutex);
    for (const auto& tr : sh.runs)
      done += (done.empty() ? "" : ", ") + std::to_string(tr->completed.size()) + " of " +
              std::to_string(plan.options.runs) + " runs" +
              (plan.threads > 1 ? " on thread " + std::to_string(tr->index + 1) : "");
  }
  std::fprintf(stderr, "morlant-cli: interrupted; %s had completed%s\n", done.c_str(),
               plan.options.output.empty() ? "" : ", nothing written to --output");
  end_now(CLI_EXIT_INTERRUPTED);
}

// The finished benchmark's report (the workers have all ended), the digits
// for --output, and the exit status.
int report_benchmark(Shared& sh) {
  const Plan& plan = sh.plan;
  const ThreadRun& first = *sh.runs[0];
  BenchmarkReport report;
  report.version = MORLANT_VERSION;
  report.digits_requested = plan.options.digits;
  report.digits_computed = plan.compute_digits;
  report.runs_requested = plan.options.runs;
  report.custom = plan.custom;
  report.verify = plan.options.verify;
  report.parallel = first.checker.parallel;  // what the computations ran with
  report.system = plan.system;
  report.aggregate = first.aggregate;
  report.runs = first.completed;
  report.radix = first.checker.radix;
  report.guaranteed_digits = first.checker.guaranteed;
  if (plan.threads > 1)
    for (const auto& tr : sh.runs) report.threads.push_back({tr->aggregate, tr->completed});

  int status = report_succeeded(report) ? 0 : 1;
  if (report.aggregate.status == 0)
    std::fprintf(stderr, "morlant-cli: benchmark failed: %s\n", report.aggregate.message);
  if (!plan.options.output.empty() && write_digits(first, plan.options) != 0) status = 1;
  std::fputs((plan.options.json ? format_report_json(report) : format_report_text(report)).c_str(), stdout);
  std::fflush(stdout);
  return status;
}

int report(Shared& sh, const Watch& watch) {
  if (sh.plan.options.stress) return report_stress(sh, watch);
  if (watch.interrupted) report_interrupted(sh);
  return report_benchmark(sh);
}

}  // namespace

int main(int argc, char** argv) {
  CliOptions options;
  if (const std::optional<int> status = read_command_line(argc, argv, &options)) return *status;
  Plan plan;
  if (!make_plan(options, &plan)) return 2;
  Shared sh(plan, morlant_clock_ms());
  const Watch watch = run(sh);
  return report(sh, watch);
}
