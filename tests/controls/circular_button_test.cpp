// The START button as a real child window under a real parent: input,
// notifications, state and the picture read back from the screen.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "controls/circular_button.h"
#include "controls/drawing.h"
#include "tests/controls/controls_test_support.h"

namespace {

constexpr int kId = 1002, kSize = 160, kX = 20, kY = 20;

class CircularButtonTest : public testing::Test {
 protected:
  void SetUp() override {
    window = create(&button, test_parent(), kX, kY, kSize, kId);
    ASSERT_TRUE(window != nullptr && button.hwnd == window);
    parent_commands.clear();
    paint_now(test_parent());
  }
  void TearDown() override {
    destroy_children(test_parent());
    release_bitmap(&button);
    SetCursorPos(1270, 1010);
  }
  void expect_clicks(size_t clicks) {
    ASSERT_EQ(parent_commands.size(), clicks);
    for (const auto& command : parent_commands)
      EXPECT_TRUE(command.first == MAKEWPARAM(kId, BN_CLICKED) && command.second == reinterpret_cast<LPARAM>(window));
  }
  CircularButton button = {};
  HWND window = nullptr;
};

constexpr UINT kDisable = WM_APP;          // pseudo message: EnableWindow(FALSE)
constexpr UINT kTakeCapture = WM_APP + 1;  // pseudo message: another window takes the mouse
const LPARAM kOutside = MAKELPARAM(-40, 300);
struct Step { UINT message; WPARAM wparam = 0; LPARAM lparam = MAKELPARAM(80, 80); };

TEST_F(CircularButtonTest, ClicksReachTheParentAsCommands) {
  const struct {
    const char* name; bool enabled; std::vector<Step> steps; size_t clicks; uint8_t pressed_after = 0;
  } cases[] = {
      {"mouse press and release", true, {{WM_LBUTTONDOWN}, {WM_LBUTTONUP}}, 1},
      {"release outside after press", true,
       {{WM_LBUTTONDOWN}, {WM_MOUSEMOVE, 0, kOutside}, {WM_LBUTTONUP, 0, kOutside}}, 1},
      {"release without press", true, {{WM_LBUTTONUP}}, 0},
      // The second press captures the mouse again: no loss of capture, the press goes on.
      {"two presses, two releases", true, {{WM_LBUTTONDOWN}, {WM_LBUTTONDOWN}, {WM_LBUTTONUP}, {WM_LBUTTONUP}}, 1},
      {"space", true, {{WM_KEYDOWN, VK_SPACE}, {WM_KEYUP, VK_SPACE}}, 1},
      {"enter", true, {{WM_KEYDOWN, VK_RETURN}, {WM_KEYUP, VK_RETURN}}, 1},
      {"auto-repeated space", true, {{WM_KEYDOWN, VK_SPACE}, {WM_KEYDOWN, VK_SPACE}, {WM_KEYUP, VK_SPACE}}, 1},
      {"key-up without key-down", true, {{WM_KEYUP, VK_SPACE}, {WM_KEYUP, VK_RETURN}}, 0},
      {"other keys", true, {{WM_KEYDOWN, 'A'}, {WM_KEYUP, 'A'}, {WM_KEYDOWN, VK_ESCAPE}, {WM_KEYUP, VK_ESCAPE}}, 0},
      {"disabled: mouse", false, {{WM_LBUTTONDOWN}, {WM_LBUTTONUP}}, 0},
      {"disabled: keys", false, {{WM_KEYDOWN, VK_SPACE}, {WM_KEYUP, VK_SPACE}, {WM_KEYDOWN, VK_RETURN}}, 0},
      {"disabled between press and release", true, {{WM_LBUTTONDOWN}, {kDisable}, {WM_LBUTTONUP}}, 0},
      // A mouse release ends a press even when disabled; a key-up does not.
      {"disabled between key-down and key-up", true, {{WM_KEYDOWN, VK_SPACE}, {kDisable}, {WM_KEYUP, VK_SPACE}}, 0, 1},
      // A lost capture ends the press: no pressed look, and the release is no click.
      {"capture lost mid-press", true, {{WM_LBUTTONDOWN}, {kTakeCapture}, {WM_LBUTTONUP}}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EnableWindow(window, c.enabled);
    parent_commands.clear();
    for (const Step& step : c.steps) {
      if (step.message == kDisable) {
        EnableWindow(window, FALSE);
      } else if (step.message == kTakeCapture) {
        SetCapture(test_parent());
        EXPECT_EQ(button.pressed, 0);
        ReleaseCapture();
      } else {
        EXPECT_EQ(SendMessageW(window, step.message, step.wparam, step.lparam), 0);  // consumed
        EXPECT_TRUE(step.message != WM_LBUTTONDOWN || !IsWindowEnabled(window) || GetCapture() == window);
      }
    }
    expect_clicks(c.clicks);
    EXPECT_NE(GetCapture(), window);
    EXPECT_EQ(button.pressed, c.pressed_after);
    button.pressed = 0;
  }
}

// Regression: in the owner's dialog-style loop, Enter on the focused button
// became IDOK for the owner and never pressed the button.
TEST_F(CircularButtonTest, EnterPressesTheButtonThroughTheDialogLoop) {
  SetFocus(window);
  parent_commands.clear();
  for (UINT message : {WM_KEYDOWN, WM_KEYUP}) {
    MSG msg = {window, message, VK_RETURN, 0, 0, {}};
    if (!IsDialogMessageW(test_parent(), &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    pump_messages();
  }
  expect_clicks(1);
}

// Which messages and calls change the state and repaint: hover once per
// entry, none while disabled; the progress clamped into [0, 1].
TEST_F(CircularButtonTest, StateChangesRepaint) {
  RECT r;
  GetWindowRect(window, &r);
  SetCursorPos(r.left + kSize / 2, r.top + kSize / 2);  // so that leave tracking keeps the hover
  const struct { UINT message; bool repaints; uint8_t hover, focused; } steps[] = {
      {WM_MOUSEMOVE, true, 1, 0},  {WM_MOUSEMOVE, false, 1, 0}, {WM_MOUSELEAVE, true, 0, 0}, {WM_MOUSEMOVE, true, 1, 0},
      {WM_SETFOCUS, true, 1, 1},   {WM_KILLFOCUS, true, 1, 0},  {WM_MOUSELEAVE, true, 0, 0}, {WM_ENABLE, true, 0, 0},
      {WM_ERASEBKGND, false, 0, 0}, {WM_MOUSEMOVE, false, 0, 0},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.message);
    if (step.message == WM_ENABLE) EnableWindow(window, FALSE);
    ValidateRect(window, nullptr);
    EXPECT_EQ(SendMessageW(window, step.message, 0, MAKELPARAM(80, 80)), step.message == WM_ERASEBKGND);
    EXPECT_EQ(needs_paint(window), step.repaints);
    EXPECT_TRUE(button.hover == step.hover && button.focused == step.focused);
  }
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  const std::pair<float, float> progress[] = {{-0.5f, 0}, {1.7f, 1}, {nan, 0}, {-inf, 0}, {inf, 1}, {0.25f, 0.25f}, {1, 1}};
  for (const auto& c : progress) {
    ValidateRect(window, nullptr);
    set_progress(&button, c.first);
    EXPECT_TRUE(button.progress == c.second && needs_paint(window)) << c.first;
  }
  CircularButton unattached = {};
  set_progress(&unattached, 2);  // no window: stores only
  EXPECT_EQ(unattached.progress, 1);
}

// A probe: angle clockwise from twelve o'clock, distance inward from the
// inscribed circle (negative: outside it; kCentre: the centre), and the
// colour expected there (0: the window colour).
struct Probe { double angle, inset; uint32_t colour; };
constexpr double kCentre = -1000, kTrack = 4.5, kGap = 10;  // track centre line; between disc and track
constexpr uint32_t kWindow = 0;

// The label is drawn in white only with a font, which the button never deletes.
TEST_F(CircularButtonTest, PictureFollowsTheState) {
  SetWindowTextW(window, L"START");
  HFONT font = create_font(kFontButtonSpec, 96);
  ASSERT_NE(font, nullptr);
  const struct {
    const char* name;
    bool enabled, hover, pressed, focused;
    float progress;
    bool label;
    std::vector<Probe> probes;
    int focus_ring;  // -1: not checked; 0: absent; 1: present
    int w = kSize, h = kSize;
  } cases[] = {
      {"enabled", true, false, false, false, 0.5f, false,
       {{0, kCentre, kDiscEnabled}, {90, kTrack, kWindow}, {180, kTrack, kWindow}, {270, kGap, kWindow}, {45, -2, kWindow}},
       0},
      {"under the pointer", true, true, false, false, 0, false, {{0, kCentre, kDiscHover}}, -1},
      {"pressed", true, false, true, false, 0, false, {{0, kCentre, kDiscPressed}}, -1},
      {"pressed wins over hover", true, true, true, false, 0, false, {{0, kCentre, kDiscPressed}}, -1},
      {"focused", true, false, false, true, 0, false, {{0, kCentre, kDiscEnabled}, {90, kGap, kWindow}}, 1},
      {"labelled", true, false, false, false, 0, true, {{90, kGap, kWindow}}, -1},
      {"disabled at 0", false, true, true, true, 0, false,
       {{0, kCentre, kDiscDisabled}, {0, kTrack, kProgressTrack}, {90, kTrack, kProgressTrack},
        {180, kTrack, kProgressTrack}, {270, kTrack, kProgressTrack}, {30, kGap, kWindow}}, 0},
      {"disabled at 0.25", false, false, false, false, 0.25f, false,
       {{0, kCentre, kDiscDisabled}, {3, kTrack, kProgressArc}, {45, kTrack, kProgressArc}, {90, kTrack, kProgressArc},
        {135, kTrack, kProgressTrack}, {180, kTrack, kProgressTrack}, {315, kTrack, kProgressTrack}}, -1},
      {"disabled at 1, labelled", false, false, false, false, 1, true,
       {{0, kTrack, kProgressArc}, {90, kTrack, kProgressArc}, {180, kTrack, kProgressArc}, {270, kTrack, kProgressArc},
        {90, 1, kProgressArc}, {90, 8, kProgressArc}, {90, kGap, kWindow}}, -1},
      {"not square: sized from the smaller side", false, false, false, false, 1, false,
       {{0, kCentre, kDiscDisabled}, {90, kTrack, kProgressArc}, {0, kTrack, kProgressArc}, {90, -5, kWindow}}, -1, 200,
       120},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MoveWindow(window, kX, kY, c.w, c.h, TRUE);
    EnableWindow(window, c.enabled);
    button.hover = c.hover;
    button.pressed = c.pressed;
    button.focused = c.focused;
    set_progress(&button, c.progress);
    ValidateRect(window, nullptr);
    set_font(&button, c.label ? font : nullptr);
    EXPECT_TRUE(needs_paint(window));
    paint_now(test_parent());
    const Capture picture(window);
    ASSERT_EQ(picture.width(), c.w);
    const double m = std::min(c.w, c.h) / 2.0;
    const auto point = [&](double angle, double radius) {
      const double a = angle * 3.14159265358979 / 180;
      return picture.at(static_cast<int>(std::floor(c.w / 2.0 + radius * std::sin(a))),
                        static_cast<int>(std::floor(c.h / 2.0 - radius * std::cos(a))));
    };
    const COLORREF w = GetSysColor(COLOR_WINDOW);
    for (const Probe& p : c.probes) {
      const Rgb want = p.colour == kWindow ? Rgb{GetRValue(w), GetGValue(w), GetBValue(w)} : rgb_of_argb(p.colour);
      const Rgb got = point(p.angle, p.inset == kCentre ? 0 : m - p.inset);
      EXPECT_TRUE(close_to(got, want)) << "at " << p.angle << " degrees, inset " << p.inset << ": " << got << " not "
                                       << want;
    }
    int hits = 0;
    for (int step = 0; c.focus_ring >= 0 && step < 360; ++step)
      hits += close_to(point(step, m - 4), rgb_of_argb(kFocusRing), 40);
    EXPECT_TRUE(c.focus_ring < 0 || (c.focus_ring == 0 ? hits == 0 : hits > 90 && hits < 355)) << "focus ring: " << hits;
    int white = 0;  // label pixels within the disc at 160
    for (int y = 60; y < 100; ++y)
      for (int x = 20; x < 140; ++x) white += close_to(picture.at(x, y), rgb_of_argb(kButtonLabel), 30);
    EXPECT_TRUE(c.w != kSize || (c.label ? white > 30 : white == 0)) << "label pixels: " << white;
  }
  DestroyWindow(window);
  EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
  DeleteObject(font);
}

}  // namespace
