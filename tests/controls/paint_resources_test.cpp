// Painting leaves nothing behind: every GDI and GDI+ object a paint makes is
// deleted before it returns, and the button's cached bitmap is reused.
#include <windows.h>
// GDI+ needs the Windows headers before it.
#include <gdiplus.h>
#include <gtest/gtest.h>

#include "controls/cards.h"
#include "controls/circular_button.h"
#include "controls/drawing.h"
#include "tests/controls/controls_test_support.h"

namespace {

void repaint(HWND window, int times) {
  for (int i = 0; i < times; ++i) {
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
  }
}

// The counts the leak check relies on must see one object come and go.
TEST(ControlsPaint, CountsLiveObjects) {
  const int gdiplus_before = live_gdiplus_objects();
  Gdiplus::GpSolidFill* fill = nullptr;
  ASSERT_EQ(Gdiplus::DllExports::GdipCreateSolidFill(0xFF000000, &fill), Gdiplus::Ok);
  EXPECT_EQ(live_gdiplus_objects(), gdiplus_before + 1);
  Gdiplus::DllExports::GdipDeleteBrush(fill);
  EXPECT_EQ(live_gdiplus_objects(), gdiplus_before);
  const int before = live_gdi_objects();
  if (before < 0) GTEST_SKIP() << "GDI objects cannot be counted here";
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  EXPECT_EQ(live_gdi_objects(), before + 1);
  DeleteObject(brush);
  EXPECT_EQ(live_gdi_objects(), before);
}

TEST(ControlsPaint, RepaintsLeaveNoObjectsBehind) {
  HWND parent = test_parent();
  HFONT label_font = create_font(kFontButtonSpec, 96);
  CircularButton idle = {}, running = {};
  create(&idle, parent, 20, 20, 160, 1002);
  create(&running, parent, 200, 20, 160, 1003);
  for (CircularButton* button : {&idle, &running}) {
    SetWindowTextW(button->hwnd, L"START");
    set_font(button, label_font);
  }
  SendMessageW(idle.hwnd, WM_SETFOCUS, 0, 0);
  EnableWindow(running.hwnd, FALSE);
  set_progress(&running, 0.4f);
  result_card_state = {1, 7.25, 123456};
  system_info = {};
  system_info.cpu_mhz = 3200;
  const auto card = [&](const wchar_t* name, int y, int height) {
    return CreateWindowExW(0, name, L"", WS_CHILD | WS_VISIBLE, 20, y, 360, height, parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
  };
  for (HWND control : {idle.hwnd, running.hwnd, card(L"ResultCardClass", 200, 110), card(L"SysInfoCardClass", 320, 170)}) {
    ASSERT_NE(control, nullptr);
    repaint(control, 3);  // the system's caches fill up on first use
    const int objects = live_gdi_objects(), gdiplus_objects = live_gdiplus_objects();
    repaint(control, 100);
    // The process-wide GDI count may move by a few system objects; one kept
    // per paint would move it by 100.
    if (objects >= 0) {
      EXPECT_NEAR(live_gdi_objects(), objects, 4) << "control " << control;
    }
    EXPECT_EQ(live_gdiplus_objects(), gdiplus_objects) << "control " << control;
  }
  destroy_children(parent);
  release_bitmap(&idle);
  release_bitmap(&running);
  DeleteObject(label_font);
}

// One bitmap per size: reused by every paint, dropped on a change of size.
TEST(ControlsPaint, ButtonKeepsOneBitmapPerSize) {
  CircularButton button = {};
  HWND window = create(&button, test_parent(), 20, 20, 160, 1002);
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
  EXPECT_TRUE(width == 120u && height == 100u) << width << " x " << height;
  destroy_children(test_parent());
  release_bitmap(&button);
  EXPECT_EQ(button.bitmap, nullptr);
  release_bitmap(&button);  // nothing left to release
}

}  // namespace
