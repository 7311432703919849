// The menu icon's picture decoded from the PNG resource, and its diagnostic lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/menu_icon.h"

namespace {

std::vector<std::wstring> lines;

TEST(MenuIcon, PictureIsScaledToTheRequestedSizeAndAModuleWithoutItGivesNone) {
  const DiagnosticLineSink debugger_sink = diagnostic_line_sink;
  diagnostic_line_sink = [](const wchar_t* line) { lines.push_back(line); };
  for (int size : {24, 36, 256}) {
    lines.clear();
    HICON icon = load_menu_icon_picture(GetModuleHandleW(nullptr), size);
    ASSERT_NE(icon, nullptr) << size;
    EXPECT_EQ(lines, std::vector<std::wstring>{L"Successfully loaded PNG icon from resource"});
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP colour{};
    GetObjectW(info.hbmColor, sizeof colour, &colour);
    EXPECT_TRUE(colour.bmWidth == size && colour.bmHeight == size) << colour.bmWidth << " x " << colour.bmHeight;
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    // Drawn on white: the corner stays white (transparent), the middle dot is black.
    HDC screen = GetDC(nullptr), dc = CreateCompatibleDC(screen);
    HBITMAP surface = CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ previous = SelectObject(dc, surface);
    PatBlt(dc, 0, 0, size, size, WHITENESS);
    DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    EXPECT_TRUE(GetPixel(dc, 0, 0) == RGB(255, 255, 255) && GetPixel(dc, size / 2, size / 2) == RGB(0, 0, 0)) << size;
    SelectObject(dc, previous);
    DeleteObject(surface);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    DestroyIcon(icon);
  }
  lines.clear();
  EXPECT_EQ(load_menu_icon_picture(GetModuleHandleW(L"kernel32.dll"), 24), nullptr);
  EXPECT_EQ(lines, std::vector<std::wstring>{L"Warning: Could not find PNG resource"});
  diagnostic_line_sink = debugger_sink;
}

}  // namespace
