// Progress lines and the writer's redraw and throttle. (A quiet writer's one
// forced line is morlant-cli's end-to-end tests: a wrong run under --quiet.)
#include "cli/progress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

namespace {

TEST(CliProgress, Durations) {
  const std::pair<double, const char*> cases[] = {
      {0, "0.0s"},    {-3, "0.0s"},      {12.34, "12.3s"},  {59.94, "59.9s"},  {59.96, "1:00"},
      {83.4, "1:23"}, {3599.4, "59:59"}, {3600, "1:00:00"}, {3723, "1:02:03"}, {1e9 / 0.0 * 0, "0.0s"}};
  for (const auto& [seconds, want] : cases) EXPECT_EQ(format_duration(seconds), want) << seconds;
}

TEST(CliProgress, LinesShowStepDigitsElapsedAndTimeLeft) {
  const struct { int32_t step, total; uint32_t digits; double elapsed; bool bar; const char* want; } cases[] = {
      {19, 95, 65536, 10.0, false, "step 19/95 (20%): 65536 digits, 10.0s elapsed, ~40.0s left"},
      {0, 95, 0, 0.0, false, "step 0/95 (0%): 0 digits, 0.0s elapsed, estimating"},
      {95, 95, 8388608, 75.0, false, "step 95/95 (100%): 8388608 digits, 1:15 elapsed, ~0.0s left"},
      {120, 95, 100, 1.0, false, "step 95/95 (100%): 100 digits, 1.0s elapsed, ~0.0s left"},  // clamped
      {1, 95, 48, 2.0, false, "step 1/95 (1%): 48 digits, 2.0s elapsed, ~3:08 left"},
      {48, 95, 1024, 30.0, true, "[########........]  50%  step 48/95  1024 digits  30.0s elapsed  ~29.4s left"},
      {95, 95, 8388608, 4000.0, true,
       "[################] 100%  step 95/95  8388608 digits  1:06:40 elapsed  ~0.0s left"},
      {0, 0, 0, 0.0, true, "[................]   0%  step 0/1  0 digits  0.0s elapsed  estimating"},
  };
  for (const auto& c : cases) {
    const std::string line = format_progress(c.step, c.total, c.digits, c.elapsed, c.bar);
    EXPECT_EQ(line, c.want);
    EXPECT_LE(line.size(), 80u);
  }
}

// What a writer on a temporary file wrote while `use` drove it.
template <typename Use>
std::string written(bool terminal, bool quiet, int32_t total, uint32_t max_digits, double start_ms, Use use) {
  std::FILE* f = std::tmpfile();
  if (f == nullptr) return "no temporary file";
  ProgressWriter w(f, terminal, quiet, total, max_digits, start_ms);
  use(w);
  w.finish();
  std::string text(static_cast<size_t>(std::ftell(f)), '\0');
  std::rewind(f);
  text.resize(std::fread(text.data(), 1, text.size(), f));
  std::fclose(f);
  return text;
}

// Printed: step 1 (first), 5 (1200 ms after it), 9, and 10 (last); digits capped at 5000.
TEST(CliProgress, PlainWriterThrottlesToOneLinePerSecondPlusFirstAndLast) {
  EXPECT_EQ(written(false, false, 10, 5000, 1000.0,
                    [](ProgressWriter& w) {
                      for (int32_t step = 1; step <= 10; ++step) w.step(step, 9999, 1000.0 + 300.0 * step);
                    }),
            "step 1/10 (10%): 5000 digits, 0.3s elapsed, ~2.7s left\n"
            "step 5/10 (50%): 5000 digits, 1.5s elapsed, ~1.5s left\n"
            "step 9/10 (90%): 5000 digits, 2.7s elapsed, ~0.3s left\n"
            "step 10/10 (100%): 5000 digits, 3.0s elapsed, ~0.0s left\n");
}

TEST(CliProgress, TerminalWriterRedrawsInPlaceAndKeepsLinesAboveTheBar) {
  const std::string out = written(true, false, 4, 1u << 30, 0.0, [](ProgressWriter& w) {
    w.step(1, 10, 1000.0);
    w.step(2, 20, 1050.0);  // within 100 ms: skipped
    w.line("run 1/2: 1.000 sec, score 5");
    w.step(3, 30, 1100.0);
    w.step(4, 40, 1120.0);  // the last step is always drawn
  });
  const std::string bar1 = format_progress(1, 4, 10, 1.0, true);
  EXPECT_EQ(out, "\r" + bar1 + "\r" + std::string(bar1.size(), ' ') + "\r" + "run 1/2: 1.000 sec, score 5\n" + "\r" +
                     format_progress(3, 4, 30, 1.1, true) + "\r" + format_progress(4, 4, 40, 1.12, true) + "\n");
}

}  // namespace
