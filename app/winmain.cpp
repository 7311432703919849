// Entry point of the desktop program: GDI+ and per-monitor DPI awareness,
// the main window, and the message loop with the window's shortcuts and
// dialog-style keyboard handling. The program reads no command line.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <shellscalingapi.h>

#include "app/globals.h"
#include "app/main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*command_line*/, int show) {
  // GDI+ runs until every GDI+ object is gone: the START button's cached
  // bitmap is released just before the shut-down.
  Gdiplus::GdiplusStartupInput gdiplus_input;  // version 1, no debug callback, its own background thread
  ULONG_PTR gdiplus_token = 0;
  Gdiplus::GdiplusStartup(&gdiplus_token, &gdiplus_input, nullptr);
  SetProcessDpiAwareness(PROCESS_PER_MONITOR_DPI_AWARE);  // the manifest says so too

  int exit_code = 0;
  if (HWND window = create_main_window(instance, show)) {
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      if (translate_main_window_message(window, &message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    exit_code = static_cast<int>(message.wParam);
  }

  release_bitmap(&start_button);
  Gdiplus::GdiplusShutdown(gdiplus_token);
  return exit_code;
}
