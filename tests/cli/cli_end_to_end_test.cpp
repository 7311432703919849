// morlant-cli as a user runs it: the built executable in a child process,
// its exit status, standard output, standard error and output file.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

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

#include "cli/memory.h"
#include "cli/options.h"
#include "tests/cli/pi_digits.h"

namespace {

using Env = std::vector<std::pair<std::string, std::string>>;

#ifdef _WIN32
constexpr const char* kOsName = "Windows";
#else
constexpr const char* kOsName = "Linux";
#endif
#if defined(__aarch64__) || defined(_M_ARM64)
constexpr const char* kArchitecture = "arm64";
#else
constexpr const char* kArchitecture = "x64";
#endif

std::string read_file(const std::string& path) {  // "" when it cannot be read
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void set_env(const std::string& name, const char* value) {  // null: removes the variable
#ifdef _WIN32
  SetEnvironmentVariableA(name.c_str(), value);
#else
  if (value != nullptr) setenv(name.c_str(), value, 1);
  else unsetenv(name.c_str());
#endif
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

// A child's end: its exit code (-1 when it could not be started; minus the
// signal's number for a death by a signal), output and wall time; whether it
// started (and, when interrupted, showed the awaited text in time) and
// whether the interrupt could be delivered.
struct ProcessOutcome {
  int exit_code = -1; std::string out, err; double seconds = 0; bool started = false, signalled = false;
};

// Runs `program` with `args`, standard input empty, this process's
// environment plus `env`, output through files in `dir`, to its end; or,
// `ready` given, waits (2 minutes at most) until its standard error shows
// `ready`, then interrupts it as Ctrl+C would: SIGINT, or on Windows the
// control event through a console of the child's own.
ProcessOutcome run_child(const std::string& program, const std::vector<std::string>& args, const std::string& dir,
                         const Env& env, const char* ready) {
  ProcessOutcome o;
  const std::string out = dir + "/stdout", err = dir + "/stderr";
  // The child's files are truncated only once it runs: an earlier child's
  // text must not be taken for this one's.
  std::remove(err.c_str());
  for (const auto& [name, value] : env) set_env(name, value.c_str());
  const auto start = std::chrono::steady_clock::now();
  Child child;
  o.started = child.start(program, args, out, err, ready != nullptr);
  for (const auto& entry : env) set_env(entry.first, nullptr);
  if (!o.started) return o;
  unsigned limit_ms = ~0u;
  if (ready != nullptr) {
    const auto end = start + std::chrono::seconds(120);
    while (read_file(err).find(ready) == std::string::npos && child.running() && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    o.started = read_file(err).find(ready) != std::string::npos;
    o.signalled = o.started && child.interrupt();
    limit_ms = o.signalled ? 60000 : 0;
  }
  o.exit_code = child.finish(limit_ms);
  o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  o.out = read_file(out);
  o.err = read_file(err);
  return o;
}

testing::AssertionResult has(const std::string& text, const std::string& part) {
  if (text.find(part) != std::string::npos) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "no \"" << part << "\" in:\n" << text;
}

class CliEndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* hook : {"MORLANT_CLI_CORRUPT_DIGIT", "MORLANT_CLI_SKEW_CLOCK", "MORLANT_CLI_AVAILABLE_MEMORY_MB"})
      set_env(hook, nullptr);
    std::random_device random;  // a folder of its own: tests run in parallel
    std::error_code error;      // a name already taken: another one
    do dir_ = testing::TempDir() + "morlant-cli-" + std::to_string(random() % 1000000000u);
    while (!std::filesystem::create_directory(dir_, error) && !error);
    ASSERT_FALSE(error) << "cannot create " << dir_ << ": " << error.message();
  }
  void TearDown() override {
    std::error_code error;
    std::filesystem::remove_all(dir_, error);
  }

  // morlant-cli with args (through the emulator where one is needed), run to
  // its end or interrupted once its standard error shows `interrupt_at`.
  // Text written on Windows ends its lines with CR LF; it comes back as LF.
  ProcessOutcome run(std::vector<std::string> args, const Env& env = {}, const char* interrupt_at = nullptr) {
#ifdef MORLANT_CLI_EMULATOR
    args.insert(args.begin(), MORLANT_CLI_PATH);
    const std::string program = MORLANT_CLI_EMULATOR;
#else
    const std::string program = MORLANT_CLI_PATH;
#endif
    ProcessOutcome o = run_child(program, args, dir_, env, interrupt_at);
    o.out = lf(o.out);
    o.err = lf(o.err);
    return o;
  }
  static std::string lf(std::string text) {
    for (std::size_t i; (i = text.find("\r\n")) != std::string::npos;) text.erase(i, 1);
    return text;
  }
  std::string read(const std::string& name) { return lf(read_file(dir_ + "/" + name)); }
  static bool exists(const std::string& path) { return std::filesystem::exists(path); }

  std::string dir_;
};

// The option parser's own tests cover every message; here the exit code, the
// single line, and a refusal before the minute-long standard workload, for
// a bad option and for an output file that cannot be written.
TEST_F(CliEndToEnd, BadInputExitsWith2AndOneLineBeforeAnyWork) {
  // The message's start: the last two end without a newline, the platform's error text follows.
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--digits", "abc"}, "morlant-cli: --digits needs a whole number from 1 to 100663288, got 'abc'\n"},
      {{"--output", "/nonexistent-dir/pi.txt"}, "morlant-cli: cannot write --output file '/nonexistent-dir/pi.txt': "},
      {{"--output", "/"}, "morlant-cli: cannot write --output file '/': "},
      {{"--parallel", "2", "--threads", "all"}, "morlant-cli: --parallel and --threads cannot be combined: "},
  };
  for (const auto& [args, err] : cases) {
    const ProcessOutcome o = run(args);
    EXPECT_TRUE(o.exit_code == 2 && o.out.empty() && o.seconds < 5.0) << err << o.exit_code << o.out << o.seconds;
    EXPECT_EQ(o.err.rfind(err, 0), 0u) << o.err;
    EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << o.err;
  }
}

TEST_F(CliEndToEnd, HelpAndVersionExit0) {
  ProcessOutcome o = run({"--help"});
  EXPECT_EQ(o.exit_code, 0);
  EXPECT_EQ(o.out.rfind("Usage: morlant-cli [options]\n", 0), 0u) << o.out;
  // Whole, to the exit codes at its end, and within 80 columns.
  EXPECT_TRUE(has(o.out, "duration, or a benchmark).\n"));
  for (std::size_t at = 0, next; (next = o.out.find('\n', at)) != std::string::npos; at = next + 1)
    EXPECT_LT(next - at, 80u) << o.out.substr(at, next - at);
  EXPECT_EQ(o.err, "");
  o = run({"--version"});
  EXPECT_EQ(o.exit_code, 0);
  EXPECT_EQ(o.out, std::string("morlant-cli ") + MORLANT_VERSION + "\n");
}

TEST_F(CliEndToEnd, JsonWithVerification) {
  const ProcessOutcome o = run({"--digits", "2000", "--runs", "2", "--json", "--verify"});
  ASSERT_EQ(o.exit_code, 0) << o.err;
  nlohmann::json j;
  ASSERT_NO_THROW(j = nlohmann::json::parse(o.out)) << o.out;
  EXPECT_TRUE(j["version"] == MORLANT_VERSION && j["custom"] == true && j["verify"] == true && j["status"] == "ok" &&
              j["digits_requested"] == 2000 && j["runs_requested"] == 2 && j["radix"] == 10000 && j["score"].is_number());
  // A 512-point transform, 4 digits per word.
  EXPECT_TRUE(j["digits"] == 2048 && j["guaranteed_digits"] == 2046) << o.out;
  ASSERT_EQ(j["runs"].size(), 2u);
  for (const auto& run : j["runs"])
    EXPECT_TRUE(run["status"] == "ok" && run["verified"] == true && run["digits"] == 2048 && run["score"].is_number() &&
                run["seconds"].get<double>() >= 0) << run;
  // The machine's facts from the real probe: the processor's name trimmed, the
  // kernel named on Linux, the architecture the program was built for.
  const auto& s = j["system"];
  const std::string cpu = s["cpu"], version = s["os_version"];
  EXPECT_TRUE(s["architecture"] == kArchitecture && s["os_name"] == kOsName && s["cpu_mhz"].get<int>() >= 0 &&
              s["logical_processors"].get<int>() > 0 && s["physical_cores"].get<int>() > 0 &&
              s["memory_mb"].get<int64_t>() > 0) << s;
  EXPECT_TRUE(cpu.empty() || (cpu.front() != ' ' && cpu.back() != ' ' && cpu.back() != '\t')) << cpu;
  EXPECT_TRUE(kOsName == std::string("Windows") ? !version.empty() : has(version, "kernel "));
  // Progress stays on standard error.
  EXPECT_TRUE(has(o.err, "step 1/14"));
  EXPECT_TRUE(has(o.err, "run 2/2: "));
}

// 2^1, 2^5, 2^11 and 2^14 transforms; the last has 8 guard digits.
TEST_F(CliEndToEnd, VerificationPassesAcrossSizes) {
  for (const char* digits : {"1", "100", "5000", "65536"}) {
    const ProcessOutcome o = run({"--digits", digits, "--runs", "1", "--verify", "--quiet", "--json"});
    EXPECT_TRUE(o.exit_code == 0 && o.err.empty()) << digits << ": " << o.err;
    EXPECT_EQ(nlohmann::json::parse(o.out)["runs"][0]["verified"], true) << o.out;
  }
}

// On one thread, and on three sharing each computation (2^15 words: long
// enough for the team to split the work).
TEST_F(CliEndToEnd, TextReportOfACustomRun) {
  for (const std::string parallel : {"1", "3"}) {
    const ProcessOutcome o = run({"--digits", "100000", "--runs", "2", "--parallel", parallel});
    ASSERT_EQ(o.exit_code, 0) << o.err;
    // Every row is pinned by the report's tests; here the real machine's OS, both runs verified and the result.
    for (const std::string& row :
         {std::string("Custom run: 100000 digits x 2 runs - not comparable to the standard score\n"),
          "\nOS:            " + std::string(kOsName) + " ", std::string(", verified\nRun 2:"),
          std::string(", verified\nScore:         "), std::string(" sec\n")})
      EXPECT_TRUE(has(o.out, row));
    EXPECT_EQ(o.out.find("Threads:       parallel, 3 threads per computation\n") != std::string::npos, parallel == "3");
    EXPECT_TRUE(has(o.err, "step 1/26 (3%): "));
    EXPECT_TRUE(has(o.err, "step 26/26 (100%): 100000 digits"));
  }
}

// Regression: --output delivers exactly the digits asked for, also where the
// length chosen for them does not guarantee them all (1024 digits ask for
// more than the 1022 of 256 words: computed at 512), through a .partial file
// that does not stay behind.
TEST_F(CliEndToEnd, OutputWritesTheDigitsAskedFor) {
  const std::string file = dir_ + "/pi.txt";
  for (const int digits : {1000, 1024, 1}) {
    const bool json = digits == 1024;
    std::vector<std::string> args{"--digits", std::to_string(digits), "--runs", "1", "--quiet"};
    if (json) args.insert(args.end(), {"--json", "--output=" + file, "--parallel", "2"});
    else args.insert(args.end(), {"--output", file});
    const ProcessOutcome o = run(args);
    ASSERT_EQ(o.exit_code, 0) << o.err;
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(read("pi.txt"), digits == 1 ? "3\n" : "3." + std::string(kPiDigits + 1, digits - 1) + "\n");
    EXPECT_FALSE(exists(file + ".partial"));
    if (json) {
      const nlohmann::json j = nlohmann::json::parse(o.out);
      EXPECT_TRUE(j["digits_computed"] == 2048 && j["digits"] == 2048 && j["custom"] == true) << o.out;
    }
  }
}

// Verification is the default: a wrong run is a failed run that adds
// nothing to the score, named with the position of its wrong digit.
TEST_F(CliEndToEnd, AWrongRunOrAnUntrustedTimeFailsAndIsNotCounted) {
  const std::string file = dir_ + "/pi.txt";
  const ProcessOutcome o = run({"--digits", "2000", "--runs", "2", "--json", "--quiet", "--output", file},
                               {{"MORLANT_CLI_CORRUPT_DIGIT", "2"}});
  EXPECT_EQ(o.exit_code, 1);
  EXPECT_TRUE(has(o.err, "morlant-cli: verification FAILED for run 2: digit 1023 after the decimal point is wrong"));
  EXPECT_EQ(o.err.find("run 1:"), std::string::npos);
  const nlohmann::json j = nlohmann::json::parse(o.out);
  EXPECT_EQ(j["status"], "verify-failed");
  EXPECT_EQ(j["runs"][0]["status"], "ok");
  EXPECT_TRUE(j["runs"][1]["status"] == "verify-failed" && j["runs"][1]["verified"] == false && j["runs"][1]["score"] == 0);
  // Score and time are run 1's alone.
  EXPECT_TRUE(j["score"] == j["runs"][0]["score"] && j["seconds"] == j["runs"][0]["seconds"]) << o.out;
  // Digits that failed verification are not handed out.
  EXPECT_FALSE(exists(file));
  EXPECT_TRUE(has(o.err, "nothing written to '" + file + "': the digits failed verification"));

  // --no-verify counts the same runs without looking at their digits.
  const ProcessOutcome unchecked =
      run({"--digits", "2000", "--runs", "2", "--json", "--quiet", "--no-verify"}, {{"MORLANT_CLI_CORRUPT_DIGIT", "2"}});
  EXPECT_EQ(unchecked.exit_code, 0) << unchecked.err;
  const nlohmann::json u = nlohmann::json::parse(unchecked.out);
  EXPECT_TRUE(u["status"] == "ok" && u["verify"] == false && u["runs"][1]["verified"].is_null()) << unchecked.out;

  // So is a run whose benchmark clock lost a second against the processor
  // time and the second clock, on one thread or shared by two; every run
  // carries both readings.
  for (const char* parallel : {"1", "2"}) {
    const ProcessOutcome skewed = run({"--digits", "2000", "--runs", "2", "--json", "--quiet", "--parallel", parallel},
                                      {{"MORLANT_CLI_SKEW_CLOCK", "2"}});
    EXPECT_EQ(skewed.exit_code, 1);
    EXPECT_TRUE(has(skewed.err, "run 2/2 failed: timer check failed: benchmark clock 0.0"));
    EXPECT_TRUE(has(skewed.err, std::string(parallel[0] == '2' ? " s on 2 threads, " : " s, ") + "second clock 1.0"));
    const nlohmann::json s = nlohmann::json::parse(skewed.out);
    EXPECT_TRUE(s["status"] == "timer-check-failed" && s["runs"][0]["status"] == "ok" && s["runs"][1]["score"] == 0 &&
                s["score"] == s["runs"][0]["score"]) << skewed.out;
    EXPECT_EQ(s["runs"][1]["status"].get<std::string>().rfind("failed: timer check failed: ", 0), 0u) << skewed.out;
    for (const auto& r : s["runs"])
      EXPECT_TRUE(r["processor_seconds"].is_number() && r["second_clock_seconds"].is_number()) << r;
    EXPECT_GE(s["runs"][1]["second_clock_seconds"].get<double>(), 1.0);
  }
}

TEST_F(CliEndToEnd, StressStopsAtTheFirstWrongDigit) {
  const ProcessOutcome o = run({"--stress", "--digits", "20000", "--json"}, {{"MORLANT_CLI_CORRUPT_DIGIT", "3"}});
  EXPECT_EQ(o.exit_code, 1) << o.err;
  // 8192 words guarantee 32760 digits; the hook changes the middle one.
  const std::string what = "digit 16380 after the decimal point is wrong";
  EXPECT_TRUE(has(o.err, "morlant-cli: ERROR in run 3 on thread 1 after "));
  EXPECT_TRUE(has(o.err, what));
  const auto s = nlohmann::json::parse(o.out)["stress"];
  EXPECT_TRUE(s["runs"] == 2 && s["error"]["run"] == 3 && s["error"]["thread"] == 1) << o.out;
  EXPECT_EQ(s["error"]["time_of_day"].get<std::string>().size(), 8u);
  EXPECT_EQ(s["result"].get<std::string>().rfind("error: " + what, 0), 0u);
  EXPECT_TRUE(s["duration_seconds"].is_null());
}

TEST_F(CliEndToEnd, StressRunsForItsDurationOnEveryThread) {
  const ProcessOutcome o = run({"--stress", "1s", "--threads", "2", "--digits", "1000"});
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_TRUE(has(o.out, "Stress test:   1000 digits a run on 2 threads, for 1s\n"));
  EXPECT_TRUE(has(o.out, "Result:        no error found\n"));
  unsigned runs = 0, first = 0, second = 0;
  const std::size_t at = o.out.find("\nRuns:");
  ASSERT_EQ(std::sscanf(o.out.c_str() + (at == std::string::npos ? 0 : at), "\nRuns: %u (thread 1: %u, thread 2: %u)", &runs,
                        &first, &second), 3) << o.out;
  EXPECT_TRUE(runs == first + second && first > 0 && second > 0) << o.out;
  EXPECT_TRUE(has(o.err, "stress: "));
  EXPECT_GT(o.seconds, 0.9);
}

TEST_F(CliEndToEnd, ThreadsReportEachThreadAndTheirSum) {
  const ProcessOutcome o = run({"--threads", "2", "--digits", "10000", "--runs", "2", "--json"});
  ASSERT_EQ(o.exit_code, 0) << o.err;
  const nlohmann::json j = nlohmann::json::parse(o.out);
  // Both threads ran and checked their runs (the sum and layout are the report's tests).
  ASSERT_EQ(j["threads"].size(), 2u);
  for (const auto& t : j["threads"])
    EXPECT_TRUE(t["status"] == "ok" && t["runs"].size() == 2 && t["runs"][1]["verified"] == true) << t;
  EXPECT_TRUE(j["throughput_score"].is_number() && j["score"].is_null()) << o.out;
  // One progress sequence for both threads: 2 threads x 2 runs x 10 steps.
  EXPECT_TRUE(has(o.err, "step 40/40 (100%)"));
}

TEST_F(CliEndToEnd, TooLittleMemoryRefusesBeforeAnyWork) {
  const Env one_mb{{"MORLANT_CLI_AVAILABLE_MEMORY_MB", "1"}};
  for (const char* threads : {"2", "all"}) {
    const ProcessOutcome o = run({"--threads", threads, "--digits", "1000000"}, one_mb);
    EXPECT_EQ(o.exit_code, 2);
    EXPECT_TRUE(has(o.err, "of 1000000 digits at once need "));
    EXPECT_TRUE(has(o.err, "but only 1 MB are available; nothing was started"));
    EXPECT_EQ(o.err.find("step"), std::string::npos) << o.err;
    EXPECT_EQ(o.out, "");
  }
  // 1 MB suffices for one small computation (about 0.2 MB), but not when 8
  // threads share it: the 7 extra ones make it 1.07 MB.
  EXPECT_EQ(run({"--digits", "10000", "--runs", "1", "--quiet"}, one_mb).exit_code, 0);
  const std::vector<std::string> shared{"--parallel", "8", "--digits", "10000", "--runs", "1", "--quiet"};
  const ProcessOutcome o = run(shared, one_mb);
  EXPECT_EQ(o.exit_code, 2);
  EXPECT_EQ(o.err, "morlant-cli: 1 computation of 10000 digits on 8 threads needs 2 MB of memory, but only 1 MB are "
                   "available; nothing was started (use fewer --parallel or --digits)\n");
  EXPECT_EQ(run(shared, {{"MORLANT_CLI_AVAILABLE_MEMORY_MB", "2"}}).exit_code, 0);

  // The estimate counts every computation, and every thread sharing one:
  // with the memory stated as what N need (whole MB, rounded up), N are
  // admitted and N + 1 refused. Admission is seen without computing: the
  // --output check comes next, and its refusal means the memory check passed.
  // (--output computes at the length that guarantees its digits.)
  const std::string unwritable = dir_ + "/missing/pi.txt";
  for (const int32_t digits : {1048576, 8388608}) {
    const int32_t computed = cli_digits_to_compute(digits);
    const auto stated_mb = [&](int32_t threads, int32_t parallel) {
      return (cli_memory_for_threads(computed, threads, parallel) + (1u << 20) - 1) >> 20;
    };
    const auto admitted = [&](const char* option, int32_t count, uint64_t mb) {
      SCOPED_TRACE(testing::Message() << digits << " digits, " << option << " " << count << ", " << mb << " MB");
      const ProcessOutcome outcome =
          run({option, std::to_string(count), "--digits", std::to_string(digits), "--output", unwritable},
              {{"MORLANT_CLI_AVAILABLE_MEMORY_MB", std::to_string(mb)}});
      EXPECT_EQ(outcome.exit_code, 2);
      const bool passed = has(outcome.err, "cannot write --output file");
      EXPECT_TRUE(passed || has(outcome.err, "nothing was started (use fewer")) << outcome.err;
      return passed;
    };
    for (int32_t n = 1; n <= 3; ++n) {
      EXPECT_TRUE(admitted("--threads", n, stated_mb(n, 1)));
      EXPECT_FALSE(admitted("--threads", n + 1, stated_mb(n, 1)));
      // A thread more costs well under a MB: the first count the stated
      // memory does not cover is refused, the one before admitted.
      int32_t refused = n + 1;
      while (refused < CLI_MAX_PARALLEL && stated_mb(1, refused) == stated_mb(1, n)) ++refused;
      EXPECT_TRUE(admitted("--parallel", refused - 1, stated_mb(1, n)));
      EXPECT_FALSE(admitted("--parallel", refused, stated_mb(1, n)));
    }
  }
}

// Regression, Ctrl+C for real: a benchmark stops with 130 (not killed by the
// signal) and leaves no output or .partial file (an existing one untouched);
// a stress test without a duration ends normally, one with a duration is
// interrupted. The parameter: every computation on one thread, two of them
// at once where marked (--threads 2); or every computation shared by two
// threads (--parallel 2).
class CliInterrupt : public CliEndToEnd, public testing::WithParamInterface<bool> {
 protected:
  std::vector<std::string> with(std::vector<std::string> args, bool two_at_once) const {
    if (GetParam()) args.insert(args.end(), {"--parallel", "2"});
    else if (two_at_once) args.insert(args.end(), {"--threads", "2"});
    return args;
  }
};

TEST_P(CliInterrupt, StopsCleanly) {
  const std::string file = dir_ + "/pi.txt";
  ProcessOutcome o = run(with({"--digits", "1000000", "--runs", "50", "--output", file}, false), {}, "step 1/");
  ASSERT_TRUE(o.started && o.signalled) << o.err;
  EXPECT_EQ(o.exit_code, 130) << o.err;
  EXPECT_TRUE(has(o.err, "morlant-cli: interrupted; "));
  EXPECT_TRUE(has(o.err, " of 50 runs had completed, nothing written to --output\n"));
  EXPECT_EQ(o.out, "");
  EXPECT_FALSE(exists(file) || exists(file + ".partial"));

  std::ofstream(file, std::ios::binary) << "old\n";
  o = run(with({"--digits", "1000000", "--runs", "50", "--output", file}, true), {}, "step ");
  EXPECT_EQ(o.exit_code, 130) << o.err;
  EXPECT_EQ(read("pi.txt"), "old\n");

  o = run(with({"--stress", "--digits", "10000"}, true), {}, "stress: ");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_TRUE(has(o.out, "Result:        no error found\n"));
  o = run(with({"--stress", "1h", "--digits", "10000", "--json"}, false), {}, "stress: ");
  EXPECT_EQ(o.exit_code, 130) << o.err;
  const nlohmann::json j = nlohmann::json::parse(o.out);
  EXPECT_TRUE(j["stress"]["result"] == "interrupted" && j["parallel"] == (GetParam() ? 2 : 1)) << o.out;
}

INSTANTIATE_TEST_SUITE_P(, CliInterrupt, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& p) { return p.param ? "Parallel" : "OneThread"; });

}  // namespace
