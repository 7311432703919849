// The paint the two cards share.
//
// Ownership: the frame's GDI brush and pen are made, selected, deselected
// and deleted within begin_card_paint. The off-screen context and bitmap,
// the GDI+ surface, fonts, brushes and string formats belong to the
// CardPaint and are deleted by end_card_paint after EndPaint. Drawing
// failures are ignored: the paint always ends. Without an off-screen
// picture the card is drawn straight onto the window.
#include "controls/card_paint.h"

#include <string>
#include <vector>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

constexpr int kMargin96 = 20;      // inner margin of the card
constexpr int kCornerSize96 = 16;  // width and height of the frame's corner ellipse
constexpr int kBorderWidth = 1;    // frame border, device pixels

void draw_frame(const CardPaint& card) {
  HDC dc = card.dc;
  HBRUSH fill = CreateSolidBrush(kCardFill);
  HPEN border = CreatePen(PS_SOLID, kBorderWidth, kCardBorder);
  if (fill != nullptr && border != nullptr) {
    HGDIOBJ old_brush = SelectObject(dc, fill);
    HGDIOBJ old_pen = SelectObject(dc, border);
    const int corner = card_length(card, kCornerSize96);
    RoundRect(dc, card.client.left, card.client.top, card.client.right, card.client.bottom, corner, corner);
    SelectObject(dc, old_pen);
    SelectObject(dc, old_brush);
  }
  if (border != nullptr) DeleteObject(border);
  if (fill != nullptr) DeleteObject(fill);
}

GpStringFormat* line_format(CardPaint* card, LineFormat format) {
  GpStringFormat*& slot = card->formats[static_cast<int>(format)];
  if (slot == nullptr) slot = create_line_format(format);
  return slot;
}

GpFont* gdiplus_font(CardPaint* card, HFONT source) {
  if (source == nullptr) return nullptr;
  for (auto& entry : card->fonts) {
    if (entry.source == source) return entry.font;
    if (entry.source != nullptr) continue;
    entry.source = source;  // a failure is remembered too: tried once per paint
    LOGFONTW description;
    if (GetObjectW(source, sizeof description, &description) == sizeof description) {
      GdipCreateFontFromLogfontW(card->dc, &description, &entry.font);
    }
    return entry.font;
  }
  return nullptr;
}

GpBrush* solid_brush(CardPaint* card, ARGB colour) {
  for (auto& entry : card->brushes) {
    if (entry.brush != nullptr && entry.colour == colour) return entry.brush;
    if (entry.brush != nullptr) continue;
    entry.colour = colour;
    GdipCreateSolidFill(colour, &entry.brush);
    return entry.brush;
  }
  return nullptr;
}

// The width GDI+ gives `text` on one line; 0 when it cannot be measured (the
// text is then drawn as it is).
REAL line_width(const CardPaint& card, const std::wstring& text, GpFont* font, GpStringFormat* format) {
  const RectF unbounded(0, 0, 32768, 32768);
  RectF box;
  const GpStatus status = GdipMeasureString(card.surface, text.c_str(), -1, font, &unbounded, format, &box, nullptr,
                                           nullptr);
  return status == Ok ? box.Width : 0;
}

// `text` when it fits `width`, else its longest beginning that fits with an
// ellipsis after it, cut between two characters (never inside a surrogate
// pair) and without trailing spaces. The line formats ask GDI+ for this
// trimming, but Wine's GDI+ ignores it and cuts the text at the edge, so the
// text is fitted here; Windows' own trimming then finds nothing to cut.
std::wstring fit_line(const CardPaint& card, const wchar_t* text, GpFont* font, GpStringFormat* format, REAL width) {
  std::wstring line(text);
  if (line_width(card, line, font, format) <= width) return line;
  const auto with_ellipsis = [&](size_t kept) {
    while (kept > 0 && line[kept - 1] == L' ') --kept;
    return line.substr(0, kept) + L"\u2026";
  };
  const auto fits = [&](size_t kept) {
    return line_width(card, with_ellipsis(kept), font, format) <= width;
  };
  std::vector<size_t> cuts;  // lengths of the beginnings that end between two characters
  for (size_t i = 0; i < line.size(); ++i)
    if (!IS_LOW_SURROGATE(line[i])) cuts.push_back(i);
  size_t low = 0, high = cuts.size();  // cuts[low] fits (or is 0); cuts[high] would not
  while (high - low > 1) {
    const size_t middle = (low + high) / 2;
    (fits(cuts[middle]) ? low : high) = middle;
  }
  return with_ellipsis(cuts[low]);
}

}  // namespace

void begin_card_paint(HWND window, CardPaint* card) {
  *card = CardPaint{};
  card->window = window;
  BeginPaint(window, &card->paint);
  GetClientRect(window, &card->client);
  card->dpi = static_cast<int>(window_dpi(window));
  if (card->dpi <= 0) card->dpi = USER_DEFAULT_SCREEN_DPI;
  card->margin = card_length(*card, kMargin96);
  if (card->paint.hdc == nullptr) return;
  const int w = card->client.right - card->client.left, h = card->client.bottom - card->client.top;
  card->dc = CreateCompatibleDC(card->paint.hdc);
  if (card->dc != nullptr) card->bitmap = CreateCompatibleBitmap(card->paint.hdc, w, h);
  if (card->bitmap != nullptr) {
    card->old_bitmap = SelectObject(card->dc, card->bitmap);
    const RECT all{0, 0, w, h};
    FillRect(card->dc, &all, GetSysColorBrush(COLOR_WINDOW));
  } else {
    if (card->dc != nullptr) DeleteDC(card->dc);
    card->dc = card->paint.hdc;
  }
  if (GdipCreateFromHDC(card->dc, &card->surface) == Ok) {
    GdipSetTextRenderingHint(card->surface, TextRenderingHintAntiAlias);
    GdipSetSmoothingMode(card->surface, SmoothingModeAntiAlias);
  } else {
    card->surface = nullptr;
  }
  draw_frame(*card);
}

void draw_card_line(CardPaint* card, const wchar_t* text, HFONT font, ARGB colour, LineFormat format, int x, int y,
                    int width, int height) {
  if (card->surface == nullptr) return;
  GpFont* gdiplus = gdiplus_font(card, font);
  GpBrush* brush = solid_brush(card, colour);
  GpStringFormat* layout = line_format(card, format);
  if (gdiplus == nullptr || brush == nullptr || layout == nullptr) return;
  const RectF rectangle(static_cast<REAL>(x), static_cast<REAL>(y), static_cast<REAL>(width),
                        static_cast<REAL>(height));
  const std::wstring line = fit_line(*card, text, gdiplus, layout, rectangle.Width);
  GdipDrawString(card->surface, line.c_str(), -1, gdiplus, &rectangle, layout, brush);
}

void end_card_paint(CardPaint* card) {
  const bool off_screen = card->bitmap != nullptr;
  if (card->surface != nullptr) GdipFlush(card->surface, FlushIntentionSync);
  if (off_screen)
    BitBlt(card->paint.hdc, card->client.left, card->client.top, card->client.right - card->client.left,
           card->client.bottom - card->client.top, card->dc, 0, 0, SRCCOPY);
  EndPaint(card->window, &card->paint);
  for (auto& entry : card->brushes) {
    if (entry.brush != nullptr) GdipDeleteBrush(entry.brush);
  }
  for (GpStringFormat* format : card->formats) {
    if (format != nullptr) GdipDeleteStringFormat(format);
  }
  for (auto& entry : card->fonts) {
    if (entry.font != nullptr) GdipDeleteFont(entry.font);
  }
  if (card->surface != nullptr) GdipDeleteGraphics(card->surface);
  if (off_screen) {
    SelectObject(card->dc, card->old_bitmap);
    DeleteObject(card->bitmap);
    DeleteDC(card->dc);
  }
  *card = CardPaint{};
}

LRESULT card_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam, void (*paint)(HWND)) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      paint(window);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}
