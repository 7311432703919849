#include "cli/interrupt.h"

#include <atomic>
#include <csignal>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// Lock-free, so setting it is safe in a signal handler and from the thread
// Windows creates to run console control handlers.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the interrupt flag must be lock-free");

#ifdef _WIN32
BOOL WINAPI on_console_control(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;  // closing: the default action
  interrupted.store(true);
  return TRUE;
}
#else
extern "C" void on_sigint(int) { interrupted.store(true); }
#endif

}  // namespace

bool cli_install_interrupt_handler() {
#ifdef _WIN32
  // A child started in a new process group has Ctrl+C disabled; enable it
  // for this process, then add the handler.
  SetConsoleCtrlHandler(nullptr, FALSE);
  return SetConsoleCtrlHandler(on_console_control, TRUE) != 0;
#else
  struct sigaction action {};
  action.sa_handler = on_sigint;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  return sigaction(SIGINT, &action, nullptr) == 0;
#endif
}

bool cli_interrupted() { return interrupted.load(); }
