// morlant-ui-driver: drives a running Morlant.exe from outside, the way a
// user would, for the screenshot script. One command per call:
//   wait-window [seconds]   wait until the main window exists
//   rect                    print the main window's outer rectangle: x y w h
//   click-start             click the START button with the mouse
//   open-about              choose "About" from the menu icon's menu (posted;
//                           the dialog opens and the command returns)
//   about-rect              print the About dialog's rectangle
//   wait-result [seconds]   wait until START is enabled again after a run
// Exit code 0 on success, 1 on failure.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kIdcStart = 1002;
constexpr int kIdmAbout = 40001;

HWND main_window() { return FindWindowW(L"BasicWindowClass", L"Morlant"); }

bool wait_for(HWND (*find)(), double seconds) {
  for (double t = 0; t < seconds; t += 0.1) {
    if (find() != nullptr) return true;
    Sleep(100);
  }
  return false;
}

void print_rect(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void click_at(POINT p) {
  SetCursorPos(p.x, p.y);
  Sleep(50);
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, in, sizeof(INPUT));
}

HWND about_dialog() { return FindWindowW(nullptr, L"About Morlant"); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 1;
  const char* cmd = argv[1];
  const double seconds = argc > 2 ? std::atof(argv[2]) : 30.0;
  if (std::strcmp(cmd, "wait-window") == 0) return wait_for(main_window, seconds) ? 0 : 1;
  HWND window = main_window();
  if (window == nullptr) return 1;
  if (std::strcmp(cmd, "rect") == 0) {
    print_rect(window);
    return 0;
  }
  if (std::strcmp(cmd, "click-start") == 0) {
    HWND start = GetDlgItem(window, kIdcStart);
    if (start == nullptr) return 1;
    SetForegroundWindow(window);
    RECT r;
    GetClientRect(start, &r);
    POINT centre{(r.right - r.left) / 2, (r.bottom - r.top) / 2};
    ClientToScreen(start, &centre);
    click_at(centre);
    Sleep(300);
    SetCursorPos(0, 0);  // away from the button, so no hover colour
    return IsWindowEnabled(start) ? 1 : 0;
  }
  if (std::strcmp(cmd, "open-about") == 0) {
    PostMessageW(window, WM_COMMAND, kIdmAbout, 0);
    return wait_for(about_dialog, seconds) ? 0 : 1;
  }
  if (std::strcmp(cmd, "about-rect") == 0) {
    HWND about = about_dialog();
    if (about == nullptr) return 1;
    print_rect(about);
    return 0;
  }
  if (std::strcmp(cmd, "wait-result") == 0) {
    HWND start = GetDlgItem(window, kIdcStart);
    for (double t = 0; t < seconds; t += 0.5) {
      if (start != nullptr && IsWindowEnabled(start)) return 0;
      Sleep(500);
    }
    return 1;
  }
  return 1;
}
