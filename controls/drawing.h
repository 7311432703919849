// Drawing rules the window's controls share: DPI scaling, the five fonts,
// the palette, the card skeleton and the card text formats.
//
// Ownership: functions named create_* return objects the caller deletes
// (DeleteObject for GDI fonts, GdipDeleteStringFormat for formats).
#ifndef MORLANT_CONTROLS_DRAWING_H
#define MORLANT_CONTROLS_DRAWING_H

#include <windows.h>

namespace Gdiplus {
class GpStringFormat;
}

// value * dpi / 96 with a 64-bit intermediate, rounded to nearest, halves
// away from zero. Every window length is named at 96 DPI and scaled with it.
int scale_for_dpi(int value, int dpi);

// The DPI a window draws and lays out at: GetDpiForWindow by default. Under
// Wine every window has the system DPI, so tests replace it to stand in for a
// monitor of another DPI; the main window and the cards ask only this.
extern UINT(WINAPI* window_dpi)(HWND window);

// A font of the table of the window's five fonts.
struct FontSpec {
  const wchar_t* face;
  int height_96;  // em height in pixels at 96 DPI
  int weight;
  BYTE output_precision;
  BYTE quality;
  BYTE pitch_and_family;
};
extern const FontSpec kFontButtonSpec;     // START label
extern const FontSpec kFontScoreSpec;      // result card score
extern const FontSpec kFontTimeSpec;       // result card time
extern const FontSpec kFontInfoLabelSpec;  // information card labels
extern const FontSpec kFontInfoValueSpec;  // information card values

// CreateFontW with the font's properties at `dpi` (height
// -scale_for_dpi(height_96, dpi)).
HFONT create_font(const FontSpec& font, int dpi);

// Palette (ARGB for GDI+, COLORREF for GDI).
constexpr DWORD kDiscEnabled = 0xFF4287F5;
constexpr DWORD kDiscHover = 0xFF5096E6;
constexpr DWORD kDiscPressed = 0xFF2D78D2;
constexpr DWORD kDiscDisabled = 0xFF969696;
constexpr DWORD kButtonLabel = 0xFFFFFFFF;
constexpr DWORD kFocusRing = 0xFF6496FF;
constexpr DWORD kProgressTrack = 0xFFCCCCCC;
constexpr DWORD kProgressArc = 0xFF4CAF50;
constexpr COLORREF kCardFill = RGB(211, 211, 211);
constexpr COLORREF kCardBorder = RGB(168, 168, 168);
constexpr DWORD kScoreText = 0xFF000080;
constexpr DWORD kValueText = 0xFF000000;
constexpr DWORD kLabelText = 0xFF808080;

// The three one-line text formats of the cards: never wrap, cut with an
// ellipsis when too wide, vertically centred; horizontally centred, left
// (near) or right (far) aligned.
enum class LineFormat { kCentred, kLeft, kRight };
Gdiplus::GpStringFormat* create_line_format(LineFormat format);

// Registers a card window class (CS_HREDRAW | CS_VREDRAW, arrow cursor, no
// background brush). The result is not checked by the callers.
ATOM register_card_class(HINSTANCE instance, const wchar_t* class_name, WNDPROC proc);

#endif  // MORLANT_CONTROLS_DRAWING_H
