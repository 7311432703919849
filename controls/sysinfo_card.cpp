// The system information card: one row per fact about the machine, a grey
// label on the left and a black value on the right.
//
// Ownership: the card keeps nothing. Each paint's GDI+ surface, fonts,
// brushes and string formats belong to its CardPaint (card_paint.h); the GDI
// fonts font_info_label and font_info_value belong to the application.
#include <cstdio>
#include <cstring>

#include "controls/card_paint.h"
#include "controls/cards.h"

namespace {

constexpr int kMaxRows = 6;

// Lengths at 96 DPI.
constexpr int kRowHeight96 = 22;
constexpr int kLabelWidth96 = 84;

// Buffer sizes of the values, in characters (terminator included); each is
// within InfoRow::value.
constexpr size_t kCpuSize = 256;
constexpr size_t kCoresSize = 128;
constexpr size_t kFrequencySize = 64;
constexpr size_t kMemorySize = 64;
constexpr size_t kOsSize = 256;
constexpr size_t kArchitectureSize = 64;
static_assert(kCpuSize <= sizeof(InfoRow::value) / sizeof(wchar_t) &&
                  kOsSize <= sizeof(InfoRow::value) / sizeof(wchar_t),
              "every value fits its row");

// UTF-8 text of a fixed-size field (terminated within it, or cut at its end)
// into wide characters; invalid byte sequences become U+FFFD.
void from_utf8(const char* text, size_t field_size, wchar_t* out, size_t size) {
  const int length = static_cast<int>(strnlen(text, field_size));
  int written = 0;
  if (length > 0) written = MultiByteToWideChar(CP_UTF8, 0, text, length, out, static_cast<int>(size - 1));
  out[written > 0 ? written : 0] = L'\0';
}

InfoRow* add_row(InfoRow* rows, int* count, const wchar_t* label) {
  InfoRow* row = &rows[(*count)++];
  row->label = label;
  row->value[0] = L'\0';
  return row;
}

void on_paint(HWND window) {
  CardPaint card;
  begin_card_paint(window, &card);
  InfoRow rows[kMaxRows];
  const int count = format_info_rows(system_info, rows);
  const int row_height = card_length(card, kRowHeight96);
  const int label_width = card_length(card, kLabelWidth96);
  const int x = card.client.left + card.margin;
  const int value_width = card.client.right - card.client.left - 2 * card.margin - label_width;
  for (int k = 0; k < count; ++k) {
    const int y = card.client.top + card.margin + k * row_height;
    draw_card_line(&card, rows[k].label, font_info_label, kLabelText, LineFormat::kLeft, x, y, label_width, row_height);
    draw_card_line(&card, rows[k].value, font_info_value, kValueText, LineFormat::kRight, x + label_width, y,
                   value_width, row_height);
  }
  end_card_paint(&card);
}

}  // namespace

int format_info_rows(const SystemInfo& info, InfoRow* rows) {
  int count = 0;
  InfoRow* row = add_row(rows, &count, L"CPU:");
  from_utf8(info.cpu_name, sizeof info.cpu_name, row->value, kCpuSize);
  row = add_row(rows, &count, L"Cores:");
  __mingw_snwprintf(row->value, kCoresSize, L"%d cores (%d logical)", static_cast<int>(info.physical_cores),
                    static_cast<int>(info.logical_processors));
  if (info.cpu_mhz > 0) {
    row = add_row(rows, &count, L"Frequency:");
    __mingw_snwprintf(row->value, kFrequencySize, L"%d MHz", static_cast<int>(info.cpu_mhz));
  }
  row = add_row(rows, &count, L"Memory:");
  __mingw_snwprintf(row->value, kMemorySize, L"%lld MB", static_cast<long long>(info.total_memory_mb));
  // Both texts are ASCII; "%hs" reads a byte string in every printf dialect.
  row = add_row(rows, &count, L"OS:");
  __mingw_snwprintf(row->value, kOsSize, L"%.*hs %.*hs", static_cast<int>(strnlen(info.os_name, sizeof info.os_name)),
                    info.os_name, static_cast<int>(strnlen(info.os_version, sizeof info.os_version)), info.os_version);
  row = add_row(rows, &count, L"Architecture:");
  from_utf8(info.architecture, sizeof info.architecture, row->value, kArchitectureSize);
  return count;
}

LRESULT CALLBACK SysInfoCardProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return card_window_proc(window, message, wparam, lparam, on_paint);
}
