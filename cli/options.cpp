// Argument parsing: long options with their value either in the next
// argument or after '='.
#include "cli/options.h"

#include <cstdio>
#include <string_view>

namespace {

// A whole decimal number made of digits only (no sign, blank or suffix)
// within lo ... hi.
bool parse_count(std::string_view text, int32_t lo, int32_t hi, int32_t* out) {
  if (text.empty() || text.size() > 12) return false;
  int64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
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

}  // namespace

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
      flag = &options->verify;
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
    } else if (name == "--digits" || name == "--runs") {
      const bool digits = name == "--digits";
      const int32_t hi = digits ? CLI_MAX_DIGITS : CLI_MAX_RUNS;
      const char* value = take_value();
      if (value == nullptr || !parse_count(value, 1, hi, digits ? &options->digits : &options->runs)) {
        *error = count_error(name, 1, hi, value);
        return false;
      }
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
  return true;
}

bool cli_is_custom(const CliOptions& options) {
  return options.digits != BENCHMARK_DIGITS || options.runs != BENCHMARK_RUNS;
}

std::string cli_usage() {
  char text[2048];
  std::snprintf(text, sizeof text,
                "Usage: morlant-cli [options]\n"
                "\n"
                "Computes pi to %d decimal digits %d times in a row and reports the\n"
                "total time and the score: the desktop program's benchmark, headless.\n"
                "\n"
                "Options:\n"
                "  --digits N     digits per run, 1 to %d (default %d)\n"
                "  --runs N       computations, 1 to %d (default %d)\n"
                "                 Any other workload than the default is a custom run;\n"
                "                 its score is not comparable to the standard score.\n"
                "  --verify       check each run's digits against the reference digests\n"
                "                 built into the program (outside the timed part)\n"
                "  --output FILE  write the last run's digits to FILE as \"3.1415...\"; the\n"
                "                 file is opened (and emptied) before the computation\n"
                "  --json         print one JSON document on standard output\n"
                "  -q, --quiet    no progress on standard error\n"
                "  -h, --help     print this help and exit\n"
                "  --version      print the version and exit\n"
                "\n"
                "Values may also be given as --digits=N. An option given twice keeps its\n"
                "last value. Progress and diagnostics go to standard error.\n"
                "\n"
                "Exit status: 0 success; 1 a benchmark failure, a verification mismatch\n"
                "or an output file that could not be written; 2 a bad command line.\n",
                BENCHMARK_DIGITS, BENCHMARK_RUNS, CLI_MAX_DIGITS, BENCHMARK_DIGITS, CLI_MAX_RUNS, BENCHMARK_RUNS);
  return text;
}
