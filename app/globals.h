// Globals of the window thread. Everything here is created, written and
// read on the window thread, except the three that the worker thread shares
// (declared in bench/worker_windows.h): it reads main_window and
// total_progress_steps, written before it is created, and writes
// last_posted_step, which the window thread resets only before creating it.
//
// Ownership: the window thread owns the windows, start_button (its cached
// bitmap is released before GDI+ shuts down), result_card_state,
// system_info and the five fonts (created with the main window, made anew
// for a new DPI, deleted on its WM_DESTROY; the controls use them without
// owning them).
#ifndef MORLANT_APP_GLOBALS_H
#define MORLANT_APP_GLOBALS_H

#include <windows.h>

#include <cstdint>

#include "bench/worker_windows.h"
#include "controls/cards.h"
#include "controls/circular_button.h"
#include "sysinfo/system_info.h"

extern CircularButton start_button;  // static storage, zero before WinMain runs
extern HWND start_button_window;
extern HWND result_card_window;
extern HWND menu_icon_window;
extern HANDLE worker_thread;  // the running worker, null when none

extern HFONT font_button;  // START label; the other four are declared with the cards

// The main window's title bar and taskbar icons at its DPI: owned here,
// replaced when the DPI changes, destroyed on the window's WM_DESTROY.
extern HICON window_icon_big;
extern HICON window_icon_small;

#endif  // MORLANT_APP_GLOBALS_H
