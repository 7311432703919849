// The circular START button: a push button drawn as a disc with a centred
// label, which doubles as the progress ring while its owner keeps it
// disabled. Window class "CircularButtonClass", registered on first create.
// A lost mouse capture (WM_CAPTURECHANGED) ends a press without a click.
#ifndef MORLANT_CONTROLS_CIRCULAR_BUTTON_H
#define MORLANT_CONTROLS_CIRCULAR_BUTTON_H

#include <windows.h>

#include <cstdint>

// The GDI+ flat interface's bitmap type (<gdiplus.h>).
namespace Gdiplus {
class GpBitmap;
}

// State of one button. Owns `bitmap` (the offscreen surface kept between
// paints, released with release_bitmap, and always before GDI+ shuts down);
// does not own `font`.
struct CircularButton {
  HWND hwnd;                  // null until create has succeeded
  float progress;             // always within [0, 1]
  uint8_t hover;              // pointer over the control
  uint8_t pressed;            // a press (mouse or key) has begun and not ended
  uint8_t focused;            // has the keyboard focus
  HFONT font;                 // label font, not owned; null: no label
  Gdiplus::GpBitmap* bitmap;  // cached offscreen surface, owned; null when none
  const wchar_t* label;       // drawn label, not owned; null: the window text
};

// Registers the class if needed and creates the control (WS_CHILD |
// WS_VISIBLE | WS_TABSTOP, size x size) at (x, y) of parent with control
// identifier id. Returns the window, also stored in button->hwnd; null on failure.
HWND create(CircularButton* button, HWND parent, int x, int y, int size, int id);

// Stores value clamped to [0, 1] (NaN gives 0) and invalidates without erasing.
void set_progress(CircularButton* button, float value);

// Stores the label font (not owned) and invalidates without erasing.
void set_font(CircularButton* button, HFONT font);

// Draws `label` (not owned; it must outlive the control) instead of the
// window text, which then stays free to describe the state to screen
// readers. Null goes back to the window text. Invalidates without erasing.
void set_label(CircularButton* button, const wchar_t* label);

// Disposes of the cached bitmap, if any.
void release_bitmap(CircularButton* button);

LRESULT CALLBACK CircularButtonProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

#endif  // MORLANT_CONTROLS_CIRCULAR_BUTTON_H
