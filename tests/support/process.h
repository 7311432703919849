// Running a program from a test (POSIX and Windows): arguments, extra
// environment, captured standard output and error, exit code and wall time;
// or interrupted as a user would with Ctrl+C once it shows some text.
#ifndef MORLANT_TESTS_SUPPORT_PROCESS_H
#define MORLANT_TESTS_SUPPORT_PROCESS_H

#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct ProcessOutcome {
  int exit_code = -1;  // -1 when it could not be started; minus the signal's number for a death by a signal
  std::string out, err;
  double seconds = 0;
  bool started = false;    // started (and, when interrupted, showed the awaited text in time)
  bool signalled = false;  // the interrupt could be delivered
};

// Runs `program` with `args`, standard input empty, this process's
// environment plus `env` ({name, value}), output through files in
// `scratch_dir`, and waits for it.
ProcessOutcome run_process(const std::string& program, const std::vector<std::string>& args,
                           const std::string& scratch_dir,
                           const std::vector<std::pair<std::string, std::string>>& env = {});

// The same, but waits (at most timeout_seconds) until its standard error
// contains `ready`, then interrupts it: SIGINT, or on Windows Ctrl+C through a
// console of the child's own, which reaches its console control handler.
ProcessOutcome run_and_interrupt(const std::string& program, const std::vector<std::string>& args,
                                 const std::string& scratch_dir, const std::string& ready, double timeout_seconds);

void set_env(const std::string& name, const char* value);  // null: removes the variable
std::string make_temp_dir(const std::string& stem);         // a new directory under the test temporary one
void remove_temp_dir(const std::string& dir);               // with the files in it
std::string read_file(const std::string& path);             // "" when it cannot be read

}  // namespace testsupport

#endif  // MORLANT_TESTS_SUPPORT_PROCESS_H
