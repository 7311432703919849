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

std::vector<std::wstring> opened;

TEST(AboutDialog, ShowsItsTextsAndAnUnderlinedBlueLinkUnderTheHandThatOpensTheWebPage) {
  void (*const shell_open)(const wchar_t*) = open_web_page;
  open_web_page = [](const wchar_t* address) { opened.push_back(address); };
  const INT_PTR result = open_about([&](HWND dialog) {
    EXPECT_EQ(window_text(dialog), L"About Morlant");
    std::vector<std::wstring> texts;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
      texts.push_back(window_text(child));
    texts.erase(texts.begin());  // the icon's text is its resource ordinal
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"Morlant", L"Version 1.0.0", L"A cross-platform Pi calculation benchmark",
                                                L"https://morlant.example.org/", L"OK"}));
    EXPECT_NE(SendMessageW(GetWindow(dialog, GW_CHILD), STM_GETICON, 0, 0), 0) << "no icon";
    // The template's frame, size (230 x 100 dialog units) and font.
    const LONG_PTR frame = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    EXPECT_EQ(GetWindowLongPtrW(dialog, GWL_STYLE) & frame, frame);
    RECT size{0, 0, 230, 100}, client{};
    MapDialogRect(dialog, &size);
    GetClientRect(dialog, &client);
    EXPECT_TRUE(client.right == size.right && client.bottom == size.bottom) << client.right << " x " << client.bottom;
    LOGFONTW face{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof face, &face);
    EXPECT_STREQ(face.lfFaceName, L"Segoe UI");
    HWND link = GetDlgItem(dialog, IDC_ABOUT_LINK);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(link, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_NE(font.lfUnderline, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(link)),
              reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE)));
    EXPECT_TRUE(GetTextColor(dc) == RGB(0, 102, 204) && GetBkMode(dc) == TRANSPARENT);
    SetTextColor(dc, RGB(1, 2, 3));  // other texts keep their colour
    SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_ABOUT_VERSION)));
    EXPECT_NE(GetTextColor(dc), RGB(0, 102, 204));
    DeleteDC(dc);

    // The hand over the link alone. The link set as its class cursor once
    // gave every STATIC control of the process, the description too, the hand.
    const HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
    const std::pair<int, bool> controls[] = {{IDC_ABOUT_LINK, true}, {IDC_ABOUT_VERSION, false}, {IDOK, false}};
    for (const auto& [id, shows_hand] : controls) {
      SetCursor(LoadCursorW(nullptr, IDC_ARROW));
      HWND control = GetDlgItem(dialog, id);
      const LRESULT taken =
          SendMessageW(dialog, WM_SETCURSOR, reinterpret_cast<WPARAM>(control), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
      EXPECT_TRUE(!shows_hand || taken != 0) << id;
      EXPECT_EQ(GetCursor() == hand, shows_hand) << id;
      EXPECT_NE(reinterpret_cast<HCURSOR>(GetClassLongPtrW(control, GCLP_HCURSOR)), hand) << id;
    }
    SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    EXPECT_TRUE(IsWindow(dialog) && IsWindowVisible(dialog)) << "a click on the link closed the dialog";
    EndDialog(dialog, IDOK);
  });
  open_web_page = shell_open;
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(opened, std::vector<std::wstring>{L"https://morlant.example.org/"});
}

// Leak: each opening makes an underlined font for the link, which the
// closing must delete, whichever way it is closed: OK and Enter end the
// dialog with IDOK, Escape and the close box with IDCANCEL.
TEST(AboutDialog, EveryWayOfClosingItEndsItAndAHundredOpeningsKeepNoGdiObject) {
  const struct { const char* how; void (*close)(HWND); INT_PTR result; } ways[] = {
      {"OK", [](HWND d) { PostMessageW(GetDlgItem(d, IDOK), BM_CLICK, 0, 0); }, IDOK},
      {"Enter", [](HWND d) { PostMessageW(GetDlgItem(d, IDOK), WM_KEYDOWN, VK_RETURN, 0); }, IDOK},
      {"Escape", [](HWND d) { PostMessageW(GetDlgItem(d, IDOK), WM_KEYDOWN, VK_ESCAPE, 0); }, IDCANCEL},
      {"close box", [](HWND d) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }, IDCANCEL},
  };
  const auto gdi_objects = [] { return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); };
  open_about([](HWND dialog) { EndDialog(dialog, IDOK); });  // first-use caches of the system
  const DWORD before = gdi_objects();
  for (int i = 0; i < 100; ++i) {
    const auto& way = ways[i % 4];
    HFONT underlined = nullptr;
    const INT_PTR result = open_about([&](HWND dialog) {
      underlined = reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(dialog, IDC_ABOUT_LINK), WM_GETFONT, 0, 0));
      way.close(dialog);
    });
    EXPECT_EQ(result, way.result) << way.how;
    ASSERT_NE(underlined, nullptr);
    ASSERT_EQ(GetObjectType(underlined), 0u) << "opening " << i << " left its link font behind";
  }
  EXPECT_TRUE(before == 0 || gdi_objects() <= before + 5) << "GDI objects: " << before << " -> " << gdi_objects();
}

}  // namespace
