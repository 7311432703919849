// Painting leaves nothing behind: every GDI and GDI+ object a paint makes is
// deleted before it returns, and the button's cached bitmap is reused.
#include <windows.h>
// GDI+ needs the Windows headers before it.
#include <gdiplus.h>
#include <gtest/gtest.h>

#include <cstdlib>

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

// Leaks: a hundred paints of the idle and the running button and of both
// cards keep no GDI or GDI+ object; the button keeps one bitmap per size.
TEST(ControlsPaint, RepaintsLeaveNoObjectsBehindAndTheButtonKeepsOneBitmapPerSize) {
  // The counts the check relies on must see one object come and go.
  const int gdiplus_before = live_gdiplus_objects(), gdi_before = live_gdi_objects();
  Gdiplus::GpSolidFill* fill = nullptr;
  ASSERT_EQ(Gdiplus::DllExports::GdipCreateSolidFill(0xFF000000, &fill), Gdiplus::Ok);
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  EXPECT_EQ(live_gdiplus_objects(), gdiplus_before + 1);
  EXPECT_TRUE(gdi_before < 0 || live_gdi_objects() == gdi_before + 1);
  Gdiplus::DllExports::GdipDeleteBrush(fill);
  DeleteObject(brush);
  EXPECT_EQ(live_gdiplus_objects(), gdiplus_before);
  EXPECT_TRUE(gdi_before < 0 || live_gdi_objects() == gdi_before);

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
    EXPECT_TRUE(objects < 0 || std::abs(live_gdi_objects() - objects) <= 4) << "control " << control;
    EXPECT_EQ(live_gdiplus_objects(), gdiplus_objects) << "control " << control;
  }
  // One bitmap per size: reused by every paint, dropped on a change of size.
  Gdiplus::GpBitmap* const kept = idle.bitmap;
  ASSERT_NE(kept, nullptr);
  repaint(idle.hwnd, 10);
  EXPECT_EQ(idle.bitmap, kept);
  MoveWindow(idle.hwnd, 20, 20, 120, 100, FALSE);
  EXPECT_EQ(idle.bitmap, nullptr);
  repaint(idle.hwnd, 1);
  UINT width = 0, height = 0;
  Gdiplus::DllExports::GdipGetImageWidth(idle.bitmap, &width);
  Gdiplus::DllExports::GdipGetImageHeight(idle.bitmap, &height);
  EXPECT_TRUE(width == 120u && height == 100u) << width << " x " << height;
  destroy_children(parent);
  release_bitmap(&idle);
  release_bitmap(&running);
  EXPECT_EQ(idle.bitmap, nullptr);
  release_bitmap(&idle);  // nothing left to release
  DeleteObject(label_font);
}

}  // namespace
