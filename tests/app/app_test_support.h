// Helpers of the desktop program's tests: the real main window built
// in-process, message pumping, heap usage, modal windows, and the program as
// a process. Every executable runs with GDI+ started and per-monitor DPI
// awareness declared (a global test environment).
#ifndef MORLANT_TESTS_APP_APP_TEST_SUPPORT_H
#define MORLANT_TESTS_APP_APP_TEST_SUPPORT_H

#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#define MORLANT_WIDEN2(text) L##text
#define MORLANT_WIDEN(text) MORLANT_WIDEN2(text)

namespace apptest {

// Dispatches this thread's messages until `done` holds or the time is up; returns done().
bool pump_until(const std::function<bool()>& done, DWORD timeout_ms = 5000);
void pump_pending();
std::wstring window_text(HWND window);
long long heap_bytes_in_use();  // bytes handed out by the C runtime's heap

// The real main window (create_main_window) for each test; the worker seams
// and the globals a test may change are restored afterwards.
class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  HWND window = nullptr;
};

// Runs `open` (a modal dialog or menu) while a timer on its loop calls
// `action` once with the first visible window of `window_class` of this
// thread, and ends it should it stay open 10 s. Returns what `open` returns;
// a missing window is a failure.
INT_PTR with_modal_window(const wchar_t* window_class, const std::function<INT_PTR()>& open,
                          const std::function<void(HWND)>& action);

// Morlant.exe as its own process, and its main window once shown.
struct Program { PROCESS_INFORMATION process{}; HWND window = nullptr; };
bool start_program(Program& program);          // waits up to 20 s for the window
bool start_benchmark(const Program& program);  // START by command; true once it is disabled
// Posts WM_CLOSE and waits up to 5 s (then ends the process); returns the
// exit code, -1 on timeout; *waited_ms gets the wait.
long close_program(Program& program, ULONGLONG* waited_ms = nullptr);

}  // namespace apptest

#endif  // MORLANT_TESTS_APP_APP_TEST_SUPPORT_H
