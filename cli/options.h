// Command line of morlant-cli, parsed into a record without side effects.
#ifndef MORLANT_CLI_OPTIONS_H
#define MORLANT_CLI_OPTIONS_H

#include <cstdint>
#include <string>
#include <string_view>

#include "bench/benchmark.h"
#include "fft/team.h"

// The largest --digits: the most correct digits the longest supported
// transform (2^25 words) guarantees with the fewest digits per word it may
// choose there (3): 3 x 2^25 less the guard digits. It still selects that
// transform, so no workload of the longest length is lost.
constexpr int32_t CLI_MAX_DIGITS = 100663288;
constexpr int32_t CLI_MAX_RUNS = 100;
constexpr int32_t CLI_MAX_THREADS = 256;
constexpr int32_t CLI_MAX_PARALLEL = kTeamMaxMembers;
constexpr int64_t CLI_MAX_STRESS_SECONDS = 1000 * 3600;  // 1000 hours

struct CliOptions {
  int32_t digits = BENCHMARK_DIGITS;
  int32_t runs = BENCHMARK_RUNS;
  int32_t threads = 1;       // computations at once; see threads_all
  bool threads_all = false;  // --threads all: one per logical processor
  int32_t parallel = 1;       // threads sharing each computation; see parallel_all
  bool parallel_all = false;  // --parallel all: one per logical processor
  bool stress = false;       // repeat computations until stress_seconds or an error
  int64_t stress_seconds = 0;  // 0: until interrupted
  bool json = false;    // one JSON document on stdout instead of the text report
  bool verify = true;   // check every run's digits against the reference digests
  bool quiet = false;   // no progress on stderr
  bool help = false;
  bool version = false;
  bool runs_given = false;  // --runs appeared (refused with --stress)
  std::string output;  // file for the last run's digits; empty: none
};

// Parses argv[1 .. argc-1] into *options (defaults for what is not given; an
// option given twice keeps its last value). On a bad command line returns
// false with a one-line description in *error (without the program's name).
bool parse_cli_options(int argc, const char* const* argv, CliOptions* options, std::string* error);

// A stress duration: a whole number of seconds, minutes or hours ("90s",
// "30m", "2h"; a bare number is seconds), 1 s to CLI_MAX_STRESS_SECONDS.
// Returns false for anything else.
bool parse_duration(std::string_view text, int64_t* seconds);

// True for any workload other than the standard benchmark's.
bool cli_is_custom(const CliOptions& options);

// The digits to ask of each computation so that at least `requested` of its
// digits are guaranteed correct, whichever digits per word the transform
// length may choose (the reference table lists them): `requested` itself
// when its own length guarantees them, else a count that selects the next
// length that does. 0 when no supported length can.
int32_t cli_digits_to_compute(int32_t requested);

// The --help text.
std::string cli_usage();

#endif  // MORLANT_CLI_OPTIONS_H
