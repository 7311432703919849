// The main window's geometry and DPI-dependent resources. Registered twice:
// in a prefix of system DPI 96 and in one of DPI 144 (MORLANT_WINE_DPI).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "controls/drawing.h"

#include "app/globals.h"
#include "app/resource_ids.h"
#include "tests/app/app_test_support.h"

namespace {

struct Layout {
  int client_width, client_height;
  RECT menu_icon, start, result_card, info_card;  // x, y, width, height
  int font_heights[5];                            // button, score, time, info label, info value (em pixels)
};
// At 144 DPI every length is scaled on its own (margin 30, gap 24, icon 36, button 240, cards 165 and 255).
constexpr Layout kAt96{400, 515, {356, 20, 24, 24}, {120, 20, 160, 160}, {20, 196, 360, 110}, {20, 322, 360, 170},
                       {24, 48, 14, 11, 12}};
constexpr Layout kAt144{600, 773, {534, 30, 36, 36}, {180, 30, 240, 240}, {30, 294, 540, 165}, {30, 483, 540, 255},
                        {36, 72, 21, 17, 18}};

class MainWindowLayout : public apptest::MainWindowTest {
 protected:
  const Layout& expected() {
    const int dpi = static_cast<int>(GetDpiForWindow(window));
    const char* wanted = std::getenv("MORLANT_WINE_DPI");
    EXPECT_TRUE(wanted == nullptr || dpi == std::atoi(wanted)) << "prefix DPI not in effect: " << dpi;
    EXPECT_TRUE(dpi == 96 || dpi == 144) << "no layout expectations for " << dpi << " DPI";
    return dpi == 144 ? kAt144 : kAt96;
  }
};

TEST_F(MainWindowLayout, ClientAreaAndControlsSitAsTheLayoutTableSays) {
  const Layout& layout = expected();
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, layout.client_width);
  EXPECT_EQ(client.bottom, layout.client_height);
  const struct {
    int id;
    RECT box;
  } children[] = {{IDC_MENU_ICON, layout.menu_icon}, {IDC_START, layout.start},
                  {IDC_RESULT_CARD, layout.result_card}, {IDC_SYSINFO_CARD, layout.info_card}};
  for (const auto& c : children) {
    HWND child = GetDlgItem(window, c.id);
    ASSERT_NE(child, nullptr) << c.id;
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_TRUE(r.left == c.box.left && r.top == c.box.top && r.right - r.left == c.box.right &&
                r.bottom - r.top == c.box.bottom)
        << "control " << c.id << ": " << r.left << ", " << r.top << ", " << r.right - r.left << " x "
        << r.bottom - r.top;
  }
  EXPECT_EQ(GetDlgItem(window, IDC_START), start_button_window);
  EXPECT_EQ(GetDlgItem(window, IDC_RESULT_CARD), result_card_window);
  EXPECT_EQ(GetDlgItem(window, IDC_MENU_ICON), menu_icon_window);
}

TEST_F(MainWindowLayout, FontsAndMenuIconPictureAreMadeForTheWindowDpi) {
  const Layout& layout = expected();
  const HFONT fonts[5] = {font_button, font_score, font_time, font_info_label, font_info_value};
  for (int i = 0; i < 5; ++i) {
    LOGFONTW description{};
    ASSERT_NE(GetObjectW(fonts[i], sizeof description, &description), 0) << "font " << i;
    EXPECT_EQ(description.lfHeight, -layout.font_heights[i]) << "font " << i;
  }
  EXPECT_EQ(start_button.font, font_button);
  auto icon = reinterpret_cast<HICON>(SendMessageW(menu_icon_window, STM_GETICON, 0, 0));
  ICONINFO info{};
  ASSERT_TRUE(icon != nullptr && GetIconInfo(icon, &info)) << "the menu icon has no picture";
  BITMAP colour{};
  GetObjectW(info.hbmColor, sizeof colour, &colour);
  EXPECT_EQ(colour.bmWidth, layout.menu_icon.right);
  EXPECT_EQ(colour.bmHeight, layout.menu_icon.bottom);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
}

TEST_F(MainWindowLayout, FixedSizeWindowCentredOnTheScreen) {
  EXPECT_EQ(apptest::window_text(window), L"Morlant");
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX), WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
  EXPECT_NE(style & WS_CLIPCHILDREN, 0) << "the background would be painted under the controls first";
  EXPECT_NE(SendMessageW(window, WM_GETICON, ICON_BIG, 0), 0);
  RECT outer{};
  GetWindowRect(window, &outer);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2);
  EXPECT_EQ(apptest::window_text(start_button_window), L"START");
  EXPECT_TRUE(IsWindowEnabled(start_button_window));
  EXPECT_EQ(apptest::window_text(result_card_window), L"--");
}

// ---- A move to a monitor of another DPI --------------------------------------
// Wine gives every window the system DPI and never sends WM_DPICHANGED, so
// the test stands in for the monitor: window_dpi reports the simulated DPI
// to the window and the cards, and the test sends the messages the system
// sends on such a move. The window must then be exactly what a window
// created at that DPI is: client size, every control's rectangle, the fonts,
// the icons, and the pixels of everything it draws.

int simulated_dpi = 96;
UINT WINAPI simulated_window_dpi(HWND) { return static_cast<UINT>(simulated_dpi); }

struct Snapshot {
  RECT client{};
  std::vector<RECT> controls;  // menu icon, START, result card, information card
  std::vector<LONG> font_heights;
  int menu_icon_size = 0, small_icon_size = 0;
  std::vector<uint32_t> pixels;  // the client area as on the screen
};

Snapshot snapshot(HWND window) {
  SetCursorPos(1270, 1010);  // no hover colour
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);  // same place for every capture
  // No keyboard focus in any capture, so START draws no focus ring: whether
  // Wine activates a new window in time (needed for the focus to land) must
  // not decide the pixels. START's focus has tests of its own.
  SetFocus(nullptr);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  apptest::pump_pending();
  Snapshot s;
  GetClientRect(window, &s.client);
  for (int id : {IDC_MENU_ICON, IDC_START, IDC_RESULT_CARD, IDC_SYSINFO_CARD}) {
    RECT r{};
    GetWindowRect(GetDlgItem(window, id), &r);
    MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&r), 2);
    s.controls.push_back(r);
  }
  for (HFONT font : {font_button, font_score, font_time, font_info_label, font_info_value}) {
    LOGFONTW description{};
    GetObjectW(font, sizeof description, &description);
    s.font_heights.push_back(description.lfHeight);
  }
  const auto icon_width = [](HICON icon) {
    ICONINFO info{};
    BITMAP colour{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) return 0;
    GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof colour, &colour);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return static_cast<int>(colour.bmWidth);
  };
  s.menu_icon_size = icon_width(reinterpret_cast<HICON>(SendMessageW(menu_icon_window, STM_GETICON, 0, 0)));
  s.small_icon_size = icon_width(reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL, 0)));

  const int w = s.client.right, h = s.client.bottom;
  BITMAPINFO info{};
  info.bmiHeader = {static_cast<DWORD>(sizeof info.bmiHeader), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  // The window's background, then each control's picture read through its
  // own device context (Wine's parent context does not show every child).
  HDC screen = GetDC(window), memory = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, 0, 0, SRCCOPY);
  for (size_t i = 0; i < s.controls.size(); ++i) {
    HWND child = GetDlgItem(window, std::array<int, 4>{IDC_MENU_ICON, IDC_START, IDC_RESULT_CARD, IDC_SYSINFO_CARD}[i]);
    const RECT& r = s.controls[i];
    HDC dc = GetDC(child);
    BitBlt(memory, r.left, r.top, r.right - r.left, r.bottom - r.top, dc, 0, 0, SRCCOPY);
    ReleaseDC(child, dc);
  }
  GdiFlush();
  const auto* first = static_cast<const uint32_t*>(bits);
  if (first != nullptr) s.pixels.assign(first, first + static_cast<size_t>(w) * h);
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(window, screen);
  DeleteObject(bitmap);
  return s;
}

// With MORLANT_SHOT_DIR set, the client area is also written there as
// <name>.bmp, for a person to compare.
void save_shot(const Snapshot& s, const std::string& name) {
  const char* folder = std::getenv("MORLANT_SHOT_DIR");
  if (folder == nullptr || s.pixels.empty()) return;
  const int w = s.client.right, h = s.client.bottom;
  BITMAPINFOHEADER info{static_cast<DWORD>(sizeof info), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  const DWORD pixel_bytes = static_cast<DWORD>(s.pixels.size() * 4);
  BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof file + sizeof info) + pixel_bytes, 0, 0,
                        static_cast<DWORD>(sizeof file + sizeof info)};
  if (FILE* out = std::fopen((std::string(folder) + "\\" + name + ".bmp").c_str(), "wb")) {
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&info, sizeof info, 1, out);
    for (uint32_t pixel : s.pixels) {  // opaque: GDI leaves the alpha byte at 0
      pixel |= 0xFF000000u;
      std::fwrite(&pixel, 4, 1, out);
    }
    std::fclose(out);
  }
}

void expect_same(const Snapshot& moved, const Snapshot& created, const char* what) {
  SCOPED_TRACE(what);
  EXPECT_EQ(moved.client.right, created.client.right);
  EXPECT_EQ(moved.client.bottom, created.client.bottom);
  ASSERT_EQ(moved.controls.size(), created.controls.size());
  for (size_t i = 0; i < moved.controls.size(); ++i) {
    const RECT &a = moved.controls[i], &b = created.controls[i];
    EXPECT_TRUE(EqualRect(&a, &b)) << "control " << i << ": " << a.left << "," << a.top << "," << a.right << ","
                                   << a.bottom << " against " << b.left << "," << b.top << "," << b.right << ","
                                   << b.bottom;
  }
  EXPECT_EQ(moved.font_heights, created.font_heights);
  EXPECT_EQ(moved.menu_icon_size, created.menu_icon_size);
  EXPECT_EQ(moved.small_icon_size, created.small_icon_size);
  ASSERT_EQ(moved.pixels.size(), created.pixels.size());
  size_t differing = 0;
  RECT where{INT_MAX, INT_MAX, -1, -1};  // bounds of the differing pixels
  const int w = moved.client.right;
  for (size_t i = 0; i < moved.pixels.size(); ++i) {
    if ((moved.pixels[i] & 0xFFFFFF) == (created.pixels[i] & 0xFFFFFF)) continue;
    ++differing;
    const int x = static_cast<int>(i % w), y = static_cast<int>(i / w);
    where = {std::min<LONG>(where.left, x), std::min<LONG>(where.top, y), std::max<LONG>(where.right, x),
             std::max<LONG>(where.bottom, y)};
  }
  EXPECT_EQ(differing, 0u) << "of " << moved.pixels.size() << " pixels, within " << where.left << "," << where.top
                           << " - " << where.right << "," << where.bottom;
}

class MainWindowDpi : public apptest::MainWindowTest {
 protected:
  void TearDown() override {
    window_dpi = GetDpiForWindow;
    MainWindowTest::TearDown();
  }
  // What the system does when the window reaches a monitor of `dpi`: the
  // suggested rectangle keeps the top-left corner and scales the outer size
  // (here simply in proportion, the frame included, so the window must
  // make its client size exact itself).
  void move_to_dpi(int dpi) {
    const int old_dpi = simulated_dpi;
    simulated_dpi = dpi;
    RECT r{};
    GetWindowRect(window, &r);
    RECT suggested{r.left, r.top, r.left + scale_for_dpi(r.right - r.left, dpi * 96 / old_dpi),
                   r.top + scale_for_dpi(r.bottom - r.top, dpi * 96 / old_dpi)};
    EXPECT_EQ(SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested)), 0);
    EXPECT_EQ(start_button.bitmap, nullptr) << "START's picture of the old size is kept";
  }
  void recreate_at(int dpi) {
    DestroyWindow(window);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
      if (message.message != WM_QUIT) DispatchMessageW(&message);
    simulated_dpi = dpi;
    window = create_main_window(GetModuleHandleW(nullptr), SW_SHOWNORMAL);
    ASSERT_NE(window, nullptr);
  }
};

TEST_F(MainWindowDpi, MovedToAnotherDpiAndBackItIsTheWindowCreatedThere) {
  const int prefix_dpi = static_cast<int>(GetDpiForWindow(window));
  const int other_dpi = prefix_dpi == 144 ? 96 : 144;
  simulated_dpi = prefix_dpi;
  window_dpi = simulated_window_dpi;

  move_to_dpi(other_dpi);
  const Snapshot moved = snapshot(window);
  move_to_dpi(prefix_dpi);
  const Snapshot back = snapshot(window);
  recreate_at(other_dpi);
  const Snapshot created_other = snapshot(window);
  recreate_at(prefix_dpi);
  const Snapshot created_here = snapshot(window);

  const std::string here = std::to_string(prefix_dpi), other = std::to_string(other_dpi);
  save_shot(moved, "moved-" + here + "-to-" + other);
  save_shot(back, "moved-" + here + "-to-" + other + "-and-back");
  save_shot(created_other, "created-at-" + other + "-in-" + here + "-prefix");
  save_shot(created_here, "created-at-" + here);
  expect_same(moved, created_other, "moved to the other DPI");
  expect_same(back, created_here, "moved back");
  // The window created at the other DPI has that DPI's layout.
  const Layout& layout = other_dpi == 144 ? kAt144 : kAt96;
  EXPECT_EQ(created_other.client.right, layout.client_width);
  EXPECT_EQ(created_other.client.bottom, layout.client_height);
  EXPECT_EQ(created_other.controls[1].right - created_other.controls[1].left, layout.start.right);
  EXPECT_EQ(created_other.controls[3].bottom - created_other.controls[3].top, layout.info_card.bottom);
  EXPECT_EQ(created_other.small_icon_size, GetSystemMetricsForDpi(SM_CXSMICON, static_cast<UINT>(other_dpi)));
}

// Before a move the system asks for the outer size at the new DPI: the
// window answers with the size that holds its client area exactly.
TEST_F(MainWindowDpi, ScaledSizeAnswerHoldsTheClientAreaOfTheNewDpi) {
  for (int dpi : {96, 120, 144, 192}) {
    SIZE size{};
    ASSERT_TRUE(SendMessageW(window, WM_GETDPISCALEDSIZE, static_cast<WPARAM>(dpi), reinterpret_cast<LPARAM>(&size)));
    RECT frame{0, 0, scale_for_dpi(400, dpi), scale_for_dpi(515, dpi)};
    AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE, 0,
                             static_cast<UINT>(dpi));
    EXPECT_EQ(size.cx, frame.right - frame.left) << dpi;
    EXPECT_EQ(size.cy, frame.bottom - frame.top) << dpi;
  }
}

}  // namespace
