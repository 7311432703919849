#include "app/main_window.h"

#include <dwmapi.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "app/about_dialog.h"
#include "app/globals.h"
#include "app/menu_icon.h"
#include "app/resource_ids.h"
#include "app/result_text.h"
#include "controls/drawing.h"

namespace {

constexpr wchar_t kMainWindowClass[] = L"BasicWindowClass";
constexpr wchar_t kResultCardClass[] = L"ResultCardClass";
constexpr wchar_t kSysInfoCardClass[] = L"SysInfoCardClass";
// Fixed size, no maximise; the children are left out of the window's own
// (background) painting, so an uncovered card is drawn once, by itself.
constexpr DWORD kMainWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kDarkTitleBarAttribute = 20;  // DWMWA_USE_IMMERSIVE_DARK_MODE
constexpr wchar_t kStartLabel[] = L"START";

// Layout lengths at 96 DPI, scaled with the window's DPI where they are used.
constexpr int kClientWidth = 400;
constexpr int kClientHeight = 515;
constexpr int kMargin = 20;
constexpr int kGap = 16;
constexpr int kMenuIconSize = 24;
constexpr int kStartSize = 160;
constexpr int kResultCardHeight = 110;
constexpr int kInfoCardHeight = 170;

constexpr int32_t kNoStepPosted = -999;
constexpr DWORD kWorkerExitWaitMs = 1000;

// Keyboard shortcuts of the window, translated before the dialog-style handling.
HACCEL accelerators;  // made with the window, destroyed on its WM_DESTROY

HANDLE create_thread_at_once(LPTHREAD_START_ROUTINE procedure, void* parameter) {
  return CreateThread(nullptr, 0, procedure, parameter, 0, nullptr);
}

void use_dark_title_bar(HWND window) {
  const BOOL on = TRUE;
  DwmSetWindowAttribute(window, kDarkTitleBarAttribute, &on, sizeof on);
}

int dpi_of(HWND window) {
  const int dpi = static_cast<int>(window_dpi(window));
  return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

// ---- Accessible texts ---------------------------------------------------------

// The result card paints from result_card_state; its window text carries
// the same lines for screen readers and other programs.
void show_result_card() {
  std::wstring text = L"--";
  if (result_card_state.has_result == 1) {
    wchar_t score[128], time[128];
    format_result_lines(result_card_state, score, 128, time, 128);
    text = std::wstring(L"Score ") + score + L", " + time;
  }
  SetWindowTextW(result_card_window, text.c_str());
  InvalidateRect(result_card_window, nullptr, TRUE);
}

// START draws its fixed label; its window text tells the state: "START"
// when idle, "Running, 37 %" while a benchmark runs (whole percent, rounded down).
void describe_start(float progress, bool running) {
  if (!running) {
    SetWindowTextW(start_button_window, kStartLabel);
    return;
  }
  const int percent = static_cast<int>(std::floor(progress * 100.0f));
  SetWindowTextW(start_button_window, (L"Running, " + std::to_wstring(percent) + L" %").c_str());
}

// ---- Benchmark ---------------------------------------------------------------

void enable_start(bool enabled) {
  EnableWindow(start_button_window, enabled);
  InvalidateRect(start_button_window, nullptr, TRUE);
}

// START gets the focus back when the window is the active one; otherwise
// the window hands it over when it is activated (WM_SETFOCUS).
void focus_start(HWND window) {
  if (GetActiveWindow() == window && IsWindowEnabled(start_button_window)) SetFocus(start_button_window);
}

void on_start(HWND window) {
  if (worker_thread != nullptr) return;  // one benchmark at a time, even for a synthetic command

  total_progress_steps = agm_iteration_count(BENCHMARK_DIGITS) * BENCHMARK_RUNS;
  enable_start(false);
  result_card_state.has_result = 0;
  show_result_card();
  set_progress(&start_button, 0.0f);
  describe_start(0.0f, true);
  last_posted_step = kNoStepPosted;

  // The worker frees the start record; if no worker starts, it stays here.
  auto* start = static_cast<WorkerStartInfo*>(std::malloc(sizeof(WorkerStartInfo)));
  if (start != nullptr) {
    *start = WorkerStartInfo{window, BENCHMARK_DIGITS, BENCHMARK_RUNS, 0};
    worker_thread = create_worker_thread(benchmark_thread_procedure, start);
  }
  if (worker_thread == nullptr) {
    std::free(start);
    enable_start(true);
    describe_start(0.0f, false);
    focus_start(window);
  }
}

// lparam: the ProgressUpdate, owned here from now on.
void on_progress(LPARAM lparam) {
  auto* update = reinterpret_cast<ProgressUpdate*>(lparam);
  if (update != nullptr && total_progress_steps >= 1) {
    const float fraction = static_cast<float>(update->step) / static_cast<float>(static_cast<uint32_t>(total_progress_steps));
    set_progress(&start_button, fraction < 1.0f ? fraction : 1.0f);
    if (worker_thread != nullptr) describe_start(start_button.progress, true);
  }
  std::free(update);
}

// lparam: the aggregated BenchmarkResult, owned here from now on; 0 when the
// worker could not allocate one (a failed benchmark). A run whose digits
// failed the check has already made the whole record a failure.
void on_benchmark_done(HWND window, LPARAM lparam) {
  auto* result = reinterpret_cast<BenchmarkResult*>(lparam);
  const bool succeeded = result != nullptr && result->status != 0;
  enable_start(true);
  set_progress(&start_button, succeeded ? 1.0f : 0.0f);
  describe_start(0.0f, false);
  if (succeeded) {
    result_card_state.has_result = 1;
    result_card_state.seconds = result->seconds;
    result_card_state.score = result->score;
  }
  show_result_card();
  if (worker_thread != nullptr) {
    CloseHandle(worker_thread);
    worker_thread = nullptr;
  }
  std::free(result);
  focus_start(window);
}

// ---- Commands ----------------------------------------------------------------

void on_menu_icon_clicked(HWND window) {
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return;
  AppendMenuW(menu, MF_STRING, IDM_ABOUT, L"About");
  POINT cursor{};
  GetCursorPos(&cursor);
  TrackPopupMenu(menu, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window, nullptr);
  DestroyMenu(menu);
}

void on_about(HWND window) {
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), window, AboutDialogProc, 0);
}

void on_copy(HWND window) { copy_to_clipboard(window, result_text(result_card_state, system_info)); }

LRESULT on_command(HWND window, WPARAM wparam) {
  switch (LOWORD(wparam)) {
    case IDC_START:
      on_start(window);
      break;
    case IDC_MENU_ICON:
      if (HIWORD(wparam) == STN_CLICKED) on_menu_icon_clicked(window);
      break;
    case IDM_ABOUT:
      on_about(window);
      break;
    case IDM_COPY:
      on_copy(window);
      break;
    default:  // e.g. IDOK and IDCANCEL from IsDialogMessageW for Enter and Escape
      break;
  }
  return 0;
}

// The two entries added to the system menu (Alt+Space) reach the window as
// WM_SYSCOMMAND; everything else is the system's.
bool on_system_command(HWND window, WPARAM wparam) {
  switch (wparam & 0xFFF0) {
    case IDM_SYSTEM_ABOUT:
      on_about(window);
      return true;
    case IDM_SYSTEM_COPY:
      on_copy(window);
      return true;
    default:
      return false;
  }
}

void extend_system_menu(HWND window) {
  HMENU menu = GetSystemMenu(window, FALSE);
  if (menu == nullptr) return;
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, IDM_SYSTEM_COPY, L"Copy result\tCtrl+C");
  AppendMenuW(menu, MF_STRING, IDM_SYSTEM_ABOUT, L"About Morlant...\tF1");
}

HACCEL create_accelerators() {
  ACCEL keys[] = {{FVIRTKEY, VK_F1, IDM_ABOUT}, {FVIRTKEY | FCONTROL, 'C', IDM_COPY}};
  return CreateAcceleratorTableW(keys, 2);
}

// The hand cursor over the menu icon only: the other STATIC controls of the
// process keep their class cursor.
bool on_set_cursor(HWND over, LPARAM lparam) {
  if (over != menu_icon_window || over == nullptr || LOWORD(lparam) != HTCLIENT) return false;
  SetCursor(LoadCursorW(nullptr, IDC_HAND));
  return true;
}

// ---- Fonts, icons and layout at one DPI ------------------------------------------

void delete_font(HFONT& font) {
  if (font != nullptr) DeleteObject(font);
  font = nullptr;
}

void delete_fonts() {
  delete_font(font_button);
  delete_font(font_score);
  delete_font(font_time);
  delete_font(font_info_label);
  delete_font(font_info_value);
}

// Makes the five fonts for `dpi` and hands them out; the old ones are
// deleted once no control uses them any more.
void create_fonts(int dpi) {
  HFONT old[5] = {font_button, font_score, font_time, font_info_label, font_info_value};
  font_button = create_font(kFontButtonSpec, dpi);
  font_score = create_font(kFontScoreSpec, dpi);
  font_time = create_font(kFontTimeSpec, dpi);
  font_info_label = create_font(kFontInfoLabelSpec, dpi);
  font_info_value = create_font(kFontInfoValueSpec, dpi);
  set_font(&start_button, font_button);
  for (HFONT font : old)
    if (font != nullptr) DeleteObject(font);
}

void destroy_icon(HICON& icon) {
  if (icon != nullptr) DestroyIcon(icon);
  icon = nullptr;
}

// The title bar and taskbar icons: the images of IDI_APP that fit `dpi`.
void set_window_icons(HWND window, int dpi) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  const int big = GetSystemMetricsForDpi(SM_CXICON, static_cast<UINT>(dpi));
  const int small = GetSystemMetricsForDpi(SM_CXSMICON, static_cast<UINT>(dpi));
  HICON old_big = window_icon_big, old_small = window_icon_small;
  window_icon_big = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, big, big, 0));
  window_icon_small =
      static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, small, small, 0));
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(window_icon_big));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(window_icon_small));
  destroy_icon(old_big);
  destroy_icon(old_small);
}

// The window's outer size for a client area of 400 x 515 at `dpi`.
SIZE outer_size(int dpi) {
  RECT frame{0, 0, scale_for_dpi(kClientWidth, dpi), scale_for_dpi(kClientHeight, dpi)};
  AdjustWindowRectExForDpi(&frame, kMainWindowStyle, FALSE, 0, static_cast<UINT>(dpi));
  return {frame.right - frame.left, frame.bottom - frame.top};
}

// Gives the window the client size of `dpi` exactly, its top-left corner
// where `place` says (left, top) or centred on the primary screen. The frame
// is measured on the window itself, so the result holds even where the
// frame's metrics at that DPI are not what AdjustWindowRectExForDpi assumed.
void fit_window(HWND window, int dpi, const POINT* place) {
  SIZE outer = outer_size(dpi);
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int x = place != nullptr ? place->x : (GetSystemMetrics(SM_CXSCREEN) - outer.cx) / 2;
    const int y = place != nullptr ? place->y : (GetSystemMetrics(SM_CYSCREEN) - outer.cy) / 2;
    SetWindowPos(window, nullptr, x, y, outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client{};
    GetClientRect(window, &client);
    const int missing_x = scale_for_dpi(kClientWidth, dpi) - client.right;
    const int missing_y = scale_for_dpi(kClientHeight, dpi) - client.bottom;
    if (missing_x == 0 && missing_y == 0) return;
    outer.cx += missing_x;
    outer.cy += missing_y;
  }
}

void place(HWND control, int x, int y, int width, int height) {
  SetWindowPos(control, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Every control where the layout puts it at `dpi`, from the client width.
void place_controls(HWND window, int dpi) {
  const auto scale = [dpi](int length) { return scale_for_dpi(length, dpi); };
  const int margin = scale(kMargin), gap = scale(kGap);
  RECT client{};
  GetClientRect(window, &client);
  const int width = client.right;
  const int content_width = width - 2 * margin;
  const int icon = scale(kMenuIconSize);
  const int result_top = margin + scale(kStartSize) + gap;
  place(menu_icon_window, width - icon - margin, margin, icon, icon);
  place(start_button_window, (width - scale(kStartSize)) / 2, margin, scale(kStartSize), scale(kStartSize));
  place(result_card_window, margin, result_top, content_width, scale(kResultCardHeight));
  place(GetDlgItem(window, IDC_SYSINFO_CARD), margin, result_top + scale(kResultCardHeight) + gap, content_width,
        scale(kInfoCardHeight));
}

// Everything that depends on the DPI, made for `dpi`: fonts, icons, the
// menu icon's picture and the controls' places.
void apply_dpi(HWND window, int dpi) {
  create_fonts(dpi);
  set_window_icons(window, dpi);
  install_menu_icon_picture(menu_icon_window, GetModuleHandleW(nullptr), scale_for_dpi(kMenuIconSize, dpi));
  place_controls(window, dpi);
}

// Moved to a monitor of another DPI: the window takes the rectangle the
// system suggests (its size made exact for the new DPI) and lays itself out
// as a window created there. START's cached bitmap has the old size.
void on_dpi_changed(HWND window, WPARAM wparam, LPARAM lparam) {
  const int dpi = LOWORD(wparam) != 0 ? LOWORD(wparam) : USER_DEFAULT_SCREEN_DPI;  // x and y DPI are equal
  const auto* suggested = reinterpret_cast<const RECT*>(lparam);
  RECT current{};
  GetWindowRect(window, &current);
  const POINT top_left = suggested != nullptr ? POINT{suggested->left, suggested->top} : POINT{current.left, current.top};
  if (suggested != nullptr)
    SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  fit_window(window, dpi, &top_left);
  apply_dpi(window, dpi);
  release_bitmap(&start_button);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// Asked before a DPI change: the outer size that holds the client area at
// the new DPI, so the suggested rectangle needs no correction.
LRESULT on_get_dpi_scaled_size(WPARAM wparam, LPARAM lparam) {
  auto* size = reinterpret_cast<SIZE*>(lparam);
  if (size == nullptr) return FALSE;
  *size = outer_size(static_cast<int>(wparam));
  return TRUE;
}

// ---- Window lifetime ------------------------------------------------------------

void on_paint(HWND window) {
  PAINTSTRUCT paint;
  BeginPaint(window, &paint);  // the class brush and the controls draw everything
  EndPaint(window, &paint);
}

void on_destroy() {
  if (worker_thread != nullptr) {
    // The worker cannot be told to stop; if it is still computing, it ends
    // with the process.
    WaitForSingleObject(worker_thread, kWorkerExitWaitMs);
    CloseHandle(worker_thread);
    worker_thread = nullptr;
  }
  delete_fonts();
  destroy_icon(window_icon_big);
  destroy_icon(window_icon_small);
  if (accelerators != nullptr) DestroyAcceleratorTable(accelerators);
  accelerators = nullptr;
  PostQuitMessage(0);
}

HWND create_child(HINSTANCE instance, HWND parent, const wchar_t* window_class, DWORD style, int id) {
  return CreateWindowExW(0, window_class, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

// The controls, made without a place; apply_dpi places them.
void create_controls(HINSTANCE instance, HWND window) {
  menu_icon_window = create_child(instance, window, L"STATIC", SS_ICON | SS_NOTIFY, IDC_MENU_ICON);
  start_button_window = create(&start_button, window, 0, 0, 0, IDC_START);
  set_label(&start_button, kStartLabel);
  describe_start(0.0f, false);
  result_card_window = create_child(instance, window, kResultCardClass, 0, IDC_RESULT_CARD);
  show_result_card();
  create_child(instance, window, kSysInfoCardClass, 0, IDC_SYSINFO_CARD);
}

}  // namespace

LPTHREAD_START_ROUTINE benchmark_thread_procedure = BenchmarkThreadProc;
HANDLE (*create_worker_thread)(LPTHREAD_START_ROUTINE, void*) = create_thread_at_once;

void register_window_classes(HINSTANCE instance) {
  WNDCLASSW main_class{};
  main_class.lpfnWndProc = MainWindowProc;
  main_class.hInstance = instance;
  main_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
  main_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  main_class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
  main_class.lpszClassName = kMainWindowClass;
  RegisterClassW(&main_class);
  register_card_class(instance, kResultCardClass, ResultCardProc);
  register_card_class(instance, kSysInfoCardClass, SysInfoCardProc);
}

HWND create_main_window(HINSTANCE instance, int show) {
  register_window_classes(instance);
  query_system_info(&system_info);

  // Made small at the primary screen's corner, so it has that monitor's
  // DPI; sized, centred and laid out from that one DPI afterwards.
  HWND window = CreateWindowExW(0, kMainWindowClass, L"Morlant", kMainWindowStyle, 0, 0, 1, 1, nullptr, nullptr,
                                instance, nullptr);
  if (window == nullptr) return nullptr;
  use_dark_title_bar(window);
  main_window = window;
  extend_system_menu(window);
  if (accelerators == nullptr) accelerators = create_accelerators();

  const int dpi = dpi_of(window);
  fit_window(window, dpi, nullptr);
  create_controls(instance, window);
  apply_dpi(window, dpi);

  ShowWindow(window, show);
  UpdateWindow(window);
  SetFocus(start_button_window);
  return window;
}

bool translate_main_window_message(HWND window, MSG* message) {
  if (accelerators != nullptr && TranslateAcceleratorW(window, accelerators, message)) return true;
  // Tab moves the focus to START; Enter and Escape become commands the window ignores.
  return IsDialogMessageW(window, message) != FALSE;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      return on_command(window, wparam);
    case WM_SYSCOMMAND:
      if (on_system_command(window, wparam)) return 0;
      break;
    case WM_SETFOCUS:
      if (IsWindowEnabled(start_button_window)) SetFocus(start_button_window);
      return 0;
    case WM_SETCURSOR:
      if (on_set_cursor(reinterpret_cast<HWND>(wparam), lparam)) return TRUE;
      break;
    case WM_CTLCOLORSTATIC:
      if (GetDlgCtrlID(reinterpret_cast<HWND>(lparam)) != IDC_MENU_ICON) break;
      SetBkMode(reinterpret_cast<HDC>(wparam), TRANSPARENT);
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    case WM_DPICHANGED:
      on_dpi_changed(window, wparam, lparam);
      return 0;
    case WM_GETDPISCALEDSIZE:
      return on_get_dpi_scaled_size(wparam, lparam);
    case WM_APP_BENCH_PROGRESS:
      on_progress(lparam);
      return 0;
    case WM_APP_BENCH_DONE:
      on_benchmark_done(window, lparam);
      return 0;
    case WM_PAINT:
      on_paint(window);
      return 0;
    case WM_DESTROY:
      on_destroy();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}
