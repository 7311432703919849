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
      {{}, 8388608, 5, false, false, false, false, false, ""},
      {{"--digits", "1000000", "--runs", "2"}, 1000000, 2, false, false, false, false, false, ""},
      {{"--digits=1", "--runs=100"}, 1, 100, false, false, false, false, false, ""},
      {{"--digits", "134217728"}, 134217728, 5, false, false, false, false, false, ""},
      {{"--digits", "000100"}, 100, 5, false, false, false, false, false, ""},
      {{"--digits", "10", "--digits", "20", "--runs", "3", "--runs", "1"}, 20, 1, false, false, false, false, false, ""},
      {{"--json", "--verify", "-q", "--output", "pi.txt"}, 8388608, 5, true, true, true, false, false, "pi.txt"},
      {{"--output=a=b.txt", "--quiet"}, 8388608, 5, false, false, true, false, false, "a=b.txt"},
      {{"--output", "-"}, 8388608, 5, false, false, false, false, false, "-"},
      {{"-h"}, 8388608, 5, false, false, false, true, false, ""},
      {{"--help", "--version"}, 8388608, 5, false, false, false, true, true, ""},
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
  const char* digits_range = "--digits needs a whole number from 1 to 134217728, got ";
  const char* runs_range = "--runs needs a whole number from 1 to 100, got ";
  const struct {
    std::initializer_list<const char*> args;
    std::string error;
  } cases[] = {
      {{"--digits", "abc"}, digits_range + std::string("'abc'")},
      {{"--digits"}, digits_range + std::string("nothing")},
      {{"--digits="}, digits_range + std::string("''")},
      {{"--digits", "0"}, digits_range + std::string("'0'")},
      {{"--digits", "134217729"}, digits_range + std::string("'134217729'")},
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
