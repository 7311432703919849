// parse_cli_options and parse_duration over command lines made of the input
// split at NUL bytes.
#include <tuple>
#include <utility>

#include "cli/options.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

auto fields(const CliOptions& o) {
  return std::tie(o.digits, o.runs, o.threads, o.threads_all, o.parallel, o.parallel_all, o.stress, o.stress_seconds,
                  o.json, o.verify, o.quiet, o.help, o.version, o.runs_given, o.output);
}

// A whole number of digits only, leading zeros allowed; more than ten
// significant digits read as 10^10, beyond every range.
bool reference_number(std::string_view text, int64_t* value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) return false;
  const size_t first = text.find_first_not_of('0');
  *value = first == std::string_view::npos ? 0
           : text.size() - first > 10      ? int64_t{10000000000}
                                           : std::stoll(std::string(text.substr(first)));
  return true;
}

// The duration contract read independently: digits, then s, m, h or nothing;
// the value 1 s ... CLI_MAX_STRESS_SECONDS.
bool reference_duration(std::string_view text, int64_t* seconds) {
  const size_t unit = std::string_view("smh").find(text.empty() ? '?' : text.back());
  if (unit != std::string_view::npos) text.remove_suffix(1);
  if (!reference_number(text, seconds)) return false;
  *seconds *= unit == 1 ? 60 : unit == 2 ? 3600 : 1;
  return *seconds >= 1 && *seconds <= CLI_MAX_STRESS_SECONDS;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args{"morlant-cli"};
  if (size > 0) args.emplace_back();
  for (size_t i = 0; i < size; ++i)
    if (data[i] == 0) args.emplace_back();
    else args.back().push_back(static_cast<char>(data[i]));
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  const bool newline = std::string(reinterpret_cast<const char*>(data), size).find('\n') != std::string::npos;
  const int argc = static_cast<int>(args.size());

  CliOptions o, o2;
  std::string error = "stale", error2;
  const bool ok = parse_cli_options(argc, argv.data(), &o, &error);
  FUZZ_CHECK(parse_cli_options(argc, argv.data(), &o2, &error2) == ok && error2 == error && fields(o) == fields(o2));
  if (!ok) {
    FUZZ_CHECK(!error.empty());
    FUZZ_CHECK(newline || error.find('\n') == std::string::npos);  // one line, unless an argument spans two
  } else {
    FUZZ_CHECK(error.empty());
    FUZZ_CHECK(o.digits >= 1 && o.digits <= CLI_MAX_DIGITS);
    FUZZ_CHECK(o.runs >= 1 && o.runs <= CLI_MAX_RUNS);
    FUZZ_CHECK(o.threads >= 1 && o.threads <= CLI_MAX_THREADS && (!o.threads_all || o.threads == 1));
    FUZZ_CHECK(o.parallel >= 1 && o.parallel <= CLI_MAX_PARALLEL && (!o.parallel_all || o.parallel == 1));
    FUZZ_CHECK(o.help || o.version || (o.threads == 1 && !o.threads_all) || (o.parallel == 1 && !o.parallel_all));
    FUZZ_CHECK(o.stress_seconds >= 0 && o.stress_seconds <= CLI_MAX_STRESS_SECONDS && (o.stress || !o.stress_seconds));
    FUZZ_CHECK(o.runs_given || o.runs == BENCHMARK_RUNS);
    FUZZ_CHECK(o.help || o.version || !o.stress || (!o.runs_given && o.output.empty() && o.verify));
    // A file name is an argument or the part of one after "--output=".
    bool named = o.output.empty();
    for (size_t i = 1; i < args.size() && !named; ++i) named = args[i] == o.output || args[i] == "--output=" + o.output;
    FUZZ_CHECK(named);
  }
  for (size_t i = 1; i < args.size(); ++i) {
    int64_t seconds = -1, expected = 0;
    const bool accepted = parse_duration(args[i], &seconds);
    FUZZ_CHECK(accepted == reference_duration(args[i], &expected));
    FUZZ_CHECK(!accepted || seconds == expected);
    // The argument as each count's value: taken exactly when it is a whole
    // number within that count's range (both ends included).
    int64_t value = 0;
    const bool number = reference_number(args[i], &value);
    using Count = int32_t CliOptions::*;
    using All = bool CliOptions::*;
    const std::tuple<const char*, int32_t, Count, All> counts[] = {
        {"--digits=", CLI_MAX_DIGITS, &CliOptions::digits, nullptr},
        {"--runs=", CLI_MAX_RUNS, &CliOptions::runs, nullptr},
        {"--threads=", CLI_MAX_THREADS, &CliOptions::threads, &CliOptions::threads_all},
        {"--parallel=", CLI_MAX_PARALLEL, &CliOptions::parallel, &CliOptions::parallel_all}};
    for (const auto& [option, max, count, all] : counts) {
      const std::string arg = option + args[i];
      const char* one[] = {"morlant-cli", arg.c_str(), nullptr};
      CliOptions c;
      std::string e;
      const bool in_range = number && value >= 1 && value <= max;
      if (parse_cli_options(2, one, &c, &e)) {
        FUZZ_CHECK((in_range && value == c.*count) || (all != nullptr && c.*all));
      } else {
        FUZZ_CHECK(!in_range);
      }
    }
  }
  return 0;
}
