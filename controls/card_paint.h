// The paint the two cards share: the frame, the GDI+ surface on the paint
// device context, and one-line texts drawn with GDI+ objects made for this
// paint only. Internal to the controls library.
//
// Every card is drawn into an off-screen bitmap of its size, first filled
// with the window colour (the corners outside the rounded frame), and
// copied to the screen in one operation: no flicker, and no stale pixels in
// the corners after a move or a new DPI.
//
// Ownership: a CardPaint owns its off-screen device context and bitmap, its
// GDI+ surface (on the off-screen context) and every font, brush and string
// format it makes while the card's text is drawn; end_card_paint copies the
// picture to the screen, ends the paint and then deletes all of them. The
// GDI fonts it writes with belong to the application.
#ifndef MORLANT_CONTROLS_CARD_PAINT_H
#define MORLANT_CONTROLS_CARD_PAINT_H

#include <windows.h>
// GDI+ needs the Windows headers before it.
#include <gdiplus.h>

#include "controls/drawing.h"

struct CardPaint {
  HWND window;
  PAINTSTRUCT paint;
  RECT client;
  int dpi;
  int margin;  // inner margin, scaled
  HDC dc;      // the off-screen picture's device context; null when it could not be made
  HBITMAP bitmap;
  HGDIOBJ old_bitmap;
  Gdiplus::GpGraphics* surface;
  // Made on first use during this paint; null when not made or failed.
  Gdiplus::GpStringFormat* formats[3];  // by LineFormat
  struct {
    HFONT source;
    Gdiplus::GpFont* font;
  } fonts[2];
  struct {
    Gdiplus::ARGB colour;
    Gdiplus::GpSolidFill* brush;
  } brushes[2];
};

// Begins painting, reads the client rectangle and the DPI, makes the
// off-screen picture, opens the GDI+ surface on it and draws the frame.
void begin_card_paint(HWND window, CardPaint* card);

// A length named at 96 DPI, at the card's DPI.
inline int card_length(const CardPaint& card, int length_96) { return scale_for_dpi(length_96, card.dpi); }

// Draws text on one line into the rectangle with the GDI+ font made from
// `font`, a solid brush of `colour` and the line format; a text too wide for
// the rectangle is cut between two characters and ends in an ellipsis. Draws
// nothing when an object cannot be made.
void draw_card_line(CardPaint* card, const wchar_t* text, HFONT font, Gdiplus::ARGB colour, LineFormat format, int x,
                    int y, int width, int height);

// Copies the picture to the window, ends painting, then deletes everything
// the paint made.
void end_card_paint(CardPaint* card);

// The window procedure both cards share: WM_ERASEBKGND returns 1 (the frame
// covers the card; the corners stay as they are), WM_PAINT calls `paint`,
// everything else goes to DefWindowProcW.
LRESULT card_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam, void (*paint)(HWND));

#endif  // MORLANT_CONTROLS_CARD_PAINT_H
