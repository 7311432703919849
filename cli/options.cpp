// Argument parsing: long options with their value either in the next
// argument or after '='.
#include "cli/options.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "bench/pi_reference.h"
#include "bignum/compute_pi.h"

namespace {

// A whole decimal number made of digits only (no sign, blank or suffix)
// within lo ... hi; leading zeros do not count against it.
bool parse_count(std::string_view text, int32_t lo, int32_t hi, int32_t* out) {
  if (text.empty()) return false;
  int64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = std::min(v * 10 + (c - '0'), int64_t{hi} + 1);  // saturates just past hi
  }
  if (v < lo || v > hi) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

std::string count_error(std::string_view option, int32_t lo, int32_t hi, const char* value) {
  std::string text =
      std::string(option) + " needs a whole number from " + std::to_string(lo) + " to " + std::to_string(hi) + ", got ";
  return value == nullptr ? text + "nothing" : text + "'" + value + "'";
}

// A count or "all" (*all set, *count 1 until the program resolves it against
// the machine): --threads and --parallel. False, with the message in
// *error, for anything else.
bool parse_count_or_all(std::string_view option, const char* value, int32_t hi, int32_t* count, bool* all,
                        std::string* error) {
  *all = value != nullptr && std::string_view(value) == "all";
  if (*all) {
    *count = 1;
    return true;
  }
  if (value != nullptr && parse_count(value, 1, hi, count)) return true;
  *error = count_error(option, 1, hi, value) + " (or 'all')";
  return false;
}

// Whether a following argument can be --stress's optional duration: it is
// taken unless it is another option.
bool is_value(const char* next) { return next != nullptr && next[0] != '-'; }

}  // namespace

bool parse_duration(std::string_view text, int64_t* seconds) {
  int64_t unit = 1;
  if (!text.empty()) {
    const char last = text.back();
    if (last == 's' || last == 'm' || last == 'h') {
      unit = last == 's' ? 1 : last == 'm' ? 60 : 3600;
      text.remove_suffix(1);
    }
  }
  int32_t count = 0;
  if (!parse_count(text, 1, static_cast<int32_t>(CLI_MAX_STRESS_SECONDS), &count)) return false;
  if (count * unit > CLI_MAX_STRESS_SECONDS) return false;
  *seconds = count * unit;
  return true;
}

bool parse_cli_options(int argc, const char* const* argv, CliOptions* options, std::string* error) {
  *options = CliOptions{};
  error->clear();
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.size() < 2 || arg[0] != '-') {
      *error = "unexpected argument '" + std::string(arg) + "' (see --help)";
      return false;
    }
    // "--name=value" carries its value inline; otherwise a value option
    // takes the next argument.
    const std::size_t eq = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string_view::npos;
    const std::string_view name = arg.substr(0, eq);
    const std::string inline_value = eq == std::string_view::npos ? std::string() : std::string(arg.substr(eq + 1));
    const bool has_inline = eq != std::string_view::npos;

    auto take_value = [&]() -> const char* {
      if (has_inline) return inline_value.c_str();
      if (i + 1 < argc) return argv[++i];
      return nullptr;
    };

    bool* flag = nullptr;
    if (name == "--json")
      flag = &options->json;
    else if (name == "--verify")
      flag = &options->verify;  // the default; kept for older command lines
    else if (name == "--quiet" || name == "-q")
      flag = &options->quiet;
    else if (name == "--help" || name == "-h")
      flag = &options->help;
    else if (name == "--version")
      flag = &options->version;
    if (flag != nullptr) {
      if (has_inline) {
        *error = std::string(name) + " takes no value";
        return false;
      }
      *flag = true;
    } else if (name == "--no-verify") {
      if (has_inline) {
        *error = "--no-verify takes no value";
        return false;
      }
      options->verify = false;
    } else if (name == "--stress") {
      options->stress = true;
      options->stress_seconds = 0;
      const char* value = has_inline ? inline_value.c_str() : is_value(i + 1 < argc ? argv[i + 1] : nullptr) ? argv[++i] : nullptr;
      if (value != nullptr && !parse_duration(value, &options->stress_seconds)) {
        *error = std::string("--stress takes a duration such as 90s, 30m or 2h (1 s to 1000 h), got '") + value + "'";
        return false;
      }
    } else if (name == "--threads" || name == "--parallel") {
      const bool threads = name == "--threads";
      if (!parse_count_or_all(name, take_value(), threads ? CLI_MAX_THREADS : CLI_MAX_PARALLEL,
                              threads ? &options->threads : &options->parallel,
                              threads ? &options->threads_all : &options->parallel_all, error))
        return false;
    } else if (name == "--digits" || name == "--runs") {
      const bool digits = name == "--digits";
      const int32_t hi = digits ? CLI_MAX_DIGITS : CLI_MAX_RUNS;
      const char* value = take_value();
      if (value == nullptr || !parse_count(value, 1, hi, digits ? &options->digits : &options->runs)) {
        *error = count_error(name, 1, hi, value);
        return false;
      }
      if (!digits) options->runs_given = true;
    } else if (name == "--output") {
      const char* value = take_value();
      if (value == nullptr || *value == '\0') {
        *error = "--output needs a file name";
        return false;
      }
      options->output = value;
    } else {
      *error = "unknown option '" + std::string(arg) + "' (see --help)";
      return false;
    }
  }
  if (options->help || options->version) return true;
  if ((options->threads > 1 || options->threads_all) && (options->parallel > 1 || options->parallel_all)) {
    *error = "--parallel and --threads cannot be combined: --threads N runs N computations at once, --parallel N "
             "shares one computation among N threads";
  } else if (options->stress) {
    if (options->runs_given)
      *error = "--runs cannot be combined with --stress: a stress test repeats computations until it ends";
    else if (!options->output.empty())
      *error = "--output cannot be combined with --stress";
    else if (!options->verify)
      *error = "--no-verify cannot be combined with --stress: a stress test checks every run";
  }
  return error->empty();
}

bool cli_is_custom(const CliOptions& options) {
  return options.digits != BENCHMARK_DIGITS || options.runs != BENCHMARK_RUNS;
}

int32_t cli_digits_to_compute(int32_t requested) {
  if (requested < 1) return 0;
  const int32_t own = pi_transform_length(requested);  // the length `requested` selects by itself
  for (int32_t length = own; length <= (int32_t{1} << 29); length *= 2) {
    // The fewest digits per word this length may choose; a length without
    // any reference entry is not supported.
    int32_t fewest = 1;
    while (fewest <= 4 && pi_reference_for_length(length, fewest) == nullptr) ++fewest;
    if (fewest > 4) return 0;
    if (pi_guaranteed_digits(static_cast<uint32_t>(fewest) * static_cast<uint32_t>(length)) >=
        static_cast<uint32_t>(requested))
      return length == own ? requested : 4 * length;  // 4 x length digits select that length
  }
  return 0;
}

std::string cli_usage() {
  char text[4096];
  std::snprintf(text, sizeof text,
                "Usage: morlant-cli [options]\n"
                "\n"
                "Computes pi to %d decimal digits %d times in a row and reports the\n"
                "total time and the score: the desktop program's benchmark, headless.\n"
                "\n"
                "Options:\n"
                "  --digits N     digits per run, 1 to %d (default %d); the maximum\n"
                "                 is all the longest computation guarantees\n"
                "  --runs N       computations, 1 to %d (default %d)\n"
                "                 Any other workload than the default is a custom run;\n"
                "                 its score is not comparable to the standard score.\n"
                "  --threads N    N independent computations at once, each on its own\n"
                "                 thread with its own memory, 1 to %d, or 'all' for one\n"
                "                 per logical processor: how much the machine computes\n"
                "                 in a given time. Each thread runs the whole plan; the\n"
                "                 report gives every thread's score and their sum, a\n"
                "                 multi-thread throughput that is not comparable to the\n"
                "                 standard score.\n"
                "  --parallel N   one computation at a time shared by N threads, 1 to %d,\n"
                "                 or 'all' for one per logical processor: how fast one\n"
                "                 number is computed when every core works on it. The\n"
                "                 digits are the same as on one thread; the score is not\n"
                "                 comparable to the standard single-thread score. Not\n"
                "                 with --threads above 1.\n"
                "  --stress [DURATION]\n"
                "                 stability test: repeat computations of --digits digits\n"
                "                 (on every thread) until DURATION has passed (90s, 30m,\n"
                "                 2h; without one, until Ctrl+C), a run fails or a digit is\n"
                "                 wrong. Every run is checked against the built-in digests\n"
                "                 and the first verified run; the first error is reported\n"
                "                 with its run, thread, time and position.\n"
                "  --no-verify    skip the check of each run's digits against the digests\n"
                "                 built into the program. By default every run is checked\n"
                "                 after its timed part; a run with a wrong digit counts as\n"
                "                 failed and adds nothing to the score.\n"
                "  --verify       the default, accepted for older command lines\n"
                "  --output FILE  write the last run's digits to FILE as \"3.1415...\": all\n"
                "                 N digits asked for, each one correct. When the length\n"
                "                 that N selects cannot guarantee N digits, every run\n"
                "                 computes at the next length (a custom run). FILE appears\n"
                "                 only once it is complete.\n"
                "  --json         print one JSON document on standard output\n"
                "  -q, --quiet    no progress on standard error\n"
                "  -h, --help     print this help and exit\n"
                "  --version      print the version and exit\n"
                "\n"
                "Values may also be given as --digits=N. An option given twice keeps its\n"
                "last value. Progress and diagnostics go to standard error. Ctrl+C stops\n"
                "a benchmark (nothing is written to --output) and ends a stress test\n"
                "with its summary.\n"
                "\n"
                "Exit status: 0 success, or a stress test that found no error; 1 a failed\n"
                "or wrong run, a stress test that found an error, or an output file that\n"
                "could not be written; 2 a bad command line or too little memory for the\n"
                "threads asked for; 130 interrupted by Ctrl+C (a stress test with a\n"
                "duration, or a benchmark).\n",
                BENCHMARK_DIGITS, BENCHMARK_RUNS, CLI_MAX_DIGITS, BENCHMARK_DIGITS, CLI_MAX_RUNS, BENCHMARK_RUNS,
                CLI_MAX_THREADS, CLI_MAX_PARALLEL);
  return text;
}
