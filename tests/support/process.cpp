#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace testsupport {

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool file_exists(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  std::fclose(f);
  return true;
}

namespace {

bool unset_matches(const char* entry, const std::vector<std::string>& unset) {
  for (const std::string& name : unset)
    if (std::strncmp(entry, name.c_str(), name.size()) == 0 && entry[name.size()] == '=') return true;
  return false;
}

}  // namespace

#ifdef _WIN32

namespace {

std::wstring widen(const std::string& s) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n > 0 ? n - 1 : 0), L'\0');
  if (n > 1) MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, w.data(), n);
  return w;
}

// Quotes one argument the way the C runtime's command-line parser reads it.
std::wstring quote(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring q = L"\"";
  std::size_t slashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++slashes;
    } else if (c == L'"') {
      q.append(2 * slashes + 1, L'\\');
      slashes = 0;
    } else {
      slashes = 0;
    }
    q.push_back(c);
  }
  q.append(slashes, L'\\');
  return q + L"\"";
}

HANDLE open_for_child(const std::string& path, bool write) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  return CreateFileW(widen(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     &sa, write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

ProcessOutcome run_process(const std::string& program, const std::vector<std::string>& args,
                           const std::string& scratch_dir, const std::vector<std::string>& env,
                           const std::vector<std::string>& unset) {
  ProcessOutcome o;
  const std::string out = scratch_dir + "/stdout", err = scratch_dir + "/stderr", in = scratch_dir + "/stdin";
  { std::ofstream(in, std::ios::binary); }
  std::wstring cmd = quote(widen(program));
  for (const std::string& a : args) cmd += L" " + quote(widen(a));

  // Environment block: the current one, filtered, plus env; sorted order is
  // not required for a process's own variables.
  std::wstring block;
  LPWCH current = GetEnvironmentStringsW();
  for (LPWCH p = current; *p != 0; p += wcslen(p) + 1) {
    std::string entry;
    for (LPWCH c = p; *c != 0; ++c) entry.push_back(static_cast<char>(*c));
    if (!unset_matches(entry.c_str(), unset)) block += std::wstring(p) + L'\0';
  }
  FreeEnvironmentStringsW(current);
  for (const std::string& e : env) block += widen(e) + L'\0';
  block += L'\0';

  // Under Wine a process start now and then fails for a moment while the
  // previous child is still being torn down (CI saw it once in ~300 starts):
  // retry a few times before calling it a failure, and name the error.
  PROCESS_INFORMATION pi{};
  BOOL ok = FALSE;
  DWORD error = 0;
  auto start = std::chrono::steady_clock::now();
  for (int attempt = 0; attempt < 5 && !ok; ++attempt) {
    if (attempt > 0) Sleep(200);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = open_for_child(in, false);
    si.hStdOutput = open_for_child(out, true);
    si.hStdError = open_for_child(err, true);
    start = std::chrono::steady_clock::now();
    ok = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT, block.data(),
                        nullptr, &si, &pi);
    if (!ok) error = GetLastError();
    for (HANDLE h : {si.hStdInput, si.hStdOutput, si.hStdError})
      if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  EXPECT_TRUE(ok) << "cannot start " << program << ": error " << error;
  if (!ok) return o;
  WaitForSingleObject(pi.hProcess, INFINITE);
  o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  o.exit_code = static_cast<int>(code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  o.out = read_file(out);
  o.err = read_file(err);
  return o;
}

std::string make_temp_dir(const std::string& stem) {
  std::random_device rd;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string dir = testing::TempDir() + stem + "-" + std::to_string(rd() % 1000000000u);
    if (CreateDirectoryW(widen(dir).c_str(), nullptr)) return dir;
  }
  ADD_FAILURE() << "cannot create a temporary directory";
  return testing::TempDir();
}

void remove_temp_dir(const std::string& dir) {
  WIN32_FIND_DATAW found;
  const std::wstring wdir = widen(dir);
  HANDLE h = FindFirstFileW((wdir + L"\\*").c_str(), &found);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((wdir + L"\\" + found.cFileName).c_str());
    } while (FindNextFileW(h, &found));
    FindClose(h);
  }
  RemoveDirectoryW(wdir.c_str());
}

#else

ProcessOutcome run_process(const std::string& program, const std::vector<std::string>& args,
                           const std::string& scratch_dir, const std::vector<std::string>& env,
                           const std::vector<std::string>& unset) {
  const std::string out = scratch_dir + "/stdout", err = scratch_dir + "/stderr";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (char** e = environ; *e != nullptr; ++e)
    if (!unset_matches(*e, unset)) envp.push_back(*e);
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);

  ProcessOutcome o;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  EXPECT_EQ(spawned, 0) << "cannot start " << program;
  if (spawned != 0) return o;
  int status = 0;
  waitpid(pid, &status, 0);
  o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  o.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  o.out = read_file(out);
  o.err = read_file(err);
  return o;
}

std::string make_temp_dir(const std::string& stem) {
  std::string pattern = testing::TempDir() + stem + "-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "cannot create a temporary directory";
  return pattern;
}

void remove_temp_dir(const std::string& dir) {
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) unlink((dir + "/" + e->d_name).c_str());
    closedir(d);
  }
  rmdir(dir.c_str());
}

#endif

}  // namespace testsupport
