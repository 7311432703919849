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

constexpr int kId = 1002;
constexpr int kSize = 160;
constexpr int kX = 20;
constexpr int kY = 20;

class CircularButtonTest : public testing::Test {
 protected:
  void SetUp() override {
    window = create(&button, parent.hwnd(), kX, kY, kSize, kId);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(button.hwnd, window);
    paint_now(parent.hwnd());
  }
  void TearDown() override {
    DestroyWindow(window);
    release_bitmap(&button);
    SetCursorPos(1270, 1010);
  }
  // The pointer over the button, so that leave tracking keeps the hover.
  void pointer_inside() {
    RECT r;
    GetWindowRect(window, &r);
    SetCursorPos(r.left + kSize / 2, r.top + kSize / 2);
  }

  TestParent parent;
  CircularButton button = {};
  HWND window = nullptr;
};

// ---- Input and notifications ------------------------------------------------

constexpr UINT kDisable = WM_APP;  // pseudo message: EnableWindow(FALSE)
struct Step {
  UINT message;
  WPARAM wparam = 0;
  LPARAM lparam = MAKELPARAM(80, 80);
};
struct InputCase {
  const char* name;
  bool enabled;
  std::vector<Step> steps;
  size_t clicks;
  uint8_t pressed_after = 0;
};

const LPARAM kOutside = MAKELPARAM(-40, 300);  // where a captured release may land

const InputCase kInputCases[] = {
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
    {"disabled: keys", false,
     {{WM_KEYDOWN, VK_SPACE}, {WM_KEYUP, VK_SPACE}, {WM_KEYDOWN, VK_RETURN}, {WM_KEYUP, VK_RETURN}}, 0},
    {"disabled between press and release", true, {{WM_LBUTTONDOWN}, {kDisable}, {WM_LBUTTONUP}}, 0},
    {"disabled between key-down and key-up", true, {{WM_KEYDOWN, VK_SPACE}, {kDisable}, {WM_KEYUP, VK_SPACE}}, 0, 1},
};

TEST_F(CircularButtonTest, ClicksReachTheParentAsCommands) {
  for (const InputCase& c : kInputCases) {
    SCOPED_TRACE(c.name);
    EnableWindow(window, c.enabled);
    parent.clear_commands();
    for (const Step& step : c.steps) {
      if (step.message == kDisable) {
        EnableWindow(window, FALSE);
        continue;
      }
      EXPECT_EQ(SendMessageW(window, step.message, step.wparam, step.lparam), 0);  // consumed
      if (step.message == WM_LBUTTONDOWN && IsWindowEnabled(window)) {
        EXPECT_EQ(GetCapture(), window);
      }
    }
    ASSERT_EQ(parent.commands().size(), c.clicks);
    for (const Command& command : parent.commands()) {
      EXPECT_EQ(command.wparam, MAKEWPARAM(kId, BN_CLICKED));
      EXPECT_EQ(command.lparam, reinterpret_cast<LPARAM>(window));
    }
    EXPECT_NE(GetCapture(), window);
    // A mouse release ends a press even when disabled; a key-up does not.
    EXPECT_EQ(button.pressed, c.pressed_after);
    button.pressed = 0;
  }
}

// The same click through the input system: the press captures the mouse, so
// the release outside the control still reaches it.
// Regression: in the owner's dialog-style loop, Enter on the focused button
// became IDOK for the owner and never pressed the button.
TEST_F(CircularButtonTest, EnterPressesTheButtonThroughTheDialogLoop) {
  SetFocus(window);
  parent.clear_commands();
  for (UINT message : {WM_KEYDOWN, WM_KEYUP}) {
    MSG msg = {window, message, VK_RETURN, 0, 0, {}};
    if (!IsDialogMessageW(parent.hwnd(), &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    pump_messages();
  }
  ASSERT_EQ(parent.commands().size(), 1u);
  EXPECT_EQ(parent.commands()[0].wparam, MAKEWPARAM(kId, BN_CLICKED));
}

// Which messages change the state and ask for a repaint. Hover is set once
// per entry: further moves do not repaint until the pointer has left.
TEST_F(CircularButtonTest, StateMessagesRepaint) {
  pointer_inside();  // so that leave tracking keeps the hover
  const struct {
    UINT message;
    WPARAM wparam;
    bool repaints;
    uint8_t hover, focused;
  } steps[] = {
      {WM_MOUSEMOVE, 0, true, 1, 0},  {WM_MOUSEMOVE, 0, false, 1, 0}, {WM_MOUSEMOVE, 0, false, 1, 0},
      {WM_MOUSELEAVE, 0, true, 0, 0}, {WM_MOUSEMOVE, 0, true, 1, 0},  {WM_SETFOCUS, 0, true, 1, 1},
      {WM_KILLFOCUS, 0, true, 1, 0},  {WM_MOUSELEAVE, 0, true, 0, 0}, {WM_ENABLE, FALSE, true, 0, 0},
      {WM_ERASEBKGND, 0, false, 0, 0},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.message);
    ValidateRect(window, nullptr);
    EXPECT_EQ(SendMessageW(window, step.message, step.wparam, MAKELPARAM(80, 80)), step.message == WM_ERASEBKGND);
    EXPECT_EQ(needs_paint(window), step.repaints);
    EXPECT_EQ(button.hover, step.hover);
    EXPECT_EQ(button.focused, step.focused);
  }
  EnableWindow(window, FALSE);  // no hover while disabled
  ValidateRect(window, nullptr);
  SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(80, 80));
  EXPECT_EQ(button.hover, 0);
  EXPECT_FALSE(needs_paint(window));
}

TEST_F(CircularButtonTest, SetProgressClampsAndRepaints) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    float value;
    float stored;
  } cases[] = {{-0.5f, 0}, {1.7f, 1}, {nan, 0}, {-inf, 0}, {inf, 1}, {0.25f, 0.25f}, {0, 0}, {1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    ValidateRect(window, nullptr);
    set_progress(&button, c.value);
    EXPECT_EQ(button.progress, c.stored);
    EXPECT_TRUE(needs_paint(window));
  }
  CircularButton unattached = {};
  set_progress(&unattached, 2);  // no window: stores only
  EXPECT_EQ(unattached.progress, 1);
}

// ---- Picture ----------------------------------------------------------------

// A point given by its angle clockwise from twelve o'clock and its distance
// inward from the inscribed circle (the centre when `centre` is set).
struct Probe {
  double angle;
  double inset;
  uint32_t colour;  // 0: the window colour
  bool centre = false;
};
Probe at_centre(uint32_t colour) { return {0, 0, colour, true}; }

enum class State { kNormal, kHover, kPressed, kHoverPressed };
struct PictureCase {
  const char* name;
  int w, h;
  bool enabled;
  State state;
  bool focused;
  float progress;
  std::vector<Probe> probes;
  int focus_ring;  // -1: not checked; 0: absent; 1: present
};

constexpr uint32_t kWindow = 0;
constexpr double kTrack = 4.5;  // centre line of the track and the arc
constexpr double kGap = 10;     // between disc (m - 11) and track (m - 9)

const PictureCase kPictureCases[] = {
    {"enabled", 160, 160, true, State::kNormal, false, 0.5f,
     {at_centre(kDiscEnabled), {0, 20, kDiscEnabled}, {0, kTrack, kWindow}, {90, kTrack, kWindow},
      {180, kTrack, kWindow}, {270, kGap, kWindow}, {45, -2, kWindow}},
     0},
    {"under the pointer", 160, 160, true, State::kHover, false, 0, {at_centre(kDiscHover)}, -1},
    {"pressed", 160, 160, true, State::kPressed, false, 0, {at_centre(kDiscPressed)}, -1},
    {"pressed wins over hover", 160, 160, true, State::kHoverPressed, false, 0, {at_centre(kDiscPressed)}, -1},
    {"focused", 160, 160, true, State::kNormal, true, 0, {at_centre(kDiscEnabled), {90, kGap, kWindow}}, 1},
    {"disabled at 0", 160, 160, false, State::kHoverPressed, true, 0,
     {at_centre(kDiscDisabled), {0, kTrack, kProgressTrack}, {90, kTrack, kProgressTrack},
      {180, kTrack, kProgressTrack}, {270, kTrack, kProgressTrack}, {30, kGap, kWindow}},
     0},
    {"disabled at 0.25", 160, 160, false, State::kNormal, false, 0.25f,
     {at_centre(kDiscDisabled), {3, kTrack, kProgressArc}, {45, kTrack, kProgressArc}, {87, kTrack, kProgressArc},
      {90, kTrack, kProgressArc}, {135, kTrack, kProgressTrack}, {180, kTrack, kProgressTrack},
      {270, kTrack, kProgressTrack}, {315, kTrack, kProgressTrack}},
     -1},
    {"disabled at 1", 160, 160, false, State::kNormal, false, 1,
     {{0, kTrack, kProgressArc}, {90, kTrack, kProgressArc}, {180, kTrack, kProgressArc},
      {270, kTrack, kProgressArc}, {90, 1, kProgressArc}, {90, 8, kProgressArc}, {90, kGap, kWindow}},
     -1},
    {"not square: sized from the smaller side", 200, 120, false, State::kNormal, false, 1,
     {at_centre(kDiscDisabled), {90, kTrack, kProgressArc}, {270, kTrack, kProgressArc},
      {0, kTrack, kProgressArc}, {90, -5, kWindow}, {270, -5, kWindow}},
     -1},
};

TEST_F(CircularButtonTest, PictureFollowsTheState) {
  for (const PictureCase& c : kPictureCases) {
    SCOPED_TRACE(c.name);
    MoveWindow(window, kX, kY, c.w, c.h, TRUE);
    EnableWindow(window, c.enabled);
    button.hover = c.state == State::kHover || c.state == State::kHoverPressed;
    button.pressed = c.state == State::kPressed || c.state == State::kHoverPressed;
    button.focused = c.focused;
    set_progress(&button, c.progress);
    paint_now(parent.hwnd());
    const Capture picture(window);
    ASSERT_EQ(picture.width(), c.w);
    const double cx = c.w / 2.0;
    const double cy = c.h / 2.0;
    const double m = std::min(c.w, c.h) / 2.0;
    for (const Probe& p : c.probes) {
      const double radius = p.centre ? 0 : m - p.inset;
      const double a = p.angle * 3.14159265358979 / 180;
      const int x = static_cast<int>(std::floor(cx + radius * std::sin(a)));
      const int y = static_cast<int>(std::floor(cy - radius * std::cos(a)));
      const Rgb want = p.colour == kWindow ? window_colour() : rgb_of_argb(p.colour);
      const Rgb got = picture.at(x, y);
      EXPECT_TRUE(close_to(got, want)) << "at " << p.angle << " degrees, inset " << p.inset << " (" << x << ", " << y
                                   << "): got " << got.r << "," << got.g << "," << got.b << " want " << want.r
                                   << "," << want.g << "," << want.b;
    }
    if (c.focus_ring >= 0) {
      int hits = 0;
      for (int step = 0; step < 360; ++step) {
        const double a = step * 3.14159265358979 / 180;
        const int x = static_cast<int>(std::floor(cx + (m - 4) * std::sin(a)));
        const int y = static_cast<int>(std::floor(cy - (m - 4) * std::cos(a)));
        hits += close_to(picture.at(x, y), rgb_of_argb(kFocusRing), 40) ? 1 : 0;
      }
      if (c.focus_ring == 1) {
        EXPECT_GT(hits, 90) << "dashed focus ring";
        EXPECT_LT(hits, 355) << "dashed focus ring";
      } else {
        EXPECT_EQ(hits, 0);
      }
    }
  }
}

// The label: white text in the middle, present only with a font; the button
// never deletes the font it was given.
TEST_F(CircularButtonTest, LabelFollowsTheFont) {
  SetWindowTextW(window, L"START");
  HFONT font = create_font(kFontButtonSpec, 96);
  ASSERT_NE(font, nullptr);
  const Rgb white = rgb_of_argb(kButtonLabel);
  for (bool enabled : {true, false}) {
    SCOPED_TRACE(enabled ? "enabled" : "disabled");
    EnableWindow(window, enabled);
    ValidateRect(window, nullptr);
    set_font(&button, font);
    EXPECT_EQ(button.font, font);
    EXPECT_TRUE(needs_paint(window));
    paint_now(parent.hwnd());
    EXPECT_GT(Capture(window).count(20, 60, 140, 100, white, 30), 30);
    set_font(&button, nullptr);
    paint_now(parent.hwnd());
    EXPECT_EQ(Capture(window).count(20, 60, 140, 100, white, 30), 0);
  }
  set_font(&button, font);
  DestroyWindow(window);
  window = nullptr;
  EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
  DeleteObject(font);
}

}  // namespace
