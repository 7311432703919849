#include "tests/cli/interrupted_child.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "tests/support/process.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

// Polls the child's standard error for `ready` while `alive` says it runs.
template <typename Alive>
bool await_text(const std::string& path, const std::string& ready, double timeout_seconds, Alive alive) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout_seconds);
  while (std::chrono::steady_clock::now() < end) {
    if (testsupport::read_file(path).find(ready) != std::string::npos) return true;
    if (!alive()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace

#ifdef _WIN32

// Ctrl+C to a child that has a console of its own: this process (which
// has none, or leaves its own for the moment) attaches to the child's
// console, ignores the event itself and generates it for everything
// attached there. Works without a console of the caller's, as under a test
// runner.
bool send_ctrl_c(DWORD child) {
  FreeConsole();
  if (!AttachConsole(child)) return false;
  SetConsoleCtrlHandler(nullptr, TRUE);
  const bool sent = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0;
  Sleep(200);  // the event is delivered asynchronously: stay ignoring it a while
  FreeConsole();
  SetConsoleCtrlHandler(nullptr, FALSE);
  return sent;
}

InterruptOutcome run_and_interrupt(const std::string& program, const std::vector<std::string>& args,
                                   const std::string& scratch_dir, const std::string& ready, double timeout_seconds) {
  InterruptOutcome o;
  const std::string out = scratch_dir + "/stdout", err = scratch_dir + "/stderr";
  std::string cmd = "\"" + program + "\"";
  for (const std::string& a : args) cmd += " " + a;
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  si.hStdInput = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);
  si.hStdOutput = CreateFileA(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS, 0, nullptr);
  si.hStdError = CreateFileA(err.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS, 0, nullptr);
  PROCESS_INFORMATION pi{};
  // A console of its own, so that a control event reaches the child (and
  // this process) alone; its output still goes to the files.
  const BOOL ok = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE, nullptr, nullptr,
                                 &si, &pi);
  for (HANDLE h : {si.hStdInput, si.hStdOutput, si.hStdError}) CloseHandle(h);
  if (!ok) return o;
  o.started = await_text(err, ready, timeout_seconds,
                         [&] { return WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT; });
  if (o.started) o.signalled = send_ctrl_c(pi.dwProcessId);
  if (!o.signalled || WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0) {
    o.signalled = false;
    TerminateProcess(pi.hProcess, 99);
    WaitForSingleObject(pi.hProcess, INFINITE);
  }
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  o.exit_code = static_cast<int>(code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  o.out = testsupport::read_file(out);
  o.err = testsupport::read_file(err);
  return o;
}

#else

InterruptOutcome run_and_interrupt(const std::string& program, const std::vector<std::string>& args,
                                   const std::string& scratch_dir, const std::string& ready, double timeout_seconds) {
  InterruptOutcome o;
  const std::string out = scratch_dir + "/stdout", err = scratch_dir + "/stderr";
  // The child truncates its files only once it runs: an earlier child's
  // text must not be taken for this one's.
  std::remove(err.c_str());
  const pid_t pid = testsupport::spawn_redirected(program, args, out, err);
  if (pid == -1) return o;
  int status = 0;
  bool reaped = false;
  o.started = await_text(err, ready, timeout_seconds, [&] {
    reaped = reaped || waitpid(pid, &status, WNOHANG) == pid;
    return !reaped;
  });
  if (!reaped) {
    o.signalled = o.started && kill(pid, SIGINT) == 0;
    if (!o.signalled) kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  // Death by the signal itself (the handler missing) must not pass for the
  // status 130 the program chooses.
  o.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  o.out = testsupport::read_file(out);
  o.err = testsupport::read_file(err);
  return o;
}

#endif
