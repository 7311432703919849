// DPI scaling, the five fonts, the card text formats and the card window
// class.
//
// Ownership: create_font returns a GDI font the caller deletes with
// DeleteObject; create_line_format returns a GDI+ string format the caller
// deletes with GdipDeleteStringFormat. Nothing here keeps an object.
#include "controls/drawing.h"

#include <gdiplus.h>

#include <cstdint>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

int scale_for_dpi(int value, int dpi) {
  // The product of two 32-bit values fits in 64 bits; adding or taking away
  // half the divisor before the truncating division rounds halves away from
  // zero, as MulDiv does.
  const int64_t product = static_cast<int64_t>(value) * dpi;
  const int64_t rounded = product >= 0 ? (product + 48) / 96 : (product - 48) / 96;
  return static_cast<int>(rounded);
}

UINT(WINAPI* window_dpi)(HWND window) = GetDpiForWindow;

const FontSpec kFontButtonSpec = {L"Verdana", 24, FW_NORMAL, OUT_DEFAULT_PRECIS, CLEARTYPE_QUALITY, 0};
const FontSpec kFontScoreSpec = {
    L"Consolas", 48, FW_NORMAL, OUT_TT_PRECIS, ANTIALIASED_QUALITY, FIXED_PITCH | FF_MODERN};
const FontSpec kFontTimeSpec = {L"Consolas", 14, FW_NORMAL, OUT_TT_PRECIS, ANTIALIASED_QUALITY, FF_MODERN};
const FontSpec kFontInfoLabelSpec = {L"Verdana", 11, FW_NORMAL, OUT_DEFAULT_PRECIS, CLEARTYPE_QUALITY, 0};
const FontSpec kFontInfoValueSpec = {L"Consolas", 12, FW_NORMAL, OUT_TT_PRECIS, ANTIALIASED_QUALITY, FF_MODERN};

HFONT create_font(const FontSpec& font, int dpi) {
  // A negative height asks for the character (em) height in pixels.
  return CreateFontW(-scale_for_dpi(font.height_96, dpi), 0, 0, 0, font.weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     font.output_precision, CLIP_DEFAULT_PRECIS, font.quality, font.pitch_and_family, font.face);
}

GpStringFormat* create_line_format(LineFormat format) {
  GpStringFormat* result = nullptr;
  if (GdipCreateStringFormat(0, LANG_NEUTRAL, &result) != Ok) return nullptr;
  StringAlignment horizontal = StringAlignmentCenter;
  if (format == LineFormat::kLeft) horizontal = StringAlignmentNear;
  if (format == LineFormat::kRight) horizontal = StringAlignmentFar;
  GdipSetStringFormatAlign(result, horizontal);
  GdipSetStringFormatLineAlign(result, StringAlignmentCenter);
  GdipSetStringFormatFlags(result, StringFormatFlagsNoWrap);
  GdipSetStringFormatTrimming(result, StringTrimmingEllipsisCharacter);
  return result;
}

ATOM register_card_class(HINSTANCE instance, const wchar_t* class_name, WNDPROC proc) {
  WNDCLASSW window_class = {};
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  window_class.lpfnWndProc = proc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.lpszClassName = class_name;
  return RegisterClassW(&window_class);
}
