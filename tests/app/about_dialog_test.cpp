// The About dialog from the linked resource script, opened modally with
// DialogBoxParamW on the test thread; a timer on the dialog's modal loop
// inspects it and ends it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/about_dialog.h"
#include "app/resource_ids.h"
#include "tests/app/app_test_support.h"

namespace {

using apptest::window_text;

INT_PTR open_about(const std::function<void(HWND)>& action) {
  return apptest::with_modal_window(
      L"#32770",
      [] { return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), nullptr, AboutDialogProc, 0); },
      action);
}

BOOL CALLBACK collect_text(HWND child, LPARAM texts) {
  reinterpret_cast<std::vector<std::wstring>*>(texts)->push_back(window_text(child));
  return TRUE;
}

TEST(AboutDialog, ShowsNameVersionDescriptionAndAnUnderlinedBlueLink) {
  std::wstring title;
  std::vector<std::wstring> texts;
  bool has_icon = false, underlined = false;
  COLORREF link_colour = 0, other_colour = 0;
  INT_PTR link_brush = 0;
  int link_background = 0;
  const INT_PTR result = open_about([&](HWND dialog) {
    title = window_text(dialog);
    EnumChildWindows(dialog, collect_text, reinterpret_cast<LPARAM>(&texts));
    HWND icon = GetWindow(dialog, GW_CHILD);  // first item of the template
    has_icon = SendMessageW(icon, STM_GETICON, 0, 0) != 0;

    HWND link = GetDlgItem(dialog, IDC_ABOUT_LINK);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(link, WM_GETFONT, 0, 0)), sizeof font, &font);
    underlined = font.lfUnderline != 0;

    HDC dc = CreateCompatibleDC(nullptr);
    link_brush = SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(link));
    link_colour = GetTextColor(dc);
    link_background = GetBkMode(dc);
    SetTextColor(dc, RGB(1, 2, 3));
    SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_ABOUT_VERSION)));
    other_colour = GetTextColor(dc);
    DeleteDC(dc);
    EndDialog(dialog, IDOK);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(title, L"About Morlant");
  texts.erase(texts.begin());  // the icon's text is its resource ordinal
  const std::vector<std::wstring> expected{L"Morlant", L"Version 1.0.0", L"A cross-platform Pi calculation benchmark",
                                           L"https://morlant.example.org/", L"OK"};
  EXPECT_EQ(texts, expected);
  EXPECT_TRUE(has_icon);
  EXPECT_TRUE(underlined);
  EXPECT_EQ(link_colour, RGB(0, 102, 204));
  EXPECT_EQ(link_brush, reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE)));
  EXPECT_EQ(link_background, TRANSPARENT);
  EXPECT_NE(other_colour, RGB(0, 102, 204));
}

TEST(AboutDialog, OkEnterEscapeAndCloseBoxEndItWithOneOneTwoTwo) {
  const struct {
    const char* how;
    void (*close)(HWND);
    INT_PTR result;
  } cases[] = {
      {"OK", [](HWND d) { PostMessageW(GetDlgItem(d, IDOK), BM_CLICK, 0, 0); }, IDOK},
      {"Enter", [](HWND d) { PostMessageW(GetDlgItem(d, IDOK), WM_KEYDOWN, VK_RETURN, 0); }, IDOK},
      {"Escape", [](HWND d) { PostMessageW(GetDlgItem(d, IDOK), WM_KEYDOWN, VK_ESCAPE, 0); }, IDCANCEL},
      {"close box", [](HWND d) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }, IDCANCEL},
  };
  for (const auto& c : cases) EXPECT_EQ(open_about(c.close), c.result) << c.how;
}

std::wstring opened_address;
int opened_count;

TEST(AboutDialog, ClickingTheLinkOpensTheWebPageAndKeepsTheDialogOpen) {
  void (*const shell_open)(const wchar_t*) = open_web_page;
  open_web_page = [](const wchar_t* address) {
    opened_address = address;
    ++opened_count;
  };
  opened_count = 0;
  bool still_open = false;
  HCURSOR link_cursor = nullptr;
  const INT_PTR result = open_about([&](HWND dialog) {
    HWND link = GetDlgItem(dialog, IDC_ABOUT_LINK);
    link_cursor = reinterpret_cast<HCURSOR>(GetClassLongPtrW(link, GCLP_HCURSOR));
    SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    still_open = IsWindow(dialog) && IsWindowVisible(dialog);
    EndDialog(dialog, IDOK);
  });
  open_web_page = shell_open;
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(opened_count, 1);
  EXPECT_EQ(opened_address, L"https://morlant.example.org/");
  EXPECT_TRUE(still_open);
  EXPECT_EQ(link_cursor, LoadCursorW(nullptr, IDC_HAND));
}

TEST(AboutDialog, OpeningItAHundredTimesAccumulatesNoFontsOrOtherGdiObjects) {
  const auto gdi_objects = [] { return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); };
  open_about([](HWND dialog) { EndDialog(dialog, IDOK); });  // first-use caches of the system
  const DWORD before = gdi_objects();
  for (int i = 0; i < 100; ++i) {
    HFONT underlined = nullptr;
    open_about([&](HWND dialog) {
      underlined = reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(dialog, IDC_ABOUT_LINK), WM_GETFONT, 0, 0));
      EndDialog(dialog, IDCANCEL);
    });
    // The dialog's own underlined font is deleted with the dialog.
    ASSERT_NE(underlined, nullptr);
    ASSERT_EQ(GetObjectType(underlined), 0u) << "opening " << i << " left its link font behind";
  }
  // Where the system counts GDI objects, the count must not grow either.
  if (before != 0) {
    EXPECT_LE(gdi_objects(), before + 5);
  }
}

}  // namespace
