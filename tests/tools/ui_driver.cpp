// morlant-ui-driver: drives a running Morlant.exe from outside, the way a
// user would, for the screenshot script. One command per call:
//   wait-window [seconds]   wait until the main window exists
//   rect                    print the main window's outer rectangle: x y w h
//   click-start             click the START button with the mouse
//   open-about              choose "About" from the menu icon's menu (posted;
//                           the dialog opens and the command returns)
//   about-rect              print the About dialog's rectangle
//   wait-result [seconds]   wait until START is enabled again after a run
//   wait-progress percent   wait (15 min at most) until the run has reached
//                           `percent`, print the percent reached; fails
//                           when the run ended first
//   progress                print the run's percent (-1 when none runs)
// Exit code 0 on success, 1 on failure.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

constexpr int kIdcStart = 1002, kIdmAbout = 40001;

HWND main_window() { return FindWindowW(L"BasicWindowClass", L"Morlant"); }
HWND about_dialog() { return FindWindowW(nullptr, L"About Morlant"); }
HWND start_button() { return GetDlgItem(main_window(), kIdcStart); }

// A run's progress as START's window text tells it ("Running, 37 %"), -1 when none runs.
int progress() {
  wchar_t text[64] = L"";
  int percent = -1;
  GetWindowTextW(start_button(), text, 64);
  return std::swscanf(text, L"Running, %d %%", &percent) == 1 ? percent : -1;
}
int wanted_percent = 0;

bool wait_for(bool (*done)(), double seconds) {
  for (double t = 0; t < seconds; t += 0.1, Sleep(100))
    if (done()) return true;
  return false;
}

bool print_rect(HWND window) {
  RECT r;
  if (window == nullptr || !GetWindowRect(window, &r)) return false;
  std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
  return true;
}

bool click_start() {
  HWND start = start_button();
  if (start == nullptr) return false;
  SetForegroundWindow(main_window());
  RECT r;
  GetClientRect(start, &r);
  POINT centre{r.right / 2, r.bottom / 2};
  ClientToScreen(start, &centre);
  SetCursorPos(centre.x, centre.y);
  Sleep(50);
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, in, sizeof(INPUT));
  Sleep(300);
  SetCursorPos(0, 0);  // away from the button, so no hover colour
  return !IsWindowEnabled(start);
}

bool run(const std::string& command, const char* argument) {
  const double seconds = argument != nullptr ? std::atof(argument) : 30.0;
  if (command == "wait-window") return wait_for([] { return main_window() != nullptr; }, seconds);
  if (main_window() == nullptr) return false;
  if (command == "rect") return print_rect(main_window());
  if (command == "click-start") return click_start();
  if (command == "open-about") return PostMessageW(main_window(), WM_COMMAND, kIdmAbout, 0) &&
                                      wait_for([] { return about_dialog() != nullptr; }, seconds);
  if (command == "about-rect") return print_rect(about_dialog());
  if (command == "wait-result") return wait_for([] { return IsWindowEnabled(start_button()) != FALSE; }, seconds);
  if (command == "wait-progress" || command == "progress") {  // the first stops early when the run ends
    wanted_percent = command == "progress" ? -1 : std::atoi(argument != nullptr ? argument : "0");
    wait_for([] { return progress() >= wanted_percent || IsWindowEnabled(start_button()); }, 900);
    const int percent = progress();
    return std::printf("%d\n", percent) > 0 && percent >= wanted_percent;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) { return argc >= 2 && run(argv[1], argc > 2 ? argv[2] : nullptr) ? 0 : 1; }
