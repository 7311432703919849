// The digit check of a run: format, digest, judge, locate.
#include "bench/verify.h"

#include <algorithm>
#include <cstdio>

#include "bench/pi_reference.h"
#include "bignum/big_format.h"

namespace {

// Where digits first differ from good ones of the same count, for a user:
// position 0 is the leading 3, position i the i-th digit after the point.
// Empty when they do not differ.
std::string locate_wrong_digit(const char* digits, const char* good, uint64_t count) {
  const uint64_t i = static_cast<uint64_t>(std::mismatch(digits, digits + count, good).first - digits);
  if (i == count) return {};
  char text[160];
  if (i == 0)
    std::snprintf(text, sizeof text, "the leading digit is wrong (%c instead of %c)", digits[0], good[0]);
  else
    std::snprintf(text, sizeof text, "digit %llu after the decimal point is wrong (%c instead of %c)",
                  static_cast<unsigned long long>(i), digits[i], good[i]);
  return text;
}

// A passed run's digits become the known-good ones if there are none yet; a
// failed run's wrong digit is located against them when there are.
void compare_with_known_good(DigitChecker& c) {
  std::lock_guard<std::mutex> lock(c.known_good->mutex);
  std::vector<char>& good = c.known_good->digits;
  if (c.verdict == RunVerification::kPassed) {
    if (good.empty()) good.assign(c.text.begin(), c.text.begin() + static_cast<std::ptrdiff_t>(c.text_count));
    return;
  }
  const std::string where = good.size() == c.text_count ? locate_wrong_digit(c.text.data(), good.data(), c.text_count)
                                                        : std::string();
  c.why = where.empty() ? c.why + " (no verified run yet to locate the wrong digit)" : where;
}

// The PiDigitSink of a checked run: records the run's radix and guaranteed
// digits, writes them out as text when they are to be judged or kept, and
// judges them.
void check_pi_digits(const BigFloat* pi, int32_t n, int32_t R, void* user) {
  DigitChecker& c = *static_cast<DigitChecker*>(user);
  c.end_mark = read_clock_mark(c.whole_process_clock);  // the timed part has just ended
  const int32_t per_word = big_digits_per_word(R);
  const int32_t length = pi_transform_length(c.digits);
  c.radix = R;
  c.guaranteed = pi_guaranteed_digits(static_cast<uint32_t>(per_word) * static_cast<uint32_t>(length));
  const uint64_t wanted = c.judge ? c.guaranteed : std::min<uint64_t>(c.guaranteed, c.keep);
  if (wanted == 0) return;

  // Every run of a sequence has the same size, so the buffer is sized once.
  if (c.text.size() < wanted) c.text.resize(wanted);
  const int64_t got = big_format_digits(n, R, pi, static_cast<int64_t>(wanted), c.text.data());
  c.text_count = got > 0 ? static_cast<uint64_t>(got) : 0;
  c.text_run = c.run;
  if (c.run == c.corrupt_run && c.text_count > 0) {
    char& digit = c.text[c.text_count / 2];
    digit = digit == '9' ? '0' : static_cast<char>(digit + 1);
  }
  if (!c.judge) return;
  c.verdict = judge_pi_digits(length, per_word, c.text.data(), c.text_count, &c.why);
  if (c.known_good != nullptr && c.verdict != RunVerification::kNotChecked) compare_with_known_good(c);
}

}  // namespace

RunVerification judge_pi_digits(int32_t length, int32_t digits_per_word, const char* digits, uint64_t count,
                                std::string* why) {
  const PiReference* ref = pi_reference_for_length(length, digits_per_word);
  if (ref == nullptr || ref->guaranteed_digits != count) {
    char text[160];
    std::snprintf(text, sizeof text, "no reference digest for %llu digits at %d digits per word",
                  static_cast<unsigned long long>(count), digits_per_word);
    *why = text;
    return RunVerification::kNotChecked;
  }
  if (pi_digest(digits, count) == ref->digest) {
    why->clear();
    return RunVerification::kPassed;
  }
  *why = "the digits do not match the built-in digest";
  return RunVerification::kFailed;
}

void compute_checked_run(int32_t digits, BenchmarkResult* result, ProgressCallback callback, void* user,
                         void* checker) {
  DigitChecker& c = *static_cast<DigitChecker*>(checker);
  ++c.run;
  c.digits = digits;
  c.verdict = RunVerification::kNotChecked;
  c.why = "no digits were handed over";
  c.clocks = RunClocks{};
  c.start_mark = read_clock_mark(c.whole_process_clock);
  compute_pi_with_sink(digits, c.parallel, result, callback, user, check_pi_digits, &c);
  if (result == nullptr || result->status == 0) return;
  if (c.run == c.skew_run) {
    // The other clocks run a second ahead of the benchmark clock.
    c.end_mark.cpu_seconds += 1.0;
    if (c.end_mark.second_seconds >= 0) c.end_mark.second_seconds += 1.0;
  }
  c.clocks = check_run_clocks(c.start_mark, c.end_mark, result->seconds, c.parallel);
  const bool wrong = c.verdict == RunVerification::kFailed;
  std::string failure;
  if (wrong || (c.unchecked_fails && c.verdict == RunVerification::kNotChecked))
    failure = (wrong ? "wrong digits: " : "not verified: ") + c.why;
  else if (c.clocks.failed)
    failure = "timer check failed: " + describe_run_clocks(c.clocks);
  if (failure.empty()) return;
  if (c.first_failed_run == 0) {
    c.first_failed_run = c.run;
    c.first_failure = wrong || !c.clocks.failed ? "the digits differ from the reference" : failure;
  }
  result->status = 0;
  result->score = 0;  // a wrong result earns nothing
  std::snprintf(result->message, sizeof result->message, "%s", failure.c_str());
}

void run_verified_benchmark(int32_t digits, int32_t runs, int32_t corrupt_run, int32_t skew_run,
                            BenchmarkResult* result, ProgressCallback callback, void* user) {
  if (result == nullptr) return;
  DigitChecker checker;
  checker.unchecked_fails = true;
  checker.corrupt_run = corrupt_run;
  checker.skew_run = skew_run;
  const BenchmarkPlan plan{digits, runs, agm_iteration_count(digits), compute_checked_run, &checker, nullptr};
  run_benchmark_plan(&plan, result, callback, user);
  if (checker.first_failed_run == 0) return;
  // Whatever the other runs gave, the benchmark has no score.
  result->status = 0;
  result->score = 0;
  std::snprintf(result->message, sizeof result->message, "Run %d of %d: %s",
                static_cast<int>(checker.first_failed_run), static_cast<int>(runs), checker.first_failure.c_str());
}
