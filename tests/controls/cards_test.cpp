// The result card and the system information card: their texts, and their
// layout read back from real card windows at 96 DPI.
#include <windows.h>
// GDI+ needs the Windows headers before it.
#include <gdiplus.h>
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

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

// ---- Texts ------------------------------------------------------------------

TEST(ResultCardLines, FormatsCorrectlyRoundedOrDashes) {
  const struct {
    uint8_t has_result;
    double score, seconds;
    const wchar_t *score_line, *time_line;
  } cases[] = {
      {1, 123456, 7.25, L"123456", L"7.250 sec"},
      {1, 0.5, 12.3456, L"0", L"12.346 sec"},    // ties to even
      {1, 2.5, 0.0625, L"2", L"0.062 sec"},      // exact ties to even
      {1, 3.5, 0.0005, L"4", L"0.001 sec"},      // 0.0005 is a little above the tie in binary
      {1, 1.5, 1.0005, L"2", L"1.000 sec"},      // 1.0005 is a little below it
      {1, 1e23, 2.0625, L"99999999999999991611392", L"2.062 sec"},  // every digit exact
      {1, 0, 0, L"0", L"0.000 sec"},
      {0, 123456, 7.25, L"--", L"--"},
      {2, 123456, 7.25, L"--", L"--"},  // only 1 means a result
  };
  for (const auto& c : cases) {
    wchar_t score[128];
    wchar_t time[128];
    format_result_lines({c.has_result, c.seconds, c.score}, score, 128, time, 128);
    EXPECT_STREQ(score, c.score_line) << c.score;
    EXPECT_STREQ(time, c.time_line) << c.seconds;
  }
  wchar_t small_score[4];
  wchar_t small_time[2];
  format_result_lines({1, 7.25, 123456}, small_score, 4, small_time, 2);
  EXPECT_STREQ(small_score, L"123");
  EXPECT_STREQ(small_time, L"7");
}

SystemInfo base_info() {
  SystemInfo info = {};
  std::strcpy(info.cpu_name, "Fake CPU");
  info.physical_cores = 8;
  info.logical_processors = 8;
  info.total_memory_mb = 32768;
  std::strcpy(info.os_name, "Windows");
  std::strcpy(info.os_version, "10.0.19045");
  std::strcpy(info.architecture, "x64");
  return info;
}

using Rows = std::vector<std::pair<std::wstring, std::wstring>>;
const Rows kBaseRows = {{L"CPU:", L"Fake CPU"},
                        {L"Cores:", L"8 cores (8 logical)"},
                        {L"Memory:", L"32768 MB"},
                        {L"OS:", L"Windows 10.0.19045"},
                        {L"Architecture:", L"x64"}};

Rows with_row(size_t index, const std::wstring& label, const std::wstring& value) {
  Rows rows = kBaseRows;
  for (auto& row : rows) {
    if (row.first == label) row.second = value;
  }
  if (rows[index].first != label) rows.insert(rows.begin() + static_cast<long>(index), {label, value});
  return rows;
}

TEST(SysInfoCardRows, OrderLabelsAndValues) {
  const struct {
    const char* name;
    void (*change)(SystemInfo*);
    Rows rows;
  } cases[] = {
      {"no frequency", [](SystemInfo*) {}, kBaseRows},
      {"frequency", [](SystemInfo* i) { i->cpu_mhz = 3200; }, with_row(2, L"Frequency:", L"3200 MHz")},
      {"negative frequency", [](SystemInfo* i) { i->cpu_mhz = -1; }, kBaseRows},
      {"memory above 2^31", [](SystemInfo* i) { i->total_memory_mb = 2147483653LL; },
       with_row(2, L"Memory:", L"2147483653 MB")},
      {"memory above 2^32", [](SystemInfo* i) { i->total_memory_mb = 5000000000000LL; },
       with_row(2, L"Memory:", L"5000000000000 MB")},
      {"unknown memory", [](SystemInfo* i) { i->total_memory_mb = 0; }, with_row(2, L"Memory:", L"0 MB")},
      {"cores", [](SystemInfo* i) { i->physical_cores = 4, i->logical_processors = 12; },
       with_row(1, L"Cores:", L"4 cores (12 logical)")},
      {"no version", [](SystemInfo* i) { i->os_version[0] = 0; }, with_row(3, L"OS:", L"Windows ")},
      {"empty processor name", [](SystemInfo* i) { i->cpu_name[0] = 0; }, with_row(0, L"CPU:", L"")},
      {"UTF-8 name", [](SystemInfo* i) { std::strcpy(i->cpu_name, "Caf\xC3\xA9 \xE2\x84\xA2 \xF0\x9F\x98\x80"); },
       with_row(0, L"CPU:", L"Caf\u00E9 \u2122 \U0001F600")},
      {"invalid UTF-8", [](SystemInfo* i) { std::strcpy(i->cpu_name, "A\xFF" "B\xC3(C"); },
       with_row(0, L"CPU:", L"A\uFFFDB\uFFFD(C")},
      {"architecture", [](SystemInfo* i) { std::strcpy(i->architecture, "arm64\xFF"); },
       with_row(4, L"Architecture:", L"arm64\uFFFD")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SystemInfo info = base_info();
    c.change(&info);
    InfoRow rows[6];
    const int count = format_info_rows(info, rows);
    ASSERT_EQ(static_cast<size_t>(count), c.rows.size());
    for (int k = 0; k < count; ++k) {
      EXPECT_EQ(rows[k].label, c.rows[k].first) << "row " << k;
      EXPECT_EQ(rows[k].value, c.rows[k].second) << "row " << k;
    }
  }
}

// ---- Layout on the screen -----------------------------------------------------

constexpr int kCardWidth = 360;
const Rgb kFill = {211, 211, 211};

// Text pixels on the card fill: anti-aliased text blends its colour with the
// fill. Navy leaves a blue cast; grey and black leave neutral greys.
bool is_bluish(Rgb p) { return p.b - std::max(p.r, p.g) > 40; }
bool is_neutral_text(Rgb p) { return std::abs(p.r - p.b) <= 8 && std::abs(p.g - p.b) <= 8 && p.b < kFill.b - 25; }

struct Box {
  int x0, y0, x1, y1;
  bool contains(int x, int y) const { return x >= x0 && x < x1 && y >= y0 && y < y1; }
};

// The pixels of a capture inside the card's frame that satisfy `test`.
struct Found {
  int count = 0;
  int darkest = 255;
  Box extent = {1 << 30, 1 << 30, -1, -1};
};
template <typename Test>
Found find(const Capture& picture, const Box& box, Test test) {
  Found found;
  for (int y = box.y0; y < box.y1; ++y) {
    for (int x = box.x0; x < box.x1; ++x) {
      const Rgb p = picture.at(x, y);
      if (!test(p)) continue;
      ++found.count;
      found.darkest = std::min(found.darkest, p.g);
      found.extent = {std::min(found.extent.x0, x), std::min(found.extent.y0, y), std::max(found.extent.x1, x + 1),
                      std::max(found.extent.y1, y + 1)};
    }
  }
  return found;
}

// Pixels satisfying test inside the frame but outside every box.
template <typename Test>
int count_outside(const Capture& picture, int height, const std::vector<Box>& boxes, Test test) {
  int n = 0;
  for (int y = 3; y < height - 3; ++y) {
    for (int x = 3; x < kCardWidth - 3; ++x) {
      const bool inside = std::any_of(boxes.begin(), boxes.end(), [&](const Box& b) { return b.contains(x, y); });
      if (!inside && test(picture.at(x, y))) ++n;
    }
  }
  return n;
}

class CardTest : public testing::Test {
 protected:
  HWND make_card(const wchar_t* class_name, int height) {
    HWND card = CreateWindowExW(0, class_name, L"", WS_CHILD | WS_VISIBLE, 20, 20, kCardWidth, height, parent.hwnd(),
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    EXPECT_NE(card, nullptr);
    return card;
  }
  TestParent parent;
};

TEST_F(CardTest, ResultCardLinesSitInTheirRectangles) {
  constexpr int kHeight = 110;
  const Box score = {20, 20, 340, 70};
  const Box time = {20, 75, 340, 97};
  HWND card = make_card(L"ResultCardClass", kHeight);
  int score_pixels[2] = {};
  // A result, then the dashes that replace it when the next benchmark
  // starts or fails.
  for (int has_result : {1, 0}) {
    SCOPED_TRACE(has_result);
    result_card_state = {static_cast<uint8_t>(has_result), 7.25, 123456};
    InvalidateRect(card, nullptr, TRUE);
    paint_now(parent.hwnd());
    const Capture picture(card);
    EXPECT_TRUE(close_to(picture.at(kCardWidth / 2, 0), {168, 168, 168}, 2)) << "border";
    EXPECT_TRUE(close_to(picture.at(5, kHeight / 2), kFill, 2)) << "fill";
    const Found navy = find(picture, score, is_bluish);
    const Found black = find(picture, time, is_neutral_text);
    EXPECT_GT(navy.count, 20);
    EXPECT_GT(black.count, 4);
    EXPECT_LT(black.darkest, 60);
    EXPECT_EQ(count_outside(picture, kHeight, {score}, is_bluish), 0);
    EXPECT_EQ(count_outside(picture, kHeight, {time}, is_neutral_text), 0);
    // Both lines centred both ways (digits and dashes sit near the middle
    // of the line's height).
    EXPECT_NEAR((navy.extent.x0 + navy.extent.x1) / 2.0, kCardWidth / 2.0, 4);
    EXPECT_NEAR((black.extent.x0 + black.extent.x1) / 2.0, kCardWidth / 2.0, 4);
    EXPECT_NEAR((navy.extent.y0 + navy.extent.y1) / 2.0, (score.y0 + score.y1) / 2.0, 4);
    EXPECT_NEAR((black.extent.y0 + black.extent.y1) / 2.0, (time.y0 + time.y1) / 2.0, 3);
    score_pixels[has_result] = navy.count;
  }
  EXPECT_GT(score_pixels[1], 4 * score_pixels[0]) << "six digits against two dashes";
}

TEST_F(CardTest, SysInfoRowsFollowEachOtherWithoutGaps) {
  constexpr int kHeight = 170;
  constexpr int kMargin = 20, kRow = 22, kLabel = 84, kRight = kCardWidth - kMargin;
  const struct {
    const char* name;
    int32_t mhz;
    const char* cpu_name;
    int rows;
  } cases[] = {
      {"five rows", 0, "Fake CPU", 5},
      {"six rows", 3200, "Fake CPU", 6},
      {"empty processor name", 3200, "", 6},
      {"long processor name", 0,
       "Intel(R) Core(TM) i9-13900K CPU @ 3.00GHz, a processor whose name is far wider than its row", 5},
  };
  HWND card = make_card(L"SysInfoCardClass", kHeight);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    system_info = base_info();
    system_info.cpu_mhz = c.mhz;
    std::strcpy(system_info.cpu_name, c.cpu_name);
    InvalidateRect(card, nullptr, TRUE);
    paint_now(parent.hwnd());
    const Capture picture(card);
    std::vector<Box> boxes;
    for (int k = 0; k < 6; ++k) {
      SCOPED_TRACE(k);
      const int y = kMargin + k * kRow;
      const Box label = {kMargin, y, kMargin + kLabel, y + kRow};
      const Box value = {kMargin + kLabel, y, kRight, y + kRow};
      const Found label_text = find(picture, label, is_neutral_text);
      const Found value_text = find(picture, value, is_neutral_text);
      if (k >= c.rows) {
        EXPECT_EQ(label_text.count + value_text.count, 0);
        continue;
      }
      boxes.push_back(label);
      boxes.push_back(value);
      // Grey labels from the left edge, black values up to the right edge.
      ASSERT_GT(label_text.count, 10);
      EXPECT_GT(label_text.darkest, 100);
      EXPECT_LT(label_text.extent.x0, kMargin + 4);
      if (k == 0 && c.cpu_name[0] == '\0') {
        EXPECT_EQ(value_text.count, 0);
        continue;
      }
      ASSERT_GT(value_text.count, 10);
      EXPECT_LT(value_text.darkest, 60);
      EXPECT_GE(value_text.extent.x1, kRight - 6);  // a glyph's side bearing
      // One line, vertically centred, clear of the row's edges.
      EXPECT_LE(value_text.extent.y1 - value_text.extent.y0, 16);
      EXPECT_GT(value_text.extent.y0, y + 1);
      EXPECT_LT(value_text.extent.y1, y + kRow - 1);
      EXPECT_NEAR((value_text.extent.y0 + value_text.extent.y1) / 2.0, y + kRow / 2.0, 3);
    }
    EXPECT_EQ(count_outside(picture, kHeight, boxes, is_neutral_text), 0);
    if (c.rows == 5 && c.cpu_name[0] == 'I') {
      // The long name stays inside its rectangle: nothing in the label
      // column after "CPU:".
      EXPECT_EQ(find(picture, {kMargin + 44, kMargin, kMargin + kLabel, kMargin + kRow}, is_neutral_text).count, 0);
    }
  }
}

}  // namespace
