// Running a program from a test: arguments, extra environment, captured
// standard output and error, exit code and wall time. POSIX and Windows.
#ifndef MORLANT_TESTS_SUPPORT_PROCESS_H
#define MORLANT_TESTS_SUPPORT_PROCESS_H

#include <string>
#include <vector>

namespace testsupport {

struct ProcessOutcome {
  int exit_code = -1;  // -1 when the program could not be started
  std::string out, err;
  double seconds = 0;
};

// Runs `program` with `args`, standard input empty, the current environment
// minus the variables named in `unset` plus `env` ("NAME=value" entries),
// and waits for it. Output goes through files in `scratch_dir`.
ProcessOutcome run_process(const std::string& program, const std::vector<std::string>& args,
                           const std::string& scratch_dir, const std::vector<std::string>& env = {},
                           const std::vector<std::string>& unset = {});

// A new empty directory under the test temporary directory, and its removal
// (with the files in it).
std::string make_temp_dir(const std::string& stem);
void remove_temp_dir(const std::string& dir);

std::string read_file(const std::string& path);
bool file_exists(const std::string& path);

}  // namespace testsupport

#endif  // MORLANT_TESTS_SUPPORT_PROCESS_H
