// MainWindowProc with the real window built in-process: starting a
// benchmark, the worker's posted records, failures, clean-up and the menu
// icon's About command. The worker is replaced through the start seam.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "app/globals.h"
#include "app/main_window.h"
#include "app/resource_ids.h"
#include "app/result_text.h"
#include "tests/app/app_test_support.h"

namespace {

using apptest::pump_pending;
using apptest::pump_until;
using apptest::window_text;

// Five runs of 19 steps through the real runner, adapter and posting
// throttle; each run takes 16.4246 s and scores 152.
void scripted_run(int32_t, BenchmarkResult* result, ProgressCallback callback, void* user, void*) {
  for (int32_t step = 1; step <= STEPS_PER_RUN; ++step) callback(step, static_cast<uint32_t>(step), user, 0.1, 0.0);
  *result = {1, 8388608, 16.4246, 152.0, {}};
}

DWORD WINAPI scripted_worker(LPVOID parameter) {
  auto* start = static_cast<WorkerStartInfo*>(parameter);
  const BenchmarkPlan plan{BENCHMARK_DIGITS, BENCHMARK_RUNS, STEPS_PER_RUN, scripted_run, nullptr, nullptr};
  auto* result = static_cast<BenchmarkResult*>(std::calloc(1, sizeof(BenchmarkResult)));
  run_benchmark_plan(&plan, result, PostProgressCallback, nullptr);
  if (!PostMessageW(start->window, WM_APP_BENCH_DONE, 0, reinterpret_cast<LPARAM>(result))) std::free(result);
  std::free(start);
  return 0;
}

// Reports nothing: the test posts the records itself.
DWORD WINAPI silent_worker(LPVOID parameter) {
  std::free(parameter);
  return 0;
}

void post_progress(HWND window, int32_t step) {
  auto* update = static_cast<ProgressUpdate*>(std::malloc(sizeof(ProgressUpdate)));
  *update = {step, 0};
  ASSERT_TRUE(PostMessageW(window, WM_APP_BENCH_PROGRESS, 0, reinterpret_cast<LPARAM>(update)));
}

void post_done(HWND window, uint32_t status, double seconds = 0, double score = 0) {
  auto* result = static_cast<BenchmarkResult*>(std::calloc(1, sizeof(BenchmarkResult)));
  *result = {status, 0, seconds, score, {}};
  ASSERT_TRUE(PostMessageW(window, WM_APP_BENCH_DONE, 0, reinterpret_cast<LPARAM>(result)));
}

class MainWindowBenchmark : public apptest::MainWindowTest {
 protected:
  void press_start() { SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_START, BN_CLICKED), 0); }
  bool idle() const { return IsWindowEnabled(start_button_window) && worker_thread == nullptr; }
  void start_silently() {  // and wait for the worker to end
    benchmark_thread_procedure = silent_worker;
    press_start();
    ASSERT_FALSE(IsWindowEnabled(start_button_window));
    ASSERT_NE(worker_thread, nullptr);
    WaitForSingleObject(worker_thread, 5000);
  }
  void finish(uint32_t status, double seconds = 0, double score = 0) {
    post_done(window, status, seconds, score);
    ASSERT_TRUE(pump_until([&] { return idle(); }));
  }
  void expect_dashes() {
    EXPECT_EQ(result_card_state.has_result, 0);
    EXPECT_EQ(window_text(result_card_window), L"--");
    EXPECT_EQ(start_button.progress, 0.0f);
  }
};

TEST_F(MainWindowBenchmark, RingFollowsEveryPostedStepAndTheResultIsShown) {
  benchmark_thread_procedure = scripted_worker;
  press_start();
  EXPECT_FALSE(IsWindowEnabled(start_button_window));
  EXPECT_EQ(total_progress_steps, 95);
  std::vector<float> ring;  // read back right after each record's dispatch
  bool done = false;
  for (const ULONGLONG end = GetTickCount64() + 10000; !done && GetTickCount64() < end;) {
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      Sleep(1);
      continue;
    }
    DispatchMessageW(&message);
    if (message.hwnd != window) continue;
    if (message.message == WM_APP_BENCH_PROGRESS) ring.push_back(start_button.progress);
    done = message.message == WM_APP_BENCH_DONE;
  }
  ASSERT_TRUE(done);
  pump_pending();
  ASSERT_EQ(ring.size(), 48u);  // every other step and the last
  for (size_t i = 0; i < ring.size(); ++i) EXPECT_FLOAT_EQ(ring[i], static_cast<float>(2 * i + 1) / 95.0f) << i;
  EXPECT_TRUE(idle());
  EXPECT_EQ(start_button.progress, 1.0f);
  EXPECT_EQ(result_card_state.has_result, 1);
  EXPECT_DOUBLE_EQ(result_card_state.score, 152.0);
  EXPECT_NEAR(result_card_state.seconds, 82.123, 1e-9);
  EXPECT_EQ(window_text(result_card_window), L"Score 152, 82.123 sec");
}

TEST_F(MainWindowBenchmark, RingIsTheStepFractionClampedToAFullRing) {
  start_silently();
  const std::pair<int32_t, float> cases[] = {{47, 47.0f / 95}, {95, 1.0f}, {120, 1.0f}, {-5, 0.0f}, {INT32_MAX, 1.0f}};
  for (const auto& c : cases) {
    post_progress(window, c.first);
    pump_pending();
    EXPECT_FLOAT_EQ(start_button.progress, c.second) << "step " << c.first;
  }
  finish(1, 1.0, 2.0);
}

TEST_F(MainWindowBenchmark, StartClearsAShownResultAtOnceAndFailuresKeepDashes) {
  start_silently();
  finish(1, 7.25, 123456.0);
  EXPECT_EQ(window_text(result_card_window), L"Score 123456, 7.250 sec");
  start_silently();  // no message pumped: the result is gone at once
  expect_dashes();
  post_progress(window, 40);
  finish(0);  // the benchmark failed
  expect_dashes();
  start_silently();
  post_progress(window, 40);
  ASSERT_TRUE(PostMessageW(window, WM_APP_BENCH_DONE, 0, 0));  // no result record at all
  ASSERT_TRUE(pump_until([&] { return idle(); }));
  expect_dashes();
}

TEST_F(MainWindowBenchmark, EveryRecordIsFreedByTheWindow) {
  start_silently();
  finish(1, 1.0, 1.0);  // first use of every code path before measuring
  const long long before = apptest::heap_bytes_in_use();
  for (int batch = 0; batch < 10; ++batch) {
    for (int i = 0; i < 1000; ++i) post_progress(window, i);
    for (int i = 0; i < 100; ++i) post_done(window, static_cast<uint32_t>(i % 2), 1.0, 2.0);
    pump_pending();
  }
  // Leaked records would hold at least 10,000 x 8 + 1,000 x 280 bytes.
  EXPECT_LT(apptest::heap_bytes_in_use() - before, 16 * 1024);
}

TEST_F(MainWindowBenchmark, FailedThreadCreationReturnsToIdleAndFreesTheStartRecord) {
  start_silently();
  finish(1, 3.0, 4.0);
  create_worker_thread = [](LPTHREAD_START_ROUTINE, void*) -> HANDLE { return nullptr; };
  const long long before = apptest::heap_bytes_in_use();
  for (int i = 0; i < 5000; ++i) press_start();
  EXPECT_LT(apptest::heap_bytes_in_use() - before, 16 * 1024);
  EXPECT_TRUE(idle());
  expect_dashes();  // the press cleared the old result
}

TEST_F(MainWindowBenchmark, StartWhileRunningAndUnknownCommandsAreIgnored) {
  start_silently();
  const HANDLE running = worker_thread;
  press_start();
  EXPECT_EQ(worker_thread, running);
  for (WPARAM id : {IDOK, IDCANCEL, 4242}) EXPECT_EQ(SendMessageW(window, WM_COMMAND, id, 0), 0);
  EXPECT_FALSE(IsWindowEnabled(start_button_window));
  finish(0);
}

HANDLE worker_release;

// Still computing when the window goes: it ends only when released.
DWORD WINAPI lingering_worker(LPVOID parameter) {
  WaitForSingleObject(worker_release, 10000);
  auto* result = static_cast<BenchmarkResult*>(std::calloc(1, sizeof(BenchmarkResult)));
  if (!PostMessageW(static_cast<WorkerStartInfo*>(parameter)->window, WM_APP_BENCH_DONE, 0,
                    reinterpret_cast<LPARAM>(result)))
    std::free(result);  // the window is gone: the record stays with the sender
  std::free(parameter);
  return 0;
}

TEST_F(MainWindowBenchmark, DestroyWaitsAtMostOneSecondForTheWorkerAndDeletesTheFonts) {
  worker_release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  benchmark_thread_procedure = lingering_worker;
  press_start();
  const HFONT fonts[5] = {font_button, font_score, font_time, font_info_label, font_info_value};
  const ULONGLONG before = GetTickCount64();
  DestroyWindow(window);
  const ULONGLONG waited = GetTickCount64() - before;
  EXPECT_TRUE(waited >= 900u && waited < 2000u) << waited << " ms";
  EXPECT_EQ(worker_thread, nullptr);
  for (HFONT font : fonts) EXPECT_EQ(GetObjectType(font), 0u) << "font not deleted";
  MSG quit;
  EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(quit.wParam, 0u);
  SetEvent(worker_release);
  Sleep(100);
  CloseHandle(worker_release);
}

// The menu icon's one-entry menu; its command opens About, owned by the window.
class MainWindowMenu : public apptest::MainWindowTest {};

TEST_F(MainWindowMenu, MenuIconOffersAboutWhichOpensTheDialogOwnedByTheWindow) {
  std::wstring entry;
  int entries = 0;
  UINT entry_id = 0;
  apptest::with_modal_window(
      L"#32768",
      [&] {
        return SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_MENU_ICON, STN_CLICKED),
                            reinterpret_cast<LPARAM>(menu_icon_window));
      },
      [&](HWND menu_window) {
        auto menu = reinterpret_cast<HMENU>(SendMessageW(menu_window, MN_GETHMENU, 0, 0));
        entries = GetMenuItemCount(menu);
        wchar_t text[32] = L"";
        GetMenuStringW(menu, 0, text, 32, MF_BYPOSITION);
        entry = text;
        entry_id = GetMenuItemID(menu, 0);
        PostMessageW(menu_window, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(menu_window, WM_KEYDOWN, VK_RETURN, 0);
      });
  EXPECT_EQ(entries, 1);
  EXPECT_EQ(entry, L"About");
  EXPECT_EQ(entry_id, static_cast<UINT>(IDM_ABOUT));
  HWND dialog_owner = nullptr;
  bool window_disabled = false;
  apptest::with_modal_window(
      L"#32770",
      [&] {  // the chosen command arrives as a posted WM_COMMAND
        pump_until([&] { return dialog_owner != nullptr; });
        return INT_PTR{0};
      },
      [&](HWND dialog) {
        dialog_owner = GetWindow(dialog, GW_OWNER);
        window_disabled = !IsWindowEnabled(window);
        EndDialog(dialog, IDOK);
      });
  EXPECT_EQ(dialog_owner, window);
  EXPECT_TRUE(window_disabled);
  EXPECT_TRUE(IsWindowEnabled(window));
}

// ---- An honest score ----------------------------------------------------------

// The real verified runner on a small computation, its second run's digits
// corrupted (or not), posting to the window like the real worker.
template <int32_t corrupt_run>
DWORD WINAPI small_verified_worker(LPVOID parameter) {
  auto* start = static_cast<WorkerStartInfo*>(parameter);
  auto* result = static_cast<BenchmarkResult*>(std::calloc(1, sizeof(BenchmarkResult)));
  run_verified_benchmark(1000, 2, corrupt_run, result, PostProgressCallback, nullptr);
  if (!PostMessageW(start->window, WM_APP_BENCH_DONE, 0, reinterpret_cast<LPARAM>(result))) std::free(result);
  std::free(start);
  return 0;
}

TEST_F(MainWindowBenchmark, ARunWithWrongDigitsShowsNoScore) {
  const struct {
    LPTHREAD_START_ROUTINE worker;
    bool score_shown;
  } cases[] = {{small_verified_worker<0>, true}, {small_verified_worker<2>, false}};
  for (const auto& c : cases) {
    benchmark_thread_procedure = c.worker;
    press_start();
    ASSERT_TRUE(pump_until([&] { return idle(); }, 120000));  // emulated ARM64 is slow
    EXPECT_EQ(result_card_state.has_result == 1, c.score_shown);
    EXPECT_EQ(window_text(result_card_window).rfind(L"Score ", 0) == 0, c.score_shown) << window_text(result_card_window);
  }
}

// ---- Keyboard and screen readers -------------------------------------------------

TEST_F(MainWindowBenchmark, StartHoldsTheFocusAndItsTextTellsTheState) {
  EXPECT_EQ(GetFocus(), start_button_window) << "not focused when the window opens";
  start_silently();
  EXPECT_EQ(window_text(start_button_window), L"Running, 0 %");
  const std::pair<int32_t, const wchar_t*> steps[] = {{35, L"Running, 36 %"}, {94, L"Running, 98 %"}, {95, L"Running, 100 %"}};
  for (const auto& s : steps) {
    post_progress(window, s.first);
    pump_pending();
    EXPECT_EQ(window_text(start_button_window), s.second);
  }
  EXPECT_STREQ(start_button.label, L"START") << "the disc keeps its label while running";
  finish(1, 1.0, 2.0);
  EXPECT_EQ(window_text(start_button_window), L"START");
  // Under a loaded Wine the window may be activated a moment late; the
  // focus must then still land on START.
  EXPECT_TRUE(pump_until([] { return GetFocus() == start_button_window; }, 3000))
      << "the focus does not come back after a run";
}

class MainWindowKeyboard : public apptest::MainWindowTest {
 protected:
  // Whether opening `how` shows the About dialog owned by the window.
  bool opens_about(const std::function<void()>& how) {
    HWND owner = nullptr;
    apptest::with_modal_window(
        L"#32770",
        [&] {
          how();
          return INT_PTR{0};
        },
        [&](HWND dialog) {
          owner = GetWindow(dialog, GW_OWNER);
          EndDialog(dialog, IDOK);
        });
    return owner == window;
  }
  bool key(UINT vk) {
    MSG message{start_button_window, WM_KEYDOWN, vk, 0, 0, {}};
    return translate_main_window_message(window, &message);
  }
  static std::wstring clipboard_text() {
    std::wstring text;
    if (!OpenClipboard(nullptr)) return L"(no clipboard)";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
      if (auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) text = chars;
      GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
  }
  static void with_control_down(bool down) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = down ? 0x80 : 0;
    SetKeyboardState(keys);
  }
};

TEST_F(MainWindowKeyboard, SystemMenuOffersCopyAndAboutNamedWithTheirKeys) {
  HMENU menu = GetSystemMenu(window, FALSE);
  const std::pair<UINT, const wchar_t*> entries[] = {{IDM_SYSTEM_COPY, L"Copy result\tCtrl+C"},
                                                     {IDM_SYSTEM_ABOUT, L"About Morlant...\tF1"}};
  for (const auto& e : entries) {
    wchar_t text[64] = L"";
    EXPECT_GT(GetMenuStringW(menu, e.first, text, 64, MF_BYCOMMAND), 0) << e.first;
    EXPECT_STREQ(text, e.second);
  }
  EXPECT_TRUE(opens_about([&] { SendMessageW(window, WM_SYSCOMMAND, IDM_SYSTEM_ABOUT, 0); }));
  EXPECT_TRUE(opens_about([&] { EXPECT_TRUE(key(VK_F1)); }));
}

TEST_F(MainWindowKeyboard, CtrlCAndTheMenuEntryCopyTheResultAsText) {
  const struct {
    const char* how;
    std::function<void()> copy;
  } ways[] = {
      {"Ctrl+C",
       [&] {
         with_control_down(true);
         EXPECT_TRUE(key('C'));
         with_control_down(false);
       }},
      {"system menu", [&] { SendMessageW(window, WM_SYSCOMMAND, IDM_SYSTEM_COPY, 0); }},
  };
  result_card_state = {1, 82.1234, 152.0};
  for (const auto& w : ways) {
    if (OpenClipboard(nullptr)) {
      EmptyClipboard();
      CloseClipboard();
    }
    w.copy();
    const std::wstring text = clipboard_text();
    EXPECT_EQ(text, result_text(result_card_state, system_info)) << w.how;
    EXPECT_NE(text.find(L"Score: 152\r\nTime: 82.123 sec\r\n"), std::wstring::npos) << w.how;
  }
  with_control_down(false);
  if (OpenClipboard(nullptr)) {
    EmptyClipboard();
    CloseClipboard();
  }
  key('C');
  EXPECT_EQ(clipboard_text(), L"") << "C without Ctrl is no shortcut";
}

TEST_F(MainWindowKeyboard, HandCursorOverTheMenuIconOnly) {
  const HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
  const struct {
    HWND over;
    WORD hit;
    bool hand;
  } cases[] = {{menu_icon_window, HTCLIENT, true}, {result_card_window, HTCLIENT, false},
               {menu_icon_window, HTBORDER, false}, {window, HTCLIENT, false}};
  for (const auto& c : cases) {
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    const LRESULT taken =
        SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(c.over), MAKELPARAM(c.hit, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor() == hand, c.hand);
    if (c.hand) EXPECT_NE(taken, 0);
  }
  EXPECT_NE(reinterpret_cast<HCURSOR>(GetClassLongPtrW(menu_icon_window, GCLP_HCURSOR)), hand)
      << "every STATIC control of the process would show the hand";
}

}  // namespace
