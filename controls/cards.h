// The two passive cards below the START button: the result card (score and
// time of the last successful benchmark) and the system information card.
// Both read shared globals at every paint; their owner makes them show new
// data by changing those globals and invalidating the card.
#ifndef MORLANT_CONTROLS_CARDS_H
#define MORLANT_CONTROLS_CARDS_H

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "sysinfo/system_info.h"

// What the result card shows. has_result == 1: the score and the time;
// anything else: "--" on both lines.
struct ResultCardState {
  uint8_t has_result;
  double seconds;
  double score;
};

// Globals of the window thread the cards read (defined by the application).
extern ResultCardState result_card_state;
extern SystemInfo system_info;
extern HFONT font_score;
extern HFONT font_time;
extern HFONT font_info_label;
extern HFONT font_info_value;

// The two lines of the result card: score with "%.0f" and seconds with
// "%.3f sec" (correctly rounded, exact ties to even), or "--" and "--".
void format_result_lines(const ResultCardState& state, wchar_t* score, size_t score_size, wchar_t* time,
                         size_t time_size);

// The rows of the information card, top to bottom: "CPU:", "Cores:",
// "Frequency:" (only when cpu_mhz > 0), "Memory:", "OS:", "Architecture:".
struct InfoRow {
  const wchar_t* label;
  wchar_t value[256];
};
// Fills rows (room for 6) and returns their number (5 or 6).
int format_info_rows(const SystemInfo& info, InfoRow* rows);

LRESULT CALLBACK ResultCardProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK SysInfoCardProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

#endif  // MORLANT_CONTROLS_CARDS_H
