#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace testsupport {

std::string make_temp_dir(const std::string& stem) {
  std::random_device random;
  std::filesystem::path dir;
  std::error_code error;  // a name already taken: another one
  do dir = std::filesystem::path(testing::TempDir()) / (stem + "-" + std::to_string(random() % 1000000000u));
  while (!std::filesystem::create_directory(dir, error) && !error);
  EXPECT_FALSE(error) << "cannot create " << dir << ": " << error.message();
  return dir.string();
}

void remove_temp_dir(const std::string& dir) {
  std::error_code error;
  std::filesystem::remove_all(dir, error);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void set_env(const std::string& name, const char* value) {
#ifdef _WIN32
  SetEnvironmentVariableA(name.c_str(), value);
#else
  if (value != nullptr) setenv(name.c_str(), value, 1);
  else unsetenv(name.c_str());
#endif
}

namespace {

using Env = std::vector<std::pair<std::string, std::string>>;

// Polls the child's standard error for `ready` while `alive` says it runs.
template <typename Alive>
bool await_text(const std::string& path, const std::string& ready, double timeout_seconds, Alive alive) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout_seconds);
  while (std::chrono::steady_clock::now() < end) {
    if (read_file(path).find(ready) != std::string::npos) return true;
    if (!alive()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

// A started child: start() with its standard streams in files, running(),
// interrupt() (at most once), finish() waits for its end (a child that does
// not end in `limit_ms` is killed) and returns its exit status.
#ifdef _WIN32

HANDLE open_for_child(const std::string& path, bool write) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  return CreateFileA(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                     write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

struct Child {
  PROCESS_INFORMATION pi{};
  // An interrupted child gets a console of its own, so that the control
  // event reaches it (and this process) alone.
  bool start(const std::string& program, const std::vector<std::string>& args, const std::string& out,
             const std::string& err, bool own_console) {
    // Arguments hold no quotes and end in no backslash: quoting blanks suffices.
    std::string cmd = "\"" + program + "\"";
    for (const std::string& a : args) cmd += a.empty() || a.find_first_of(" \t") != std::string::npos ? " \"" + a + "\"" : " " + a;
    // Under Wine a start now and then fails for a moment while the previous
    // child is torn down (seen once in ~300 starts): retry before giving up.
    BOOL ok = FALSE;
    for (int attempt = 0; attempt < 5 && !ok; ++attempt) {
      if (attempt > 0) Sleep(200);
      STARTUPINFOA si{};
      si.cb = sizeof si;
      si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
      si.wShowWindow = SW_HIDE;
      si.hStdInput = open_for_child("NUL", false);
      si.hStdOutput = open_for_child(out, true);
      si.hStdError = open_for_child(err, true);
      ok = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, own_console ? CREATE_NEW_CONSOLE : 0, nullptr,
                          nullptr, &si, &pi);
      EXPECT_TRUE(ok || attempt < 4) << "cannot start " << program << ": error " << GetLastError();
      for (HANDLE h : {si.hStdInput, si.hStdOutput, si.hStdError})
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    return ok;
  }
  bool running() { return WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT; }
  // Ctrl+C: this process (which has no console, or leaves its own for the
  // moment) attaches to the child's console, ignores the event itself and
  // generates it for everything attached there.
  bool interrupt() {
    FreeConsole();
    if (!AttachConsole(pi.dwProcessId)) return false;
    SetConsoleCtrlHandler(nullptr, TRUE);
    const bool sent = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0;
    Sleep(200);  // the event is delivered asynchronously: stay ignoring it a while
    FreeConsole();
    SetConsoleCtrlHandler(nullptr, FALSE);
    return sent;
  }
  int finish(DWORD limit_ms) {
    if (WaitForSingleObject(pi.hProcess, limit_ms) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 99);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
  }
};

#else

struct Child {
  pid_t pid = -1;
  int status = 0;
  bool reaped = false;
  bool start(const std::string& program, const std::vector<std::string>& args, const std::string& out,
             const std::string& err, bool) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(spawned, 0) << "cannot start " << program;
    return spawned == 0;
  }
  bool running() { return !(reaped = reaped || waitpid(pid, &status, WNOHANG) == pid); }
  bool interrupt() { return running() && kill(pid, SIGINT) == 0; }
  int finish(unsigned limit_ms) {
    if (limit_ms == ~0u && !reaped) reaped = waitpid(pid, &status, 0) == pid;
    for (unsigned waited = 0; waited < limit_ms && running(); waited += 20) usleep(20000);
    if (!reaped) kill(pid, SIGKILL), waitpid(pid, &status, 0);
    // Death by a signal (SIGINT with the handler missing, say) must not pass
    // for the status 130 the program chooses.
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  }
};

#endif

// Runs the child to its end, or (ready given) interrupts it once its standard
// error shows `ready`.
ProcessOutcome run_child(const std::string& program, const std::vector<std::string>& args, const std::string& dir,
                         const Env& env, const std::string* ready, double timeout_seconds) {
  ProcessOutcome o;
  const std::string out = dir + "/stdout", err = dir + "/stderr";
  // The child's files are truncated only once it runs: an earlier child's
  // text must not be taken for this one's.
  std::remove(err.c_str());
  // The child inherits this process's environment, extended for its run.
  for (const auto& [name, value] : env) set_env(name, value.c_str());
  const auto start = std::chrono::steady_clock::now();
  Child child;
  o.started = child.start(program, args, out, err, ready != nullptr);
  for (const auto& entry : env) set_env(entry.first, nullptr);
  if (!o.started) return o;
  unsigned limit_ms = ~0u;
  if (ready != nullptr) {
    o.started = await_text(err, *ready, timeout_seconds, [&] { return child.running(); });
    o.signalled = o.started && child.interrupt();
    limit_ms = o.signalled ? 60000 : 0;
  }
  o.exit_code = child.finish(limit_ms);
  o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  o.out = read_file(out);
  o.err = read_file(err);
  return o;
}

}  // namespace

ProcessOutcome run_process(const std::string& program, const std::vector<std::string>& args,
                           const std::string& scratch_dir, const Env& env) {
  return run_child(program, args, scratch_dir, env, nullptr, 0);
}

ProcessOutcome run_and_interrupt(const std::string& program, const std::vector<std::string>& args,
                                 const std::string& scratch_dir, const std::string& ready, double timeout_seconds) {
  return run_child(program, args, scratch_dir, {}, &ready, timeout_seconds);
}

}  // namespace testsupport
