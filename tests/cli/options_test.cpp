// Command lines accepted and refused by the option parser: exact values,
// precedence and messages (the fuzz target checks the parser's properties on
// arbitrary command lines, and every duration against an independent reading
// of the duration rules).
#include "cli/options.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace {

bool parse(std::initializer_list<const char*> args, CliOptions* options, std::string* error) {
  std::vector<const char*> argv{"morlant-cli"};
  argv.insert(argv.end(), args.begin(), args.end());
  return parse_cli_options(static_cast<int>(argv.size()), argv.data(), options, error);
}

// Every field of the record in one line: "digits x runs" and what differs
// from the defaults.
std::string describe(const CliOptions& o) {
  std::string s = std::to_string(o.digits) + " x " + std::to_string(o.runs);
  if (o.stress) s += " stress " + std::to_string(o.stress_seconds) + "s";
  if (o.threads != 1 || o.threads_all) s += " threads " + (o.threads_all ? "all" : std::to_string(o.threads));
  if (o.parallel != 1 || o.parallel_all) s += " parallel " + (o.parallel_all ? "all" : std::to_string(o.parallel));
  for (const auto& [on, name] : {std::pair{o.json, " json"}, {!o.verify, " no-verify"}, {o.quiet, " quiet"},
                                 {o.help, " help"}, {o.version, " version"}})
    if (on) s += name;
  return o.output.empty() ? s : s + " > " + o.output;
}

TEST(Options, ValidCommandLines) {
  const struct { std::initializer_list<const char*> args; const char* want; } cases[] = {
      {{}, "8388608 x 5"},
      {{"--digits", "1000000", "--runs", "2"}, "1000000 x 2"},
      {{"--digits=1", "--runs=100"}, "1 x 100"},
      {{"--digits", "100663288"}, "100663288 x 5"},
      {{"--digits", "000100"}, "100 x 5"},
      {{"--digits", "10", "--digits", "20", "--runs", "3", "--runs", "1"}, "20 x 1"},  // the last one counts
      {{"--json", "--no-verify", "-q", "--output", "pi.txt"}, "8388608 x 5 json no-verify quiet > pi.txt"},
      {{"--no-verify", "--verify"}, "8388608 x 5"},
      {{"--verify", "--no-verify"}, "8388608 x 5 no-verify"},
      {{"--output=a=b.txt", "--quiet"}, "8388608 x 5 quiet > a=b.txt"},
      {{"--output", "-"}, "8388608 x 5 > -"},
      {{"-h"}, "8388608 x 5 help"},
      {{"--help", "--version"}, "8388608 x 5 help version"},
      // A refused combination does not stand in the way of --help.
      {{"--stress", "--runs", "2", "--help"}, "8388608 x 2 stress 0s help"},
      {{"--stress"}, "8388608 x 5 stress 0s"},
      {{"--stress", "--threads", "all"}, "8388608 x 5 stress 0s threads all"},  // a following option is no duration
      {{"--stress", "90s", "--threads", "3"}, "8388608 x 5 stress 90s threads 3"},
      {{"--stress=30m"}, "8388608 x 5 stress 1800s"},
      {{"--stress", "1000h"}, "8388608 x 5 stress 3600000s"},
      {{"--stress", "2h", "--stress"}, "8388608 x 5 stress 0s"},
      {{"--stress", "45"}, "8388608 x 5 stress 45s"},
      {{"--threads=all", "--threads", "256"}, "8388608 x 5 threads 256"},
      {{"--parallel", "256", "--stress"}, "8388608 x 5 stress 0s parallel 256"},
      // One of the two at 1 leaves nothing to conflict.
      {{"--parallel=all", "--threads", "1"}, "8388608 x 5 parallel all"},
      {{"--threads", "all", "--parallel", "1"}, "8388608 x 5 threads all"},
      {{"--threads", "2", "--parallel", "2", "--threads", "1"}, "8388608 x 5 parallel 2"},
      {{"--parallel", "all", "--threads", "all", "-h"}, "8388608 x 5 threads all parallel all help"},
  };
  for (const auto& c : cases) {
    CliOptions o;
    std::string error = "stale";
    ASSERT_TRUE(parse(c.args, &o, &error)) << error;
    EXPECT_EQ(error, "");
    EXPECT_EQ(describe(o), c.want);
  }
}

TEST(Options, InvalidCommandLinesNameTheProblem) {
  const std::string digits = "--digits needs a whole number from 1 to 100663288, got ";
  const std::string threads = "--threads needs a whole number from 1 to 256, got ";
  const std::string parallel = "--parallel needs a whole number from 1 to 256, got ";
  const std::string both = "--parallel and --threads cannot be combined: --threads N runs N computations at once, "
                           "--parallel N shares one computation among N threads";
  const std::string stress = "--stress takes a duration such as 90s, 30m or 2h (1 s to 1000 h), got ";
  const std::string runs = "--runs needs a whole number from 1 to 100, got ";
  const struct { std::initializer_list<const char*> args; std::string error; } cases[] = {
      {{"--digits", "abc"}, digits + "'abc'"},
      {{"--digits"}, digits + "nothing"},
      {{"--digits="}, digits + "''"},
      {{"--digits", "0"}, digits + "'0'"},
      {{"--digits", "100663289"}, digits + "'100663289'"},
      {{"--digits", "4294967297"}, digits + "'4294967297'"},  // wraps to 1 in 32 bits
      {{"--threads", "257"}, threads + "'257' (or 'all')"},
      {{"--threads", "All"}, threads + "'All' (or 'all')"},
      {{"--threads"}, threads + "nothing (or 'all')"},
      {{"--parallel", "0"}, parallel + "'0' (or 'all')"},
      {{"--parallel=257"}, parallel + "'257' (or 'all')"},
      {{"--parallel"}, parallel + "nothing (or 'all')"},
      {{"--parallel", "2", "--threads", "2"}, both},
      {{"--threads", "all", "--stress", "--parallel=all"}, both},
      {{"--stress=0s"}, stress + "'0s'"},
      {{"--stress="}, stress + "''"},
      {{"--stress=1001h"}, stress + "'1001h'"},
      {{"--stress=99999999999h"}, stress + "'99999999999h'"},  // beyond 32 bits
      {{"--stress", "--runs", "2"}, "--runs cannot be combined with --stress: a stress test repeats computations until it ends"},
      {{"--stress", "1m", "--output", "pi.txt"}, "--output cannot be combined with --stress"},
      {{"--no-verify", "--stress"}, "--no-verify cannot be combined with --stress: a stress test checks every run"},
      {{"--runs", "101"}, runs + "'101'"},
      {{"--runs", "--json"}, runs + "'--json'"},
      {{"--output="}, "--output needs a file name"},
      {{"-x"}, "unknown option '-x' (see --help)"},
      {{"--Digits", "5"}, "unknown option '--Digits' (see --help)"},
      {{"100"}, "unexpected argument '100' (see --help)"},
      {{"-"}, "unexpected argument '-' (see --help)"},
      {{"--json=yes"}, "--json takes no value"},
      {{"--verify", "--runs", "1", "--quiet=1"}, "--quiet takes no value"},
  };
  for (const auto& c : cases) {
    CliOptions o;
    std::string error;
    EXPECT_FALSE(parse(c.args, &o, &error)) << c.error;
    EXPECT_EQ(error, c.error);
  }
}

// The digits computed for an --output count: the count itself where its
// length guarantees it, the next length where not, and none past the last.
TEST(Options, DigitsToComputeDeliverTheCountAskedFor) {
  const std::pair<int32_t, int32_t> cases[] = {
      {1, 1},          {6, 6},  // 2 words x 4 digits guarantee 6
      {1022, 1022},    {1024, 4 << 9},  // 1024 selects 2^8 words (1022 guaranteed): computed at 2^9
      {65528, 65528},  {65536, 131072},  // the example of 8 guard digits at 2^14
      {2097144, 2097144},
      {3145720, 3145720}, {3145721, 4 << 21},  // from 2^20 on the length may choose 3 digits a word: 3 x 2^20 - 8
      {8388608, 4 << 22},  // the standard count, which 2^21 words cannot guarantee
      {100663288, 100663288}, {100663289, 0}, {0, 0}};
  for (const auto& [requested, computed] : cases) EXPECT_EQ(cli_digits_to_compute(requested), computed) << requested;
}

TEST(Options, OnlyTheStandardWorkloadIsNotCustom) {
  CliOptions standard, fewer_digits, fewer_runs, json;
  fewer_digits.digits = 1000, fewer_runs.runs = 1, json.json = json.verify = true;
  EXPECT_TRUE(!cli_is_custom(standard) && cli_is_custom(fewer_digits) && cli_is_custom(fewer_runs) && !cli_is_custom(json));
}

}  // namespace
