#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace testsupport {

std::string make_temp_dir(const std::string& stem) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto dir = std::filesystem::path(testing::TempDir()) / (stem + "-" + std::to_string(random() % 1000000000u));
    std::error_code error;
    if (std::filesystem::create_directory(dir, error)) return dir.string();
  }
  ADD_FAILURE() << "cannot create a temporary directory";
  return testing::TempDir();
}

void remove_temp_dir(const std::string& dir) {
  std::error_code error;
  std::filesystem::remove_all(dir, error);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

namespace {

int spawn_and_wait(const std::string& program, const std::vector<std::string>& args, const std::string& out,
                   const std::string& err);

}  // namespace

ProcessOutcome run_process(const std::string& program, const std::vector<std::string>& args,
                           const std::string& scratch_dir,
                           const std::vector<std::pair<std::string, std::string>>& env) {
  ProcessOutcome o;
  // The child inherits this process's environment, extended for its run.
  for (const auto& [name, value] : env) set_env(name, value.c_str());
  const auto start = std::chrono::steady_clock::now();
  o.exit_code = spawn_and_wait(program, args, scratch_dir + "/stdout", scratch_dir + "/stderr");
  o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  for (const auto& entry : env) set_env(entry.first, nullptr);
  o.out = read_file(scratch_dir + "/stdout");
  o.err = read_file(scratch_dir + "/stderr");
  return o;
}

#ifdef _WIN32

void set_env(const std::string& name, const char* value) { SetEnvironmentVariableA(name.c_str(), value); }

namespace {

HANDLE open_for_child(const std::string& path, bool write) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  return CreateFileA(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                     write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int spawn_and_wait(const std::string& program, const std::vector<std::string>& args, const std::string& out,
                   const std::string& err) {
  // Arguments hold no quotes and end in no backslash: quoting blanks suffices.
  std::string cmd = "\"" + program + "\"";
  for (const std::string& a : args) cmd += a.empty() || a.find_first_of(" \t") != std::string::npos ? " \"" + a + "\"" : " " + a;
  // Under Wine a start now and then fails for a moment while the previous
  // child is torn down (seen once in ~300 starts): retry before giving up.
  PROCESS_INFORMATION pi{};
  BOOL ok = FALSE;
  DWORD error = 0;
  for (int attempt = 0; attempt < 5 && !ok; ++attempt) {
    if (attempt > 0) Sleep(200);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = open_for_child("NUL", false);
    si.hStdOutput = open_for_child(out, true);
    si.hStdError = open_for_child(err, true);
    ok = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    if (!ok) error = GetLastError();
    for (HANDLE h : {si.hStdInput, si.hStdOutput, si.hStdError})
      if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  EXPECT_TRUE(ok) << "cannot start " << program << ": error " << error;
  if (!ok) return -1;
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<int>(code);
}

}  // namespace

#else

void set_env(const std::string& name, const char* value) {
  if (value != nullptr) setenv(name.c_str(), value, 1);
  else unsetenv(name.c_str());
}

int spawn_redirected(const std::string& program, const std::vector<std::string>& args, const std::string& out,
                     const std::string& err) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return spawned == 0 ? static_cast<int>(pid) : -1;
}

namespace {

int spawn_and_wait(const std::string& program, const std::vector<std::string>& args, const std::string& out,
                   const std::string& err) {
  const pid_t pid = spawn_redirected(program, args, out, err);
  EXPECT_NE(pid, -1) << "cannot start " << program;
  if (pid == -1) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

#endif

}  // namespace testsupport
