// The main window (class "BasicWindowClass"): start-up of the window with
// its controls, and MainWindowProc, which starts a benchmark on START, turns
// the worker's posted records into progress on the START ring and into the
// result card's data, opens the About dialog from the menu icon, the system
// menu and F1, copies the result on Ctrl+C, follows the window's DPI when it
// moves to another monitor, and cleans up when the window is destroyed.
// Window thread only.
//
// Ownership: the window's fonts and title bar icons are the globals of
// app/globals.h (made at creation and for every new DPI, the old ones
// deleted once replaced, the last ones on WM_DESTROY); the accelerator table
// of its shortcuts is made with the first window and destroyed on its
// WM_DESTROY; the menu icon's picture is replaced with each new DPI
// (app/menu_icon.h). The clipboard memory of a copy belongs to the clipboard.
#ifndef MORLANT_APP_MAIN_WINDOW_H
#define MORLANT_APP_MAIN_WINDOW_H

#include <windows.h>

// Registers "BasicWindowClass", "ResultCardClass" and "SysInfoCardClass";
// registration results are not checked (a missing class shows as a missing
// control).
void register_window_classes(HINSTANCE instance);

// Start-up after GDI+ and DPI awareness: registers the classes, reads the
// machine facts into system_info, creates the main window, and sizes its
// client area (400 x 515 at 96 DPI), its fonts, icons, the menu icon, START
// and the two cards from one DPI, the window's own (window_dpi); centres it
// on the primary screen and shows it with `show`, START holding the focus.
// Returns the window, also stored in main_window; null when it cannot be
// created. GDI+ must be running (the menu icon's picture).
HWND create_main_window(HINSTANCE instance, int show);

// The message loop's filter for the main window: its keyboard shortcuts
// (F1: About; Ctrl+C: copy the result) and dialog-style keyboard handling
// (Tab to START). Returns true when the message was taken.
bool translate_main_window_message(HWND window, MSG* message);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// How START launches the worker. The defaults are BenchmarkThreadProc and
// CreateThread (default security and stack, running at once); tests replace
// them to run a scripted worker or to make the creation fail. When the
// creation fails the window returns to idle and frees the start record.
extern LPTHREAD_START_ROUTINE benchmark_thread_procedure;
extern HANDLE (*create_worker_thread)(LPTHREAD_START_ROUTINE procedure, void* parameter);

#endif  // MORLANT_APP_MAIN_WINDOW_H
