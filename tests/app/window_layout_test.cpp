// The main window's geometry and DPI-dependent resources. Registered twice:
// in a prefix of system DPI 96 and in one of DPI 144 (MORLANT_WINE_DPI).
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/globals.h"
#include "app/resource_ids.h"
#include "tests/app/app_test_support.h"

namespace {

using apptest::child_rect;

struct Box {
  int x, y, width, height;
};
struct Layout {
  int client_width, client_height;
  Box menu_icon, start, result_card, info_card;
  int font_heights[5];  // button, score, time, info label, info value (em pixels)
};
// The layout table at 96 DPI, and at 144 DPI where every length is scaled
// on its own (margin 30, gap 24, icon 36, button 240, cards 165 and 255).
constexpr Layout kAt96{400, 515, {356, 20, 24, 24}, {120, 20, 160, 160}, {20, 196, 360, 110}, {20, 322, 360, 170},
                       {24, 48, 14, 11, 12}};
constexpr Layout kAt144{600, 773, {534, 30, 36, 36}, {180, 30, 240, 240}, {30, 294, 540, 165}, {30, 483, 540, 255},
                        {36, 72, 21, 17, 18}};

void expect_box(HWND child, const Box& expected, const char* what) {
  ASSERT_NE(child, nullptr) << what;
  const RECT r = child_rect(child);
  EXPECT_EQ(r.left, expected.x) << what;
  EXPECT_EQ(r.top, expected.y) << what;
  EXPECT_EQ(r.right - r.left, expected.width) << what;
  EXPECT_EQ(r.bottom - r.top, expected.height) << what;
}

class MainWindowLayout : public apptest::MainWindowTest {
 protected:
  const Layout& expected() {
    const int dpi = static_cast<int>(GetDpiForWindow(window));
    if (const char* wanted = std::getenv("MORLANT_WINE_DPI")) {
      EXPECT_EQ(dpi, std::atoi(wanted)) << "prefix DPI not in effect";
    }
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
  expect_box(GetDlgItem(window, IDC_MENU_ICON), layout.menu_icon, "menu icon");
  expect_box(GetDlgItem(window, IDC_START), layout.start, "START");
  expect_box(GetDlgItem(window, IDC_RESULT_CARD), layout.result_card, "result card");
  expect_box(GetDlgItem(window, IDC_SYSINFO_CARD), layout.info_card, "information card");
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
  ASSERT_NE(icon, nullptr) << "the menu icon has no picture";
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP colour{};
  GetObjectW(info.hbmColor, sizeof colour, &colour);
  EXPECT_EQ(colour.bmWidth, layout.menu_icon.width);
  EXPECT_EQ(colour.bmHeight, layout.menu_icon.height);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  // The picture installs the hand cursor on the STATIC class.
  EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrW(menu_icon_window, GCLP_HCURSOR)), LoadCursorW(nullptr, IDC_HAND));
}

TEST_F(MainWindowLayout, FixedSizeWindowCentredOnTheScreen) {
  wchar_t name[64] = L"";
  GetClassNameW(window, name, 64);
  EXPECT_STREQ(name, L"BasicWindowClass");
  EXPECT_EQ(apptest::window_text(window), L"Morlant");
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX), WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
  EXPECT_EQ(GetMenu(window), nullptr);
  EXPECT_NE(SendMessageW(window, WM_GETICON, ICON_BIG, 0), 0);

  RECT outer{};
  GetWindowRect(window, &outer);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2);

  EXPECT_EQ(apptest::window_text(start_button_window), L"START");
  EXPECT_TRUE(IsWindowEnabled(start_button_window));
  EXPECT_EQ(apptest::window_text(result_card_window), L"--");
}

}  // namespace
