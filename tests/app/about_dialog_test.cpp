// The About dialog from the linked resource script, opened modally on the
// test thread; a timer on its modal loop inspects and ends it.
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

TEST(AboutDialog, ShowsNameVersionDescriptionAndAnUnderlinedBlueLink) {
  const INT_PTR result = open_about([&](HWND dialog) {
    EXPECT_EQ(window_text(dialog), L"About Morlant");
    std::vector<std::wstring> texts;
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM all) -> BOOL {
          reinterpret_cast<std::vector<std::wstring>*>(all)->push_back(window_text(child));
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&texts));
    texts.erase(texts.begin());  // the icon's text is its resource ordinal
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"Morlant", L"Version 1.0.0", L"A cross-platform Pi calculation benchmark",
                                                L"https://morlant.example.org/", L"OK"}));
    EXPECT_NE(SendMessageW(GetWindow(dialog, GW_CHILD), STM_GETICON, 0, 0), 0) << "no icon";
    HWND link = GetDlgItem(dialog, IDC_ABOUT_LINK);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(link, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_NE(font.lfUnderline, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(link)),
              reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE)));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 102, 204));
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    SetTextColor(dc, RGB(1, 2, 3));  // other texts keep their colour
    SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_ABOUT_VERSION)));
    EXPECT_NE(GetTextColor(dc), RGB(0, 102, 204));
    DeleteDC(dc);
    EndDialog(dialog, IDOK);
  });
  EXPECT_EQ(result, IDOK);
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

// The hand shows over the link alone: the description is a STATIC control
// too, and the STATIC class keeps its arrow.
TEST(AboutDialog, HandCursorOverTheLinkOnly) {
  const HCURSOR hand = LoadCursorW(nullptr, IDC_HAND), arrow = LoadCursorW(nullptr, IDC_ARROW);
  open_about([&](HWND dialog) {
    const struct {
      int id;
      WORD hit;
      bool hand;
    } cases[] = {{IDC_ABOUT_LINK, HTCLIENT, true}, {IDC_ABOUT_VERSION, HTCLIENT, false}, {IDOK, HTCLIENT, false}};
    for (const auto& c : cases) {
      SetCursor(arrow);
      HWND control = GetDlgItem(dialog, c.id);
      const LRESULT taken = SendMessageW(dialog, WM_SETCURSOR, reinterpret_cast<WPARAM>(control),
                                         MAKELPARAM(c.hit, WM_MOUSEMOVE));
      if (c.hand) EXPECT_NE(taken, 0) << c.id;
      EXPECT_EQ(GetCursor() == hand, c.hand) << c.id;
      EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrW(control, GCLP_HCURSOR)) == hand, false) << c.id;
    }
    EndDialog(dialog, IDOK);
  });
}

std::vector<std::wstring> opened;

TEST(AboutDialog, ClickingTheLinkOpensTheWebPageAndKeepsTheDialogOpen) {
  void (*const shell_open)(const wchar_t*) = open_web_page;
  open_web_page = [](const wchar_t* address) { opened.push_back(address); };
  const INT_PTR result = open_about([&](HWND dialog) {
    HWND link = GetDlgItem(dialog, IDC_ABOUT_LINK);
    SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    EXPECT_TRUE(IsWindow(dialog) && IsWindowVisible(dialog));
    EndDialog(dialog, IDOK);
  });
  open_web_page = shell_open;
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(opened, std::vector<std::wstring>{L"https://morlant.example.org/"});
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
    ASSERT_NE(underlined, nullptr);
    ASSERT_EQ(GetObjectType(underlined), 0u) << "opening " << i << " left its link font behind";
  }
  EXPECT_TRUE(before == 0 || gdi_objects() <= before + 5) << "GDI objects: " << before << " -> " << gdi_objects();
}

}  // namespace
