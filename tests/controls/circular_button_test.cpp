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
    parent_commands().clear();
    paint_now(test_parent());
  }
  void TearDown() override {
    destroy_children(test_parent());
    release_bitmap(&button);
    SetCursorPos(1270, 1010);
  }
  CircularButton button = {};
  HWND window = nullptr;
};

constexpr UINT kDisable = WM_APP;          // pseudo message: EnableWindow(FALSE)
constexpr UINT kTakeCapture = WM_APP + 1;  // pseudo message: another window takes the mouse
const LPARAM kOutside = MAKELPARAM(-40, 300);
struct Step {
  UINT message;
  WPARAM wparam = 0;
  LPARAM lparam = MAKELPARAM(80, 80);
};

TEST_F(CircularButtonTest, ClicksReachTheParentAsCommands) {
  const struct {
    const char* name;
    bool enabled;
    std::vector<Step> steps;
    size_t clicks;
    uint8_t pressed_after = 0;
  } cases[] = {
      {"mouse press and release", true, {{WM_LBUTTONDOWN}, {WM_LBUTTONUP}}, 1},
      {"release outside after press", true,
       {{WM_LBUTTONDOWN}, {WM_MOUSEMOVE, 0, kOutside}, {WM_LBUTTONUP, 0, kOutside}}, 1},
      {"release without press", true, {{WM_LBUTTONUP}}, 0},
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
    parent_commands().clear();
    for (const Step& step : c.steps) {
      if (step.message == kDisable) {
        EnableWindow(window, FALSE);
        continue;
      }
      if (step.message == kTakeCapture) {
        SetCapture(test_parent());
        EXPECT_EQ(button.pressed, 0);
        ReleaseCapture();
        continue;
      }
      EXPECT_EQ(SendMessageW(window, step.message, step.wparam, step.lparam), 0);  // consumed
      if (step.message == WM_LBUTTONDOWN && IsWindowEnabled(window)) {
        EXPECT_EQ(GetCapture(), window);
      }
    }
    ASSERT_EQ(parent_commands().size(), c.clicks);
    for (const auto& command : parent_commands()) {
      EXPECT_EQ(command.first, MAKEWPARAM(kId, BN_CLICKED));
      EXPECT_EQ(command.second, reinterpret_cast<LPARAM>(window));
    }
    EXPECT_NE(GetCapture(), window);
    EXPECT_EQ(button.pressed, c.pressed_after);
    button.pressed = 0;
  }
}

// Regression: in the owner's dialog-style loop, Enter on the focused button
// became IDOK for the owner and never pressed the button.
TEST_F(CircularButtonTest, EnterPressesTheButtonThroughTheDialogLoop) {
  SetFocus(window);
  parent_commands().clear();
  for (UINT message : {WM_KEYDOWN, WM_KEYUP}) {
    MSG msg = {window, message, VK_RETURN, 0, 0, {}};
    if (!IsDialogMessageW(test_parent(), &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    pump_messages();
  }
  ASSERT_EQ(parent_commands().size(), 1u);
  EXPECT_EQ(parent_commands()[0].first, MAKEWPARAM(kId, BN_CLICKED));
}

// Which messages change the state and repaint: hover once per entry.
TEST_F(CircularButtonTest, StateMessagesRepaint) {
  RECT r;
  GetWindowRect(window, &r);
  SetCursorPos(r.left + kSize / 2, r.top + kSize / 2);  // so that leave tracking keeps the hover
  const struct {
    UINT message;
    WPARAM wparam;
    bool repaints;
    uint8_t hover, focused;
  } steps[] = {
      {WM_MOUSEMOVE, 0, true, 1, 0},  {WM_MOUSEMOVE, 0, false, 1, 0}, {WM_MOUSELEAVE, 0, true, 0, 0},
      {WM_MOUSEMOVE, 0, true, 1, 0},  {WM_SETFOCUS, 0, true, 1, 1},   {WM_KILLFOCUS, 0, true, 1, 0},
      {WM_MOUSELEAVE, 0, true, 0, 0}, {WM_ENABLE, FALSE, true, 0, 0}, {WM_ERASEBKGND, 0, false, 0, 0},
      {WM_MOUSEMOVE, 0, false, 0, 0},  // no hover while disabled
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.message);
    if (step.message == WM_ENABLE) EnableWindow(window, FALSE);
    ValidateRect(window, nullptr);
    EXPECT_EQ(SendMessageW(window, step.message, step.wparam, MAKELPARAM(80, 80)), step.message == WM_ERASEBKGND);
    EXPECT_EQ(needs_paint(window), step.repaints);
    EXPECT_EQ(button.hover, step.hover);
    EXPECT_EQ(button.focused, step.focused);
  }
}

TEST_F(CircularButtonTest, SetProgressClampsAndRepaints) {
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  const float cases[][2] = {{-0.5f, 0}, {1.7f, 1}, {nan, 0}, {-inf, 0}, {inf, 1}, {0.25f, 0.25f}, {1, 1}};
  for (const auto& c : cases) {
    ValidateRect(window, nullptr);
    set_progress(&button, c[0]);
    EXPECT_EQ(button.progress, c[1]) << c[0];
    EXPECT_TRUE(needs_paint(window)) << c[0];
  }
  CircularButton unattached = {};
  set_progress(&unattached, 2);  // no window: stores only
  EXPECT_EQ(unattached.progress, 1);
}

// A probe: angle clockwise from twelve o'clock and distance inward from the
// inscribed circle (negative: outside it; kCentre: the centre).
struct Probe {
  double angle, inset;
  uint32_t colour;  // 0: the window colour
};
constexpr double kCentre = -1000, kTrack = 4.5, kGap = 10;  // track centre line; between disc and track
constexpr uint32_t kWindow = 0;

TEST_F(CircularButtonTest, PictureFollowsTheState) {
  enum State { kNormal, kHover, kPressed, kHoverPressed };
  const struct {
    const char* name;
    int w, h;
    bool enabled;
    State state;
    bool focused;
    float progress;
    std::vector<Probe> probes;
    int focus_ring;  // -1: not checked; 0: absent; 1: present
  } cases[] = {
      {"enabled", 160, 160, true, kNormal, false, 0.5f,
       {{0, kCentre, kDiscEnabled}, {90, kTrack, kWindow}, {180, kTrack, kWindow}, {270, kGap, kWindow},
        {45, -2, kWindow}}, 0},
      {"under the pointer", 160, 160, true, kHover, false, 0, {{0, kCentre, kDiscHover}}, -1},
      {"pressed", 160, 160, true, kPressed, false, 0, {{0, kCentre, kDiscPressed}}, -1},
      {"pressed wins over hover", 160, 160, true, kHoverPressed, false, 0, {{0, kCentre, kDiscPressed}}, -1},
      {"focused", 160, 160, true, kNormal, true, 0, {{0, kCentre, kDiscEnabled}, {90, kGap, kWindow}}, 1},
      {"disabled at 0", 160, 160, false, kHoverPressed, true, 0,
       {{0, kCentre, kDiscDisabled}, {0, kTrack, kProgressTrack}, {90, kTrack, kProgressTrack},
        {180, kTrack, kProgressTrack}, {270, kTrack, kProgressTrack}, {30, kGap, kWindow}}, 0},
      {"disabled at 0.25", 160, 160, false, kNormal, false, 0.25f,
       {{0, kCentre, kDiscDisabled}, {3, kTrack, kProgressArc}, {45, kTrack, kProgressArc},
        {90, kTrack, kProgressArc}, {135, kTrack, kProgressTrack}, {180, kTrack, kProgressTrack},
        {315, kTrack, kProgressTrack}}, -1},
      {"disabled at 1", 160, 160, false, kNormal, false, 1,
       {{0, kTrack, kProgressArc}, {90, kTrack, kProgressArc}, {180, kTrack, kProgressArc},
        {270, kTrack, kProgressArc}, {90, 1, kProgressArc}, {90, 8, kProgressArc}, {90, kGap, kWindow}}, -1},
      {"not square: sized from the smaller side", 200, 120, false, kNormal, false, 1,
       {{0, kCentre, kDiscDisabled}, {90, kTrack, kProgressArc}, {0, kTrack, kProgressArc}, {90, -5, kWindow}}, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MoveWindow(window, kX, kY, c.w, c.h, TRUE);
    EnableWindow(window, c.enabled);
    button.hover = c.state == kHover || c.state == kHoverPressed;
    button.pressed = c.state == kPressed || c.state == kHoverPressed;
    button.focused = c.focused;
    set_progress(&button, c.progress);
    paint_now(test_parent());
    const Capture picture(window);
    ASSERT_EQ(picture.width(), c.w);
    const double m = std::min(c.w, c.h) / 2.0;
    const auto point = [&](double angle, double radius) {
      const double a = angle * 3.14159265358979 / 180;
      return picture.at(static_cast<int>(std::floor(c.w / 2.0 + radius * std::sin(a))),
                        static_cast<int>(std::floor(c.h / 2.0 - radius * std::cos(a))));
    };
    for (const Probe& p : c.probes) {
      const Rgb want = p.colour == kWindow ? window_colour() : rgb_of_argb(p.colour);
      const Rgb got = point(p.angle, p.inset == kCentre ? 0 : m - p.inset);
      EXPECT_TRUE(close_to(got, want)) << "at " << p.angle << " degrees, inset " << p.inset << ": got " << got.r
                                       << "," << got.g << "," << got.b << " want " << want.r << "," << want.g << ","
                                       << want.b;
    }
    if (c.focus_ring < 0) continue;
    int hits = 0;
    for (int step = 0; step < 360; ++step) hits += close_to(point(step, m - 4), rgb_of_argb(kFocusRing), 40);
    EXPECT_TRUE(c.focus_ring == 0 ? hits == 0 : hits > 90 && hits < 355) << "focus ring pixels: " << hits;
  }
}

// White label text only with a font; the button never deletes the font.
TEST_F(CircularButtonTest, LabelFollowsTheFont) {
  SetWindowTextW(window, L"START");
  HFONT font = create_font(kFontButtonSpec, 96);
  ASSERT_NE(font, nullptr);
  for (bool enabled : {true, false}) {
    EnableWindow(window, enabled);
    ValidateRect(window, nullptr);
    set_font(&button, font);
    EXPECT_TRUE(needs_paint(window));
    paint_now(test_parent());
    EXPECT_GT(Capture(window).count(20, 60, 140, 100, rgb_of_argb(kButtonLabel), 30), 30) << enabled;
    set_font(&button, nullptr);
    paint_now(test_parent());
    EXPECT_EQ(Capture(window).count(20, 60, 140, 100, rgb_of_argb(kButtonLabel), 30), 0) << enabled;
  }
  set_font(&button, font);
  DestroyWindow(window);
  EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
  DeleteObject(font);
}

}  // namespace
