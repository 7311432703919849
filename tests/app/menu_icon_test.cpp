// The menu icon's picture: decoding the PNG resource into an icon, the
// diagnostic lines, and the picture itself.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/menu_icon.h"

namespace {

std::vector<std::wstring> lines;
void capture_line(const wchar_t* line) { lines.push_back(line); }

class MenuIcon : public testing::Test {
 protected:
  void SetUp() override {
    lines.clear();
    debugger_sink = diagnostic_line_sink;
    diagnostic_line_sink = capture_line;
  }
  void TearDown() override { diagnostic_line_sink = debugger_sink; }
  DiagnosticLineSink debugger_sink = nullptr;
};

// The icon drawn on white: {corner, centre} pixels as 0xRRGGBB.
std::vector<COLORREF> draw_on_white(HICON icon, int size) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP surface = CreateCompatibleBitmap(screen, size, size);
  HGDIOBJ previous = SelectObject(dc, surface);
  RECT all{0, 0, size, size};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
  std::vector<COLORREF> pixels{GetPixel(dc, 0, 0), GetPixel(dc, size / 2, size / 2)};
  SelectObject(dc, previous);
  DeleteObject(surface);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return pixels;
}

TEST_F(MenuIcon, PictureFromTheResourceIsScaledToTheRequestedSize) {
  for (int size : {24, 36, 256}) {
    lines.clear();
    HICON icon = load_menu_icon_picture(GetModuleHandleW(nullptr), size);
    ASSERT_NE(icon, nullptr) << size;
    EXPECT_EQ(lines, std::vector<std::wstring>{L"Successfully loaded PNG icon from resource"});
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP colour{};
    GetObjectW(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, size);
    EXPECT_EQ(colour.bmHeight, size);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    // Transparent corner, black middle dot.
    const std::vector<COLORREF> pixels = draw_on_white(icon, size);
    EXPECT_EQ(pixels[0], RGB(255, 255, 255)) << size;
    EXPECT_EQ(pixels[1], RGB(0, 0, 0)) << size;
    DestroyIcon(icon);
  }
}

TEST_F(MenuIcon, ModuleWithoutThePictureReportsItAndGivesNoIcon) {
  EXPECT_EQ(load_menu_icon_picture(GetModuleHandleW(L"kernel32.dll"), 24), nullptr);
  EXPECT_EQ(lines, std::vector<std::wstring>{L"Warning: Could not find PNG resource"});
}

}  // namespace
