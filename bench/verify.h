// The check of a computation's digits, for the desktop program's worker and
// for morlant-cli alike: after a run's timed part its value of pi is written
// out as decimal digits, digested and judged against the reference table
// (bench/pi_reference.h); a wrong result can be located against the digits
// of a run that passed. Portable code: no windowing.
#ifndef MORLANT_BENCH_VERIFY_H
#define MORLANT_BENCH_VERIFY_H

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "bench/benchmark.h"
#include "bench/run_clocks.h"

enum class RunVerification { kNotChecked, kPassed, kFailed };

// The digits of the first run that passed, shared by the checkers of
// computations running at once (each on its own thread) to locate a wrong
// digit. Guarded by its own lock.
struct KnownGoodDigits {
  std::mutex mutex;
  std::vector<char> digits;  // empty until a run passes
};

// The checks of one sequence of runs (one thread's), and how its
// computations run. The owner sets the first block; the checks fill the rest.
// whole_process_clock: the processor time of the timer check is the
// process's, for a computation shared by a team while no other computation
// runs; otherwise the computing thread's own.
struct DigitChecker {
  bool judge = true;                      // compare each run's digits with the reference table
  uint64_t keep = 0;                      // without judge: digits to write out all the same (0: none)
  bool unchecked_fails = false;           // a run whose digits could not be judged fails too
  int32_t corrupt_run = 0;                // test hook: run whose middle digit is changed before the check
  KnownGoodDigits* known_good = nullptr;  // where wrong digits are located; null: they are not
  int32_t parallel = 1;                   // threads sharing each computation (same digits for any count)
  int32_t skew_run = 0;                   // test hook: run whose benchmark clock is made to lose a second
  bool whole_process_clock = false;       // see above

  int32_t run = 0;                                         // the run being computed, from 1
  int32_t digits = 0;                                      // digits asked of it
  int32_t radix = 0;                                       // of the last successful run; 0 before one
  uint32_t guaranteed = 0;                                 // digits that run guarantees correct
  RunVerification verdict = RunVerification::kNotChecked;  // of the current run
  std::string why;                // what was wrong with it, or why it was not judged
  ClockMark start_mark{};         // the timer check's clocks at the start of its timed part
  ClockMark end_mark{};           // and at the end
  RunClocks clocks;               // its timer check
  int32_t first_failed_run = 0;   // the first run the checks turned into a failure; 0 while none
  std::string first_failure;      // what was wrong with that run
  std::vector<char> text;         // digits ("31415...") of the last run that wrote any
  uint64_t text_count = 0;        // how many
  int32_t text_run = 0;           // which run
};

// The verdict on the first `count` significant digits of a computation of
// transform length `length` with `digits_per_word` digits per word: kPassed
// when their digest is the reference's; kFailed ("the digits do not match the
// built-in digest") when it is not; kNotChecked ("no reference digest for N
// digits at P digits per word") when the table has no entry for that size or
// the entry covers another count. The text goes to *why (emptied on a pass).
RunVerification judge_pi_digits(int32_t length, int32_t digits_per_word, const char* digits, uint64_t count,
                                std::string* why);

// A ComputeFunction (bench/benchmark.h) whose compute_user is a DigitChecker:
// compute_pi with the check of its digits after the timed part, and the check
// of its time (bench/run_clocks.h: the clocks are read just before the
// computation starts and as its timed part ends, so they cover the benchmark
// time plus the progress callbacks', which the tolerance absorbs). A run
// whose digits are wrong becomes a failed run that earns nothing: status 0,
// score 0, message "wrong digits: <why>"; with unchecked_fails, so does a run
// whose digits could not be judged ("not verified: <why>"); so does a run
// whose time fails its check ("timer check failed: <both readings>").
void compute_checked_run(int32_t digits, BenchmarkResult* result, ProgressCallback callback, void* user,
                         void* checker);

// A benchmark whose every run is checked (the desktop program's): `runs`
// computations of `digits` digits, each judged after its timed part. A run
// whose digits differ, or whose size the reference does not know, or whose
// time fails its check, is a failed run: it adds nothing to the total, and
// the whole benchmark fails (status 0, score 0, message "Run K of N: the
// digits differ from the reference" or "Run K of N: timer check failed:
// <both readings>" for the first such run K), since a machine that computes
// wrong digits, or whose clock cannot be trusted, has no honest score.
// `corrupt_run` (1 ... runs; 0 for none) changes one digit of that run before
// the check, `skew_run` makes that run's benchmark clock lose a second: the
// failure paths on demand. Nothing happens without a result record. The
// digit text lives in a buffer of this call, sized at the first check.
void run_verified_benchmark(int32_t digits, int32_t runs, int32_t corrupt_run, int32_t skew_run,
                            BenchmarkResult* result, ProgressCallback callback, void* user);

#endif  // MORLANT_BENCH_VERIFY_H
