// The menu icon's picture: the PNG resource IDR_MENU_PNG decoded with GDI+
// into a small icon. Failures are reported as single diagnostic lines and
// leave the control without picture; start-up goes on in every case.
#ifndef MORLANT_APP_MENU_ICON_H
#define MORLANT_APP_MENU_ICON_H

#include <windows.h>

// Receives each diagnostic line, without line end. The default writes the
// line to the debugger (OutputDebugStringW, with a line end); tests
// replace it to capture the lines.
using DiagnosticLineSink = void (*)(const wchar_t* line);
extern DiagnosticLineSink diagnostic_line_sink;

// Decodes IDR_MENU_PNG of `module` and scales it to size x size pixels
// (high-quality bicubic) unless it has that size already. Writes
// "Successfully loaded PNG icon from resource" and returns the icon, owned
// by the caller; on failure writes the warning of the failed step and
// returns null. GDI+ must be running.
HICON load_menu_icon_picture(HMODULE module, int size);

// Gives the STATIC control `control` its picture (STM_SETIMAGE) at size x
// size pixels, destroying the picture it replaces (a new DPI brings a new
// size). The last icon lives until the process ends.
void install_menu_icon_picture(HWND control, HMODULE module, int size);

#endif  // MORLANT_APP_MENU_ICON_H
