// Painting leaves nothing behind: every GDI object and every GDI+ object a
// paint makes is deleted before the paint returns, and the button's cached
// bitmap is reused, not piled up.
#include <windows.h>
// GDI+ needs the Windows headers before it.
#include <gdiplus.h>
#include <gtest/gtest.h>

#include "controls/cards.h"
#include "controls/circular_button.h"
#include "controls/drawing.h"
#include "tests/controls/controls_test_support.h"

namespace {

constexpr int kRepaints = 100;
// The GDI count covers the whole process, so the system's own caches
// (device contexts, cursor bitmaps) may move it by a few objects at any
// moment; one object kept per paint moves it by kRepaints. The GDI+ count
// sees only the calls of this program and must not move at all.
constexpr int kSystemObjects = 4;

void repaint(HWND window, int times) {
  for (int i = 0; i < times; ++i) {
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
  }
}

// The counts the leak check relies on. Wine's GetGuiResources reports 0; the
// scan of the handle table (controls_test_support.cpp) counts instead.
TEST(ControlsPaint, CountsLiveObjects) {
  const int gdiplus_before = live_gdiplus_objects();
  Gdiplus::GpSolidFill* fill = nullptr;
  ASSERT_EQ(Gdiplus::DllExports::GdipCreateSolidFill(0xFF000000, &fill), Gdiplus::Ok);
  EXPECT_EQ(live_gdiplus_objects(), gdiplus_before + 1);
  Gdiplus::DllExports::GdipDeleteBrush(fill);
  EXPECT_EQ(live_gdiplus_objects(), gdiplus_before);

  const int before = live_gdi_objects();
  if (before < 0) {
    GTEST_SKIP() << "GDI objects cannot be counted: GetGuiResources reports 0 and the handle scan finds none";
  }
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  EXPECT_EQ(live_gdi_objects(), before + 1);
  DeleteObject(brush);
  EXPECT_EQ(live_gdi_objects(), before);
}

TEST(ControlsPaint, RepaintsLeaveNoObjectsBehind) {
  TestParent parent;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  HFONT label_font = create_font(kFontButtonSpec, 96);
  CircularButton idle = {};
  CircularButton running = {};
  HWND idle_window = create(&idle, parent.hwnd(), 20, 20, 160, 1002);
  HWND running_window = create(&running, parent.hwnd(), 200, 20, 160, 1003);
  for (CircularButton* button : {&idle, &running}) {
    SetWindowTextW(button->hwnd, L"START");
    set_font(button, label_font);
  }
  SendMessageW(idle_window, WM_SETFOCUS, 0, 0);
  EnableWindow(running_window, FALSE);
  set_progress(&running, 0.4f);
  result_card_state = {1, 7.25, 123456};
  system_info = {};
  system_info.cpu_mhz = 3200;
  const struct {
    const char* name;
    HWND window;
  } controls[] = {
      {"START, enabled, focused, with its label", idle_window},
      {"START, disabled, with progress", running_window},
      {"result card", CreateWindowExW(0, L"ResultCardClass", L"", WS_CHILD | WS_VISIBLE, 20, 200, 360, 110,
                                      parent.hwnd(), nullptr, instance, nullptr)},
      {"information card", CreateWindowExW(0, L"SysInfoCardClass", L"", WS_CHILD | WS_VISIBLE, 20, 320, 360, 170,
                                           parent.hwnd(), nullptr, instance, nullptr)},
  };
  for (const auto& control : controls) {
    SCOPED_TRACE(control.name);
    ASSERT_NE(control.window, nullptr);
    repaint(control.window, 3);  // caches of the system fill up on first use
    const int objects = live_gdi_objects();
    const int gdiplus_objects = live_gdiplus_objects();
    repaint(control.window, kRepaints);
    if (objects >= 0) {
      EXPECT_NEAR(live_gdi_objects(), objects, kSystemObjects);
    }
    EXPECT_EQ(live_gdiplus_objects(), gdiplus_objects);
  }
  DestroyWindow(idle_window);
  DestroyWindow(running_window);
  release_bitmap(&idle);
  release_bitmap(&running);
  DeleteObject(label_font);
}

// The offscreen bitmap is made once for a size and reused by every paint;
// a change of size drops it and the next paint makes one of the new size.
TEST(ControlsPaint, ButtonKeepsOneBitmapPerSize) {
  TestParent parent;
  CircularButton button = {};
  HWND window = create(&button, parent.hwnd(), 20, 20, 160, 1002);
  repaint(window, 1);
  Gdiplus::GpBitmap* const first = button.bitmap;
  ASSERT_NE(first, nullptr);
  repaint(window, 10);
  EXPECT_EQ(button.bitmap, first);
  MoveWindow(window, 20, 20, 120, 100, FALSE);
  EXPECT_EQ(button.bitmap, nullptr);
  repaint(window, 1);
  ASSERT_NE(button.bitmap, nullptr);
  UINT width = 0, height = 0;
  Gdiplus::DllExports::GdipGetImageWidth(button.bitmap, &width);
  Gdiplus::DllExports::GdipGetImageHeight(button.bitmap, &height);
  EXPECT_EQ(width, 120u);
  EXPECT_EQ(height, 100u);
  DestroyWindow(window);
  release_bitmap(&button);
  EXPECT_EQ(button.bitmap, nullptr);
  release_bitmap(&button);  // nothing left to release
}

}  // namespace
