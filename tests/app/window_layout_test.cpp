// The main window's geometry and DPI-dependent resources. Registered twice:
// in a prefix of system DPI 96 and in one of DPI 144 (MORLANT_WINE_DPI).
#include <gtest/gtest.h>

#include <cstdlib>

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
  EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrW(menu_icon_window, GCLP_HCURSOR)), LoadCursorW(nullptr, IDC_HAND));
}

TEST_F(MainWindowLayout, FixedSizeWindowCentredOnTheScreen) {
  EXPECT_EQ(apptest::window_text(window), L"Morlant");
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX), WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
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
