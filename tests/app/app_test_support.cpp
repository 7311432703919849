#include "tests/app/app_test_support.h"

#include <malloc.h>
#include <objidl.h>
#include <gdiplus.h>
#include <shellscalingapi.h>

#include "app/globals.h"
#include "app/main_window.h"
#include "app/resource_ids.h"

namespace apptest {

namespace {

ULONG_PTR gdiplus_token = 0;
struct GdiplusEnvironment : testing::Environment {
  void SetUp() override {
    SetProcessDpiAwareness(PROCESS_PER_MONITOR_DPI_AWARE);
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&gdiplus_token, &input, nullptr);
  }
  void TearDown() override {
    release_bitmap(&start_button);
    Gdiplus::GdiplusShutdown(gdiplus_token);
  }
};
testing::Environment* const gdiplus_environment = testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

// The worker seams' defaults (constant-initialised in the program), restored after each test.
const LPTHREAD_START_ROUTINE default_thread_procedure = benchmark_thread_procedure;
HANDLE (*const default_thread_creation)(LPTHREAD_START_ROUTINE, void*) = create_worker_thread;

// What with_modal_window looks for and does, and whether it has done it.
struct ModalSearch { const wchar_t* window_class; std::function<void(HWND)> action; bool acted; ULONGLONG deadline; };
ModalSearch* modal_search;

void CALLBACK modal_tick(HWND, UINT, UINT_PTR, DWORD) {
  ModalSearch& search = *modal_search;
  HWND found = nullptr;  // the first visible one of this thread
  while ((found = FindWindowExW(nullptr, found, search.window_class, nullptr)) != nullptr)
    if (GetWindowThreadProcessId(found, nullptr) == GetCurrentThreadId() && IsWindowVisible(found)) break;
  if (found == nullptr) return;
  if (!search.acted) {
    search.acted = true;
    search.action(found);
  } else if (GetTickCount64() > search.deadline) {
    ADD_FAILURE() << "the modal window stayed open";
    if (lstrcmpW(search.window_class, L"#32770") == 0) EndDialog(found, -1);
    else EndMenu();
  }
}

}  // namespace

void pump_pending() {
  for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

bool pump_until(const std::function<bool()>& done, DWORD timeout_ms) {
  for (const ULONGLONG end = GetTickCount64() + timeout_ms; !done(); pump_pending()) {
    if (GetTickCount64() >= end) return done();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

std::wstring window_text(HWND window) {
  wchar_t text[512] = L"";
  GetWindowTextW(window, text, 512);
  return text;
}

long long heap_bytes_in_use() {
  _HEAPINFO entry{};
  long long used = 0;
  int status;
  while ((status = _heapwalk(&entry)) == _HEAPOK)
    if (entry._useflag == _USEDENTRY) used += static_cast<long long>(entry._size);
  EXPECT_EQ(status, _HEAPEND) << "the C runtime heap could not be walked";
  return used;
}

void MainWindowTest::SetUp() {
  window = create_main_window(GetModuleHandleW(nullptr), SW_SHOWNORMAL);
  ASSERT_NE(window, nullptr);
  pump_pending();
}

void MainWindowTest::TearDown() {
  if (IsWindow(window)) DestroyWindow(window);
  pump_pending();  // what the window left: its WM_QUIT and any late records
  release_bitmap(&start_button);
  benchmark_thread_procedure = default_thread_procedure;
  create_worker_thread = default_thread_creation;
  result_card_state = {};
  total_progress_steps = 0;
  last_posted_step = -999;
}

INT_PTR with_modal_window(const wchar_t* window_class, const std::function<INT_PTR()>& open,
                          const std::function<void(HWND)>& action) {
  ModalSearch search{window_class, action, false, GetTickCount64() + 10000};
  modal_search = &search;
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, modal_tick);
  const INT_PTR result = open();
  KillTimer(nullptr, timer);
  modal_search = nullptr;
  EXPECT_TRUE(search.acted) << "no modal window appeared";
  return result;
}

bool start_program(Program& program) {
  std::wstring command = L"\"" MORLANT_WIDEN(MORLANT_EXE_PATH) L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &program.process)) {
    ADD_FAILURE() << "cannot start the program, error " << GetLastError();
    return false;
  }
  // The window is shown only once start-up has created every control.
  for (const ULONGLONG end = GetTickCount64() + 20000; program.window == nullptr && GetTickCount64() < end;) {
    Sleep(50);
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"BasicWindowClass", nullptr)) != nullptr;) {
      DWORD owner = 0;
      GetWindowThreadProcessId(w, &owner);
      if (owner == program.process.dwProcessId && IsWindowVisible(w)) program.window = w;
    }
  }
  if (program.window == nullptr) ADD_FAILURE() << "the program's main window did not appear";
  return program.window != nullptr;
}

bool start_benchmark(const Program& program) {
  HWND start = GetDlgItem(program.window, IDC_START);
  PostMessageW(program.window, WM_COMMAND, MAKEWPARAM(IDC_START, BN_CLICKED), 0);
  for (int i = 0; i < 100 && IsWindowEnabled(start); ++i) Sleep(20);
  return !IsWindowEnabled(start);
}

long close_program(Program& program, ULONGLONG* waited_ms) {
  const ULONGLONG closed = GetTickCount64();
  PostMessageW(program.window, WM_CLOSE, 0, 0);
  DWORD code = 0;
  const bool ended = WaitForSingleObject(program.process.hProcess, 5000) == WAIT_OBJECT_0 &&
                     GetExitCodeProcess(program.process.hProcess, &code);
  if (waited_ms != nullptr) *waited_ms = GetTickCount64() - closed;
  if (!ended) TerminateProcess(program.process.hProcess, 1);
  WaitForSingleObject(program.process.hProcess, 5000);
  CloseHandle(program.process.hThread);
  CloseHandle(program.process.hProcess);
  program = {};
  return ended ? static_cast<long>(code) : -1;
}

}  // namespace apptest
