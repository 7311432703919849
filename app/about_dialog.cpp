#include "app/about_dialog.h"

#include <dwmapi.h>
#include <shellapi.h>

#include "app/resource_ids.h"

namespace {

constexpr DWORD kDarkTitleBarAttribute = 20;  // DWMWA_USE_IMMERSIVE_DARK_MODE
constexpr COLORREF kLinkColour = RGB(0, 102, 204);
constexpr wchar_t kWebAddress[] = L"" MORLANT_WEB_ADDRESS;

void shell_open(const wchar_t* address) { ShellExecuteW(nullptr, L"open", address, nullptr, nullptr, SW_SHOWNORMAL); }

// The underlined copy of the link's font lives in the dialog's DWLP_USER
// slot from WM_INITDIALOG to WM_DESTROY.
HFONT underlined_font(HWND dialog) { return reinterpret_cast<HFONT>(GetWindowLongPtrW(dialog, DWLP_USER)); }

void underline_link(HWND dialog, HWND link) {
  auto font = reinterpret_cast<HFONT>(SendMessageW(link, WM_GETFONT, 0, 0));
  LOGFONTW description;
  if (font == nullptr || GetObjectW(font, sizeof description, &description) == 0) return;
  description.lfUnderline = TRUE;
  HFONT underlined = CreateFontIndirectW(&description);
  if (underlined == nullptr) return;
  SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(underlined));
  SendMessageW(link, WM_SETFONT, reinterpret_cast<WPARAM>(underlined), TRUE);
}

INT_PTR on_init(HWND dialog) {
  const BOOL on = TRUE;
  DwmSetWindowAttribute(dialog, kDarkTitleBarAttribute, &on, sizeof on);
  if (HWND version = GetDlgItem(dialog, IDC_ABOUT_VERSION)) SetWindowTextW(version, L"Version " MORLANT_VERSION_TEXT);
  if (HWND link = GetDlgItem(dialog, IDC_ABOUT_LINK)) underline_link(dialog, link);
  return TRUE;  // the system sets the default focus
}

INT_PTR on_control_colour(HDC dc, HWND control) {
  if (GetDlgCtrlID(control) != IDC_ABOUT_LINK) return FALSE;
  SetTextColor(dc, kLinkColour);
  SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

INT_PTR on_command(HWND dialog, WPARAM wparam) {
  const WORD id = LOWORD(wparam);
  if (id == IDOK || id == IDCANCEL) {
    EndDialog(dialog, id);
    return TRUE;
  }
  if (id == IDC_ABOUT_LINK && HIWORD(wparam) == STN_CLICKED) {
    open_web_page(kWebAddress);  // a failure is not reported; the dialog stays open
    return TRUE;
  }
  return FALSE;
}

// The hand cursor over the link alone (the dialog's other texts are STATIC
// controls too, and keep the arrow).
INT_PTR on_set_cursor(HWND dialog, HWND over, LPARAM lparam) {
  if (over == nullptr || GetDlgCtrlID(over) != IDC_ABOUT_LINK || LOWORD(lparam) != HTCLIENT) return FALSE;
  SetCursor(LoadCursorW(nullptr, IDC_HAND));
  SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
  return TRUE;
}

void on_destroy(HWND dialog) {
  if (HFONT font = underlined_font(dialog)) {
    DeleteObject(font);
    SetWindowLongPtrW(dialog, DWLP_USER, 0);
  }
}

}  // namespace

void (*open_web_page)(const wchar_t* address) = shell_open;

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      return on_init(dialog);
    case WM_CTLCOLORSTATIC:
      return on_control_colour(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
    case WM_COMMAND:
      return on_command(dialog, wparam);
    case WM_SETCURSOR:
      return on_set_cursor(dialog, reinterpret_cast<HWND>(wparam), lparam);
    case WM_DESTROY:
      on_destroy(dialog);
      return FALSE;
    default:
      return FALSE;
  }
}
