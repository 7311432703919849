#include "app/globals.h"

HWND main_window;
CircularButton start_button;
HWND start_button_window;
HWND result_card_window;
HWND menu_icon_window;
HANDLE worker_thread;
int32_t total_progress_steps;
int32_t last_posted_step = -999;  // no step posted yet
SystemInfo system_info;
ResultCardState result_card_state;

HFONT font_button;
HFONT font_score;
HFONT font_time;
HFONT font_info_label;
HFONT font_info_value;
HICON window_icon_big;
HICON window_icon_small;
