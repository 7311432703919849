#include "tests/app/app_test_support.h"

#include <malloc.h>
#include <objidl.h>
#include <gdiplus.h>
#include <shellscalingapi.h>

#include "app/about_dialog.h"
#include "app/resource_ids.h"
#include "app/globals.h"
#include "app/main_window.h"
#include "app/menu_icon.h"

namespace apptest {

namespace {

class GdiplusEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    SetProcessDpiAwareness(PROCESS_PER_MONITOR_DPI_AWARE);
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token_, &input, nullptr);
  }
  void TearDown() override {
    release_bitmap(&start_button);
    Gdiplus::GdiplusShutdown(token_);
  }

 private:
  ULONG_PTR token_ = 0;
};
testing::Environment* const gdiplus_environment = testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

}  // namespace

bool pump_until(const std::function<bool()>& done, DWORD timeout_ms) {
  const ULONGLONG end = GetTickCount64() + timeout_ms;
  while (!done()) {
    if (GetTickCount64() >= end) return done();
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return true;
}

void pump_pending() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

std::wstring window_text(HWND window) {
  wchar_t text[512] = L"";
  GetWindowTextW(window, text, 512);
  return text;
}

RECT child_rect(HWND child) {
  RECT rect{};
  GetWindowRect(child, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
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

namespace {
LPTHREAD_START_ROUTINE default_thread_procedure;
HANDLE (*default_thread_creation)(LPTHREAD_START_ROUTINE, void*);
}  // namespace

void MainWindowTest::SetUp() {
  default_thread_procedure = benchmark_thread_procedure;
  default_thread_creation = create_worker_thread;
  window = create_main_window(GetModuleHandleW(nullptr), SW_SHOWNORMAL);
  ASSERT_NE(window, nullptr);
  pump_pending();
}

void MainWindowTest::TearDown() {
  if (IsWindow(window)) DestroyWindow(window);
  // Drain what the window left: its WM_QUIT and any late records.
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message != WM_QUIT) DispatchMessageW(&message);
  }
  release_bitmap(&start_button);
  benchmark_thread_procedure = default_thread_procedure;
  create_worker_thread = default_thread_creation;
  result_card_state = {};
  total_progress_steps = 0;
  last_posted_step = -999;
}

namespace {

struct ModalSearch {
  const wchar_t* window_class;
  std::function<void(HWND)> action;
  HWND found = nullptr;
  bool acted = false;
  ULONGLONG deadline = 0;
};
ModalSearch* modal_search = nullptr;

BOOL CALLBACK find_modal(HWND window, LPARAM) {
  wchar_t name[64] = L"";
  GetClassNameW(window, name, 64);
  if (!IsWindowVisible(window) || lstrcmpW(name, modal_search->window_class) != 0) return TRUE;
  modal_search->found = window;
  return FALSE;
}

void CALLBACK modal_tick(HWND, UINT, UINT_PTR, DWORD) {
  ModalSearch& search = *modal_search;
  search.found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), find_modal, 0);
  if (search.found == nullptr) return;
  if (!search.acted) {
    search.acted = true;
    search.action(search.found);
  } else if (GetTickCount64() > search.deadline) {
    ADD_FAILURE() << "the modal window stayed open";
    if (lstrcmpW(search.window_class, L"#32770") == 0) EndDialog(search.found, -1);
    else EndMenu();
  }
}

}  // namespace

INT_PTR with_modal_window(const wchar_t* window_class, const std::function<INT_PTR()>& open,
                          const std::function<void(HWND)>& action, bool* appeared) {
  ModalSearch search{window_class, action};
  search.deadline = GetTickCount64() + 10000;
  modal_search = &search;
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, modal_tick);
  const INT_PTR result = open();
  KillTimer(nullptr, timer);
  modal_search = nullptr;
  if (appeared != nullptr) *appeared = search.acted;
  else EXPECT_TRUE(search.acted) << "no modal window appeared";
  return result;
}

namespace {

struct WindowSearch {
  DWORD process_id;
  HWND found;
};

BOOL CALLBACK find_program_window(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t name[64] = L"";
  GetClassNameW(window, name, 64);
  if (owner != search->process_id || lstrcmpW(name, L"BasicWindowClass") != 0) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

bool start_program(const wchar_t* path, Program& program) {
  std::wstring command = std::wstring(L"\"") + path + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &program.process)) {
    ADD_FAILURE() << "cannot start the program, error " << GetLastError();
    return false;
  }
  WindowSearch search{program.process.dwProcessId, nullptr};
  const ULONGLONG end = GetTickCount64() + 20000;
  // Shown only once start-up has created every control.
  while ((search.found == nullptr || !IsWindowVisible(search.found)) && GetTickCount64() < end) {
    Sleep(50);
    search.found = nullptr;
    EnumWindows(find_program_window, reinterpret_cast<LPARAM>(&search));
  }
  program.window = search.found != nullptr && IsWindowVisible(search.found) ? search.found : nullptr;
  if (program.window == nullptr) ADD_FAILURE() << "the program's main window did not appear";
  return program.window != nullptr;
}

bool wait_for_exit(Program& program, DWORD timeout_ms, DWORD& exit_code) {
  if (WaitForSingleObject(program.process.hProcess, timeout_ms) != WAIT_OBJECT_0) return false;
  GetExitCodeProcess(program.process.hProcess, &exit_code);
  CloseHandle(program.process.hThread);
  CloseHandle(program.process.hProcess);
  program.process = {};
  return true;
}

void end_program(Program& program) {
  if (program.process.hProcess == nullptr) return;
  TerminateProcess(program.process.hProcess, 1);
  WaitForSingleObject(program.process.hProcess, 5000);
  CloseHandle(program.process.hThread);
  CloseHandle(program.process.hProcess);
  program.process = {};
}

bool start_benchmark(const Program& program) {
  HWND start = GetDlgItem(program.window, IDC_START);
  PostMessageW(program.window, WM_COMMAND, MAKEWPARAM(IDC_START, BN_CLICKED), 0);
  for (int i = 0; i < 100 && IsWindowEnabled(start); ++i) Sleep(20);
  return !IsWindowEnabled(start);
}

}  // namespace apptest
