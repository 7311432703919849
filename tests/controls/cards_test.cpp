// The cards' texts and the information card's rows read back from a real
// card window at 96 DPI; the scaling of lengths named at 96 DPI.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "controls/cards.h"
#include "controls/drawing.h"
#include "tests/controls/controls_test_support.h"

namespace {

TEST(ScaleForDpi, RoundsToNearestWithHalvesAwayFromZero) {
  const int cases[][3] = {{0, 96, 0},       {-7, 96, -7},     {11, 120, 14},   {22, 120, 28},  {50, 120, 63},
                          {55, 144, 83},    {-50, 120, -63},  {-55, 144, -83}, {1, 48, 1},     {-1, 48, -1},
                          {1, 47, 0},       {3, 144, 5},      {515, 144, 773}, {400, 192, 800},
                          {2147483647, 96, 2147483647},       {-2147483647 - 1, 96, -2147483647 - 1},
                          {1000000000, 192, 2000000000}};
  for (const auto& c : cases) EXPECT_EQ(scale_for_dpi(c[0], c[1]), c[2]) << c[0] << " at " << c[1];
}

TEST(ResultCardLines, FormatsCorrectlyRoundedOrDashes) {
  const struct { uint8_t has_result; double score, seconds; const wchar_t *score_line, *time_line; } cases[] = {
      {1, 123456, 7.25, L"123456", L"7.250 sec"},
      {1, 0.5, 12.3456, L"0", L"12.346 sec"},  // ties to even
      {1, 2.5, 0.0625, L"2", L"0.062 sec"},    // exact ties to even
      {1, 3.5, 0.0005, L"4", L"0.001 sec"},    // 0.0005 is a little above the tie in binary
      {1, 1.5, 1.0005, L"2", L"1.000 sec"},    // 1.0005 is a little below it
      {1, 1e23, 2.0625, L"99999999999999991611392", L"2.062 sec"},  // every digit exact
      {0, 123456, 7.25, L"--", L"--"},
      {2, 123456, 7.25, L"--", L"--"},  // only 1 means a result
  };
  wchar_t score[128], time[128];
  for (const auto& c : cases) {
    format_result_lines({c.has_result, c.seconds, c.score}, score, 128, time, 128);
    EXPECT_STREQ(score, c.score_line) << c.score;
    EXPECT_STREQ(time, c.time_line) << c.seconds;
  }
  format_result_lines({1, 7.25, 123456}, score, 4, time, 2);
  EXPECT_EQ(std::wstring(score) + L" | " + time, L"123 | 7") << "cut to the buffers";
}

SystemInfo base_info() { return {"Fake CPU", 8, 8, 0, 32768, "Windows", "10.0.19045", "x64"}; }

TEST(SysInfoCardRows, OrderLabelsAndValues) {
  using Rows = std::vector<std::pair<std::wstring, std::wstring>>;
  const Rows base = {{L"CPU:", L"Fake CPU"}, {L"Cores:", L"8 cores (8 logical)"}, {L"Memory:", L"32768 MB"},
                     {L"OS:", L"Windows 10.0.19045"}, {L"Architecture:", L"x64"}};
  // The base rows with one value changed, or with a row inserted at `index`.
  const auto with = [&](size_t index, const std::wstring& label, const std::wstring& value) {
    Rows rows = base;
    if (rows[index].first == label) rows[index].second = value;
    else rows.insert(rows.begin() + static_cast<long>(index), {label, value});
    return rows;
  };
  const struct { const char* name; void (*change)(SystemInfo*); Rows rows; } cases[] = {
      {"no frequency", [](SystemInfo*) {}, base},
      {"frequency", [](SystemInfo* i) { i->cpu_mhz = 3200; }, with(2, L"Frequency:", L"3200 MHz")},
      {"negative frequency", [](SystemInfo* i) { i->cpu_mhz = -1; }, base},
      {"memory above 2^32", [](SystemInfo* i) { i->total_memory_mb = 5000000000000LL; },
       with(2, L"Memory:", L"5000000000000 MB")},
      {"cores", [](SystemInfo* i) { i->physical_cores = 4, i->logical_processors = 12; },
       with(1, L"Cores:", L"4 cores (12 logical)")},
      {"no version", [](SystemInfo* i) { i->os_version[0] = 0; }, with(3, L"OS:", L"Windows ")},
      {"empty processor name", [](SystemInfo* i) { i->cpu_name[0] = 0; }, with(0, L"CPU:", L"")},
      {"UTF-8 name", [](SystemInfo* i) { std::strcpy(i->cpu_name, "Caf\xC3\xA9 \xE2\x84\xA2 \xF0\x9F\x98\x80"); },
       with(0, L"CPU:", L"Caf\u00E9 \u2122 \U0001F600")},
      {"invalid UTF-8", [](SystemInfo* i) { std::strcpy(i->cpu_name, "A\xFF" "B\xC3(C"); },
       with(0, L"CPU:", L"A\uFFFDB\uFFFD(C")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SystemInfo info = base_info();
    c.change(&info);
    InfoRow rows[6];
    const int count = format_info_rows(info, rows);
    ASSERT_EQ(static_cast<size_t>(count), c.rows.size());
    for (int k = 0; k < count; ++k) EXPECT_EQ(Rows::value_type(rows[k].label, rows[k].value), c.rows[k]) << k;
  }
}

// Text pixels in [x0, x1) x [y0, y1): anti-aliased grey and black text on
// the light grey fill leaves neutral greys.
struct Found { int count = 0, darkest = 255, x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1; };
Found find_text(const Capture& picture, int x0, int y0, int x1, int y1) {
  Found f;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const Rgb p = picture.at(x, y);
      if (std::abs(p.r - p.b) > 8 || std::abs(p.g - p.b) > 8 || p.b >= 211 - 25) continue;
      ++f.count;
      f.darkest = std::min(f.darkest, p.g);
      f.x0 = std::min(f.x0, x), f.y0 = std::min(f.y0, y), f.x1 = std::max(f.x1, x + 1), f.y1 = std::max(f.y1, y + 1);
    }
  }
  return f;
}

// Grey labels from the left margin, black values up to the right one, each on
// one line in its 22-pixel row; no text anywhere else. (A name too long for
// its row: the main window's layout test, at both DPIs.)
TEST(SysInfoCard, RowsFollowEachOtherOnOneLineEach) {
  constexpr int kWidth = 360, kHeight = 170, kMargin = 20, kRow = 22, kLabel = 84, kRight = kWidth - kMargin;
  const struct { int32_t mhz; int rows; } cases[] = {{0, 5}, {3200, 6}};
  HWND card = CreateWindowExW(0, L"SysInfoCardClass", L"", WS_CHILD | WS_VISIBLE, 20, 20, kWidth, kHeight,
                              test_parent(), nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(card, nullptr);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rows);
    system_info = base_info();
    system_info.cpu_mhz = c.mhz;
    InvalidateRect(card, nullptr, TRUE);
    paint_now(test_parent());
    const Capture picture(card);
    int in_rows = 0;
    for (int k = 0; k < 6; ++k) {
      SCOPED_TRACE(k);
      const int y = kMargin + k * kRow;
      const Found label = find_text(picture, kMargin, y, kMargin + kLabel, y + kRow);
      const Found value = find_text(picture, kMargin + kLabel, y, kRight, y + kRow);
      in_rows += label.count + value.count;
      EXPECT_TRUE(k < c.rows || label.count + value.count == 0) << "a row too many";
      if (k >= c.rows) continue;
      ASSERT_TRUE(label.count > 10 && value.count > 10);
      EXPECT_TRUE(label.darkest > 100 && label.x0 < kMargin + 4) << "a grey label from the left margin";
      // A black value up to the right margin, but for a glyph's side bearing.
      EXPECT_TRUE(value.darkest < 60 && value.x1 >= kRight - 6) << "value";
      EXPECT_TRUE(value.y1 - value.y0 <= 16 && value.y0 > y + 1 && value.y1 < y + kRow - 1) << "one line";
      EXPECT_NEAR((value.y0 + value.y1) / 2.0, y + kRow / 2.0, 3);
    }
    EXPECT_EQ(find_text(picture, 3, 3, kWidth - 3, kHeight - 3).count, in_rows) << "text outside the rows";
  }
  destroy_children(test_parent());
}

}  // namespace
