// The result card: the score over the time of the last successful benchmark,
// or "--" over "--".
//
// Ownership: the card keeps nothing. Each paint's GDI+ surface, fonts,
// brushes and string format belong to its CardPaint (card_paint.h); the GDI
// fonts font_score and font_time belong to the application.
#include <cstdio>

#include "controls/card_paint.h"
#include "controls/cards.h"

namespace {

constexpr size_t kLineSize = 128;  // characters, terminator included

// Lengths at 96 DPI, below the card's inner margin.
constexpr int kScoreHeight96 = 50;
constexpr int kTimeOffset96 = 55;  // from the top of the score line to the top of the time line
constexpr int kTimeHeight96 = 22;

// mingw's own printf family converts floating-point values exactly (correct
// rounding, exact ties to even), which the system runtime does not promise.
void format_line(wchar_t* out, size_t size, const wchar_t* format, double value) {
  if (size == 0) return;
  if (__mingw_snwprintf(out, size, format, value) < 0) out[0] = L'\0';
}

void copy_line(wchar_t* out, size_t size, const wchar_t* text) {
  if (size == 0) return;
  size_t i = 0;
  for (; i + 1 < size && text[i] != L'\0'; ++i) out[i] = text[i];
  out[i] = L'\0';
}

void on_paint(HWND window) {
  CardPaint card;
  begin_card_paint(window, &card);
  wchar_t score[kLineSize];
  wchar_t time[kLineSize];
  format_result_lines(result_card_state, score, kLineSize, time, kLineSize);
  const int x = card.client.left + card.margin;
  const int y = card.client.top + card.margin;
  const int width = card.client.right - card.client.left - 2 * card.margin;
  draw_card_line(&card, score, font_score, kScoreText, LineFormat::kCentred, x, y, width,
                 card_length(card, kScoreHeight96));
  draw_card_line(&card, time, font_time, kValueText, LineFormat::kCentred, x, y + card_length(card, kTimeOffset96),
                 width, card_length(card, kTimeHeight96));
  end_card_paint(&card);
}

}  // namespace

void format_result_lines(const ResultCardState& state, wchar_t* score, size_t score_size, wchar_t* time,
                         size_t time_size) {
  if (state.has_result == 1) {
    format_line(score, score_size, L"%.0f", state.score);
    format_line(time, time_size, L"%.3f sec", state.seconds);
  } else {
    copy_line(score, score_size, L"--");
    copy_line(time, time_size, L"--");
  }
}

LRESULT CALLBACK ResultCardProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return card_window_proc(window, message, wparam, lparam, on_paint);
}
