#include "app/main_window.h"

#include <dwmapi.h>

#include <cstdlib>
#include <string>

#include "app/about_dialog.h"
#include "app/globals.h"
#include "app/menu_icon.h"
#include "app/resource_ids.h"
#include "controls/drawing.h"

namespace {

constexpr wchar_t kMainWindowClass[] = L"BasicWindowClass";
constexpr wchar_t kResultCardClass[] = L"ResultCardClass";
constexpr wchar_t kSysInfoCardClass[] = L"SysInfoCardClass";
constexpr DWORD kMainWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;  // fixed size, no maximise
constexpr DWORD kDarkTitleBarAttribute = 20;                                  // DWMWA_USE_IMMERSIVE_DARK_MODE

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

HANDLE create_thread_at_once(LPTHREAD_START_ROUTINE procedure, void* parameter) {
  return CreateThread(nullptr, 0, procedure, parameter, 0, nullptr);
}

void use_dark_title_bar(HWND window) {
  const BOOL on = TRUE;
  DwmSetWindowAttribute(window, kDarkTitleBarAttribute, &on, sizeof on);
}

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

void enable_start(bool enabled) {
  EnableWindow(start_button_window, enabled);
  InvalidateRect(start_button_window, nullptr, TRUE);
}

void on_start(HWND window) {
  if (worker_thread != nullptr) return;  // one benchmark at a time, even for a synthetic command

  total_progress_steps = agm_iteration_count(BENCHMARK_DIGITS) * BENCHMARK_RUNS;
  enable_start(false);
  result_card_state.has_result = 0;
  show_result_card();
  set_progress(&start_button, 0.0f);
  last_posted_step = kNoStepPosted;

  // The worker frees the start record; if no worker starts, it stays here.
  auto* start = static_cast<WorkerStartInfo*>(std::malloc(sizeof(WorkerStartInfo)));
  if (start != nullptr) {
    start->window = window;
    worker_thread = create_worker_thread(benchmark_thread_procedure, start);
  }
  if (worker_thread == nullptr) {
    std::free(start);
    enable_start(true);
  }
}

// lparam: the ProgressUpdate, owned here from now on.
void on_progress(LPARAM lparam) {
  auto* update = reinterpret_cast<ProgressUpdate*>(lparam);
  if (update != nullptr && total_progress_steps >= 1) {
    const float fraction = static_cast<float>(update->step) / static_cast<float>(static_cast<uint32_t>(total_progress_steps));
    set_progress(&start_button, fraction < 1.0f ? fraction : 1.0f);
  }
  std::free(update);
}

// lparam: the aggregated BenchmarkResult, owned here from now on; 0 when the
// worker could not allocate one (a failed benchmark).
void on_benchmark_done(LPARAM lparam) {
  auto* result = reinterpret_cast<BenchmarkResult*>(lparam);
  const bool succeeded = result != nullptr && result->status != 0;
  enable_start(true);
  set_progress(&start_button, succeeded ? 1.0f : 0.0f);
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
}

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
    default:  // e.g. IDOK and IDCANCEL from IsDialogMessageW for Enter and Escape
      break;
  }
  return 0;
}

void on_paint(HWND window) {
  PAINTSTRUCT paint;
  BeginPaint(window, &paint);  // the class brush and the controls draw everything
  EndPaint(window, &paint);
}

void delete_font(HFONT& font) {
  if (font != nullptr) DeleteObject(font);
  font = nullptr;
}

void on_destroy() {
  if (worker_thread != nullptr) {
    // The worker cannot be told to stop; if it is still computing, it ends
    // with the process.
    WaitForSingleObject(worker_thread, kWorkerExitWaitMs);
    CloseHandle(worker_thread);
    worker_thread = nullptr;
  }
  delete_font(font_button);
  delete_font(font_score);
  delete_font(font_time);
  delete_font(font_info_label);
  delete_font(font_info_value);
  PostQuitMessage(0);
}

void create_fonts(int dpi) {
  font_button = create_font(kFontButtonSpec, dpi);
  font_score = create_font(kFontScoreSpec, dpi);
  font_time = create_font(kFontTimeSpec, dpi);
  font_info_label = create_font(kFontInfoLabelSpec, dpi);
  font_info_value = create_font(kFontInfoValueSpec, dpi);
}

HWND create_child(HINSTANCE instance, HWND parent, const wchar_t* window_class, DWORD style, int x, int y, int width,
                  int height, int id) {
  return CreateWindowExW(0, window_class, L"", WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

void create_controls(HINSTANCE instance, HWND window, int dpi) {
  const auto scale = [dpi](int length) { return scale_for_dpi(length, dpi); };
  const int margin = scale(kMargin), gap = scale(kGap);
  RECT client{};
  GetClientRect(window, &client);
  const int width = client.right;
  const int content_width = width - 2 * margin;

  const int icon = scale(kMenuIconSize);
  menu_icon_window = create_child(instance, window, L"STATIC", SS_ICON | SS_NOTIFY, width - icon - margin, margin, icon,
                                  icon, IDC_MENU_ICON);
  install_menu_icon_picture(menu_icon_window, instance, icon);

  start_button_window = create(&start_button, window, (width - scale(kStartSize)) / 2, margin, scale(kStartSize), IDC_START);
  SetWindowTextW(start_button_window, L"START");
  set_font(&start_button, font_button);

  const int result_top = margin + scale(kStartSize) + gap;
  result_card_window = create_child(instance, window, kResultCardClass, 0, margin, result_top, content_width,
                                    scale(kResultCardHeight), IDC_RESULT_CARD);
  show_result_card();
  create_child(instance, window, kSysInfoCardClass, 0, margin, result_top + scale(kResultCardHeight) + gap,
               content_width, scale(kInfoCardHeight), IDC_SYSINFO_CARD);
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

  HDC screen = GetDC(nullptr);
  const int system_dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);

  query_system_info(&system_info);

  RECT frame{0, 0, scale_for_dpi(kClientWidth, system_dpi), scale_for_dpi(kClientHeight, system_dpi)};
  AdjustWindowRect(&frame, kMainWindowStyle, FALSE);
  const int outer_width = frame.right - frame.left, outer_height = frame.bottom - frame.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - outer_width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - outer_height) / 2;

  HWND window = CreateWindowExW(0, kMainWindowClass, L"Morlant", kMainWindowStyle, x, y, outer_width, outer_height,
                                nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return nullptr;
  use_dark_title_bar(window);

  HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  main_window = window;

  const int dpi = static_cast<int>(GetDpiForWindow(window));
  create_fonts(dpi);
  create_controls(instance, window, dpi);

  ShowWindow(window, show);
  UpdateWindow(window);
  return window;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      return on_command(window, wparam);
    case WM_CTLCOLORSTATIC:
      if (GetDlgCtrlID(reinterpret_cast<HWND>(lparam)) != IDC_MENU_ICON) break;
      SetBkMode(reinterpret_cast<HDC>(wparam), TRANSPARENT);
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    case WM_APP_BENCH_PROGRESS:
      on_progress(lparam);
      return 0;
    case WM_APP_BENCH_DONE:
      on_benchmark_done(lparam);
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
