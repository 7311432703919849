// Progress lines and their writer.
#include "cli/progress.h"

#include <algorithm>
#include <cmath>

std::string format_duration(double seconds) {
  if (!(seconds >= 0)) seconds = 0;
  char text[32];
  if (seconds < 59.95) {
    std::snprintf(text, sizeof text, "%.1fs", seconds);
    return text;
  }
  const long long s = std::llround(seconds);
  if (s < 3600)
    std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
  else
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  return text;
}

std::string format_progress(int32_t step, int32_t total, uint32_t digits, double elapsed_seconds, bool bar) {
  if (total < 1) total = 1;
  if (step < 0) step = 0;
  if (step > total) step = total;
  const int percent = static_cast<int>(int64_t{step} * 100 / total);
  const std::string left =
      step > 0 ? "~" + format_duration(elapsed_seconds * (total - step) / step) + " left" : "estimating";
  char text[160];
  if (bar) {
    constexpr int kCells = 16;  // keeps the line within 80 columns
    char cells[kCells + 1];
    const int full = static_cast<int>(int64_t{step} * kCells / total);
    for (int i = 0; i < kCells; ++i) cells[i] = i < full ? '#' : '.';
    cells[kCells] = '\0';
    std::snprintf(text, sizeof text, "[%s] %3d%%  step %d/%d  %u digits  %s elapsed  %s", cells, percent, step, total,
                  digits, format_duration(elapsed_seconds).c_str(), left.c_str());
  } else {
    std::snprintf(text, sizeof text, "step %d/%d (%d%%): %u digits, %s elapsed, %s", step, total, percent, digits,
                  format_duration(elapsed_seconds).c_str(), left.c_str());
  }
  return text;
}

std::string format_stress_progress(int64_t runs, int32_t threads, bool error, double elapsed_seconds,
                                   double last_run_seconds) {
  char text[160];
  std::snprintf(text, sizeof text, "stress: %lld runs on %d thread%s, %d errors, %s elapsed, last run %s",
                static_cast<long long>(runs), threads, threads == 1 ? "" : "s", error ? 1 : 0,
                format_duration(elapsed_seconds).c_str(),
                runs > 0 ? format_duration(last_run_seconds).c_str() : "--");
  return text;
}

ProgressWriter::ProgressWriter(std::FILE* out, bool terminal, bool quiet, int32_t total_steps, uint32_t digit_cap,
                               double start_ms)
    : out_(out),
      terminal_(terminal),
      quiet_(quiet || out == nullptr),
      total_(total_steps),
      digit_cap_(digit_cap),
      start_ms_(start_ms) {}

void ProgressWriter::step(int32_t step, uint32_t digits, double clock_ms) {
  if (quiet_) return;
  const bool edge = step <= 1 || step >= total_;
  if (!edge && clock_ms - last_ms_ < (terminal_ ? 100.0 : 1000.0)) return;
  status(format_progress(step, total_, std::min(digits, digit_cap_), (clock_ms - start_ms_) * 0.001, terminal_),
         clock_ms, true);
}

void ProgressWriter::status(const std::string& text, double clock_ms, bool edge) {
  if (quiet_) return;
  if (!edge && clock_ms - last_ms_ < (terminal_ ? 100.0 : 1000.0)) return;
  last_ms_ = clock_ms;
  if (terminal_) {
    // Pad over the rest of a longer previous bar.
    const std::size_t pad = bar_width_ > text.size() ? bar_width_ - text.size() : 0;
    std::fprintf(out_, "\r%s%*s", text.c_str(), static_cast<int>(pad), "");
    bar_width_ = text.size() + pad;
  } else {
    std::fprintf(out_, "%s\n", text.c_str());
  }
  std::fflush(out_);
}

void ProgressWriter::clear_bar() {
  if (bar_width_ == 0) return;
  std::fprintf(out_, "\r%*s\r", static_cast<int>(bar_width_), "");
  bar_width_ = 0;
}

void ProgressWriter::line(const std::string& text, bool always) {
  if (out_ == nullptr || (quiet_ && !always)) return;
  clear_bar();
  std::fprintf(out_, "%s\n", text.c_str());
  std::fflush(out_);
  last_ms_ = -1e300;  // redraw the bar at the next step
}

void ProgressWriter::finish() {
  if (quiet_ || bar_width_ == 0) return;
  std::fputc('\n', out_);
  std::fflush(out_);
  bar_width_ = 0;
}

int32_t ProgressWriter::callback(int32_t step, uint32_t digits, void* user, double, double clock_ms) {
  static_cast<ProgressWriter*>(user)->step(step, digits, clock_ms);
  return 0;
}
