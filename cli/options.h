// Command line of morlant-cli, parsed into a record without side effects.
#ifndef MORLANT_CLI_OPTIONS_H
#define MORLANT_CLI_OPTIONS_H

#include <cstdint>
#include <string>

#include "bench/benchmark.h"

constexpr int32_t CLI_MAX_DIGITS = 134217728;  // 2^27: the longest transform the program supports
constexpr int32_t CLI_MAX_RUNS = 100;

struct CliOptions {
  int32_t digits = BENCHMARK_DIGITS;
  int32_t runs = BENCHMARK_RUNS;
  bool json = false;    // one JSON document on stdout instead of the text report
  bool verify = false;  // check every run's digits against the reference digests
  bool quiet = false;   // no progress on stderr
  bool help = false;
  bool version = false;
  std::string output;  // file for the last run's digits; empty: none
};

// Parses argv[1 .. argc-1] into *options (defaults for what is not given; an
// option given twice keeps its last value). On a bad command line returns
// false with a one-line description in *error (without the program's name).
bool parse_cli_options(int argc, const char* const* argv, CliOptions* options, std::string* error);

// True for any workload other than the standard benchmark's.
bool cli_is_custom(const CliOptions& options);

// The --help text.
std::string cli_usage();

#endif  // MORLANT_CLI_OPTIONS_H
