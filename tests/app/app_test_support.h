// Helpers of the desktop program's tests: the real main window built
// in-process, message pumping, heap usage, and the program as a process.
// Every test executable of this folder runs with GDI+ started and the
// process declared per-monitor DPI aware (a global test environment).
#ifndef MORLANT_TESTS_APP_APP_TEST_SUPPORT_H
#define MORLANT_TESTS_APP_APP_TEST_SUPPORT_H

#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace apptest {

// Dispatches this thread's messages until `done` holds or `timeout_ms`
// passes; returns done().
bool pump_until(const std::function<bool()>& done, DWORD timeout_ms = 5000);
// Dispatches what is queued now.
void pump_pending();

std::wstring window_text(HWND window);
// The child's rectangle in its parent's client coordinates.
RECT child_rect(HWND child);
// Bytes in use on the C runtime's heap (what malloc hands out).
long long heap_bytes_in_use();

// Builds the real main window (create_main_window) for each test and
// destroys it afterwards, restoring the worker seams and the globals a
// test may have changed.
class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  HWND window = nullptr;
};

// Runs `action` on the modal loop of a dialog or menu opened by `open`:
// a thread timer finds the first visible window of class `window_class` of
// this thread, calls `action` with it once, and, should it stay open,
// ends it after 10 s. Returns what `open` returns. Whether such a window
// appeared goes to *appeared when given; otherwise its absence is a failure.
INT_PTR with_modal_window(const wchar_t* window_class, const std::function<INT_PTR()>& open,
                          const std::function<void(HWND)>& action, bool* appeared = nullptr);

// A narrow string literal macro as a wide one (for paths given as compile definitions).
#define MORLANT_WIDEN2(text) L##text
#define MORLANT_WIDEN(text) MORLANT_WIDEN2(text)

// The program running as its own process.
struct Program {
  PROCESS_INFORMATION process{};
  HWND window = nullptr;  // its main window ("BasicWindowClass")
};
// Starts Morlant.exe and waits (up to 20 s) for its main window to be shown.
bool start_program(const wchar_t* path, Program& program);
// Waits for the process to end; returns false on timeout. Closes the handles.
bool wait_for_exit(Program& program, DWORD timeout_ms, DWORD& exit_code);
// Ends a program left running by a failed test.
void end_program(Program& program);
// Presses START by command and waits (up to 2 s) for it to be disabled, as
// it is while a benchmark runs; returns whether it was.
bool start_benchmark(const Program& program);

}  // namespace apptest

#endif  // MORLANT_TESTS_APP_APP_TEST_SUPPORT_H
