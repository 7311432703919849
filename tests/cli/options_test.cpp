// Command lines accepted and refused by the option parser.
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

TEST(Options, ValidCommandLines) {
  const struct {
    std::initializer_list<const char*> args;
    int32_t digits, runs;
    bool json, verify, quiet, help, version;
    const char* output;
  } cases[] = {
      {{}, 8388608, 5, false, true, false, false, false, ""},
      {{"--digits", "1000000", "--runs", "2"}, 1000000, 2, false, true, false, false, false, ""},
      {{"--digits=1", "--runs=100"}, 1, 100, false, true, false, false, false, ""},
      {{"--digits", "100663288"}, 100663288, 5, false, true, false, false, false, ""},
      {{"--digits", "000100"}, 100, 5, false, true, false, false, false, ""},
      {{"--digits", "10", "--digits", "20", "--runs", "3", "--runs", "1"}, 20, 1, false, true, false, false, false, ""},
      {{"--json", "--no-verify", "-q", "--output", "pi.txt"}, 8388608, 5, true, false, true, false, false, "pi.txt"},
      {{"--no-verify", "--verify"}, 8388608, 5, false, true, false, false, false, ""},
      {{"--verify", "--no-verify"}, 8388608, 5, false, false, false, false, false, ""},
      {{"--output=a=b.txt", "--quiet"}, 8388608, 5, false, true, true, false, false, "a=b.txt"},
      {{"--output", "-"}, 8388608, 5, false, true, false, false, false, "-"},
      {{"-h"}, 8388608, 5, false, true, false, true, false, ""},
      {{"--help", "--version"}, 8388608, 5, false, true, false, true, true, ""},
      // A refused combination does not stand in the way of --help.
      {{"--stress", "--runs", "2", "--help"}, 8388608, 2, false, true, false, true, false, ""},
  };
  for (const auto& c : cases) {
    CliOptions o;
    std::string error = "stale";
    ASSERT_TRUE(parse(c.args, &o, &error)) << error;
    EXPECT_EQ(error, "");
    EXPECT_TRUE(o.digits == c.digits && o.runs == c.runs && o.output == c.output) << o.digits << " " << o.runs;
    EXPECT_TRUE(o.json == c.json && o.verify == c.verify && o.quiet == c.quiet && o.help == c.help &&
                o.version == c.version);
  }
}

TEST(Options, InvalidCommandLinesNameTheProblem) {
  const char* digits_range = "--digits needs a whole number from 1 to 100663288, got ";
  const char* threads_range = "--threads needs a whole number from 1 to 256, got ";
  const char* stress_value = "--stress takes a duration such as 90s, 30m or 2h (1 s to 1000 h), got ";
  const char* runs_range = "--runs needs a whole number from 1 to 100, got ";
  const struct {
    std::initializer_list<const char*> args;
    std::string error;
  } cases[] = {
      {{"--digits", "abc"}, digits_range + std::string("'abc'")},
      {{"--digits"}, digits_range + std::string("nothing")},
      {{"--digits="}, digits_range + std::string("''")},
      {{"--digits", "0"}, digits_range + std::string("'0'")},
      {{"--digits", "100663289"}, digits_range + std::string("'100663289'")},
      {{"--digits", "134217728"}, digits_range + std::string("'134217728'")},
      {{"--threads", "0"}, threads_range + std::string("'0'") + " (or 'all')"},
      {{"--threads", "257"}, threads_range + std::string("'257'") + " (or 'all')"},
      {{"--threads", "All"}, threads_range + std::string("'All'") + " (or 'all')"},
      {{"--threads"}, threads_range + std::string("nothing (or 'all')")},
      {{"--stress", "soon"}, stress_value + std::string("'soon'")},
      {{"--stress=0s"}, stress_value + std::string("'0s'")},
      {{"--stress="}, stress_value + std::string("''")},
      {{"--stress", "1001h"}, stress_value + std::string("'1001h'")},
      {{"--stress", "--runs", "2"}, "--runs cannot be combined with --stress: a stress test repeats computations until it ends"},
      {{"--stress", "1m", "--output", "pi.txt"}, "--output cannot be combined with --stress"},
      {{"--no-verify", "--stress"}, "--no-verify cannot be combined with --stress: a stress test checks every run"},
      {{"--no-verify=1"}, "--no-verify takes no value"},
      {{"--digits", "99999999999999999999999"}, digits_range + std::string("'99999999999999999999999'")},
      {{"--digits", "4294967297"}, digits_range + std::string("'4294967297'")},  // wraps to 1 in 32 bits
      {{"--digits", "-5"}, digits_range + std::string("'-5'")},
      {{"--digits", "+5"}, digits_range + std::string("'+5'")},
      {{"--digits", "12abc"}, digits_range + std::string("'12abc'")},
      {{"--digits", " 12"}, digits_range + std::string("' 12'")},
      {{"--digits", "1e6"}, digits_range + std::string("'1e6'")},
      {{"--digits", "0x10"}, digits_range + std::string("'0x10'")},
      {{"--runs", "0"}, runs_range + std::string("'0'")},
      {{"--runs", "101"}, runs_range + std::string("'101'")},
      {{"--runs", "2.5"}, runs_range + std::string("'2.5'")},
      {{"--runs", "--json"}, runs_range + std::string("'--json'")},
      {{"--output"}, "--output needs a file name"},
      {{"--output="}, "--output needs a file name"},
      {{"--bogus"}, "unknown option '--bogus' (see --help)"},
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

TEST(Options, StressAndThreads) {
  const struct {
    std::initializer_list<const char*> args;
    int64_t seconds;  // 0: until interrupted
    int32_t threads;
    bool all;
  } cases[] = {
      {{"--stress"}, 0, 1, false},
      {{"--stress", "--threads", "all"}, 0, 1, true},  // a following option is no duration
      {{"--stress", "90s", "--threads", "3"}, 90, 3, false},
      {{"--stress=30m"}, 1800, 1, false},
      {{"--stress", "2h", "--stress"}, 0, 1, false},  // the last one counts
      {{"--stress", "45"}, 45, 1, false},
      {{"--threads=all", "--threads", "256"}, 0, 256, false},
  };
  for (const auto& c : cases) {
    CliOptions o;
    std::string error;
    ASSERT_TRUE(parse(c.args, &o, &error)) << error;
    EXPECT_EQ(o.stress_seconds, c.seconds);
    EXPECT_EQ(o.threads, c.threads);
    EXPECT_EQ(o.threads_all, c.all);
  }
}

TEST(Options, Durations) {
  const struct {
    const char* text;
    int64_t seconds;  // -1: refused
  } cases[] = {{"1", 1},        {"1s", 1},      {"90s", 90},       {"30m", 1800},    {"2h", 7200},
               {"1000h", 3600000}, {"3600000s", 3600000}, {"60000m", 3600000},   {"60001m", -1},   {"1001h", -1},
               {"0", -1},       {"0h", -1},     {"", -1},          {"s", -1},        {"1.5h", -1},
               {"-5s", -1},     {"5 s", -1},    {"5S", -1},        {"5d", -1},       {"1h30m", -1},
               {"99999999999h", -1}};
  for (const auto& c : cases) {
    int64_t seconds = -1;
    EXPECT_EQ(parse_duration(c.text, &seconds), c.seconds >= 0) << c.text;
    if (c.seconds >= 0) {
      EXPECT_EQ(seconds, c.seconds) << c.text;
    }
  }
}

// The digits computed for an --output count: the count itself where its
// length guarantees it, the next length where not, and none past the last.
TEST(Options, DigitsToComputeDeliverTheCountAskedFor) {
  const struct {
    int32_t requested, computed;
  } cases[] = {
      {1, 1},
      {6, 6},  // 2 words x 4 digits guarantee 6
      {1022, 1022},
      {1024, 4 << 9},  // 1024 selects 2^8 words (1022 guaranteed): computed at 2^9
      {65528, 65528},
      {65536, 131072},  // the example of 8 guard digits at 2^14
      {2097144, 2097144},
      // From 2^20 on the length may choose 3 digits a word: 3 x 2^20 - 8.
      {3145720, 3145720},
      {3145721, 4 << 21},
      {8388608, 4 << 22},  // the standard count, which 2^21 words cannot guarantee
      {100663288, 100663288},
      {100663289, 0},
      {0, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(cli_digits_to_compute(c.requested), c.computed) << c.requested;
}

TEST(Options, OnlyTheStandardWorkloadIsNotCustom) {
  CliOptions o;
  EXPECT_FALSE(cli_is_custom(o));
  o.digits = 1000;
  EXPECT_TRUE(cli_is_custom(o));
  o.digits = BENCHMARK_DIGITS;
  o.runs = 1;
  EXPECT_TRUE(cli_is_custom(o));
  o.runs = BENCHMARK_RUNS;
  o.json = o.verify = true;
  EXPECT_FALSE(cli_is_custom(o));
}

}  // namespace
