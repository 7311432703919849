// Running a program from a test (POSIX and Windows): arguments, extra
// environment, captured standard output and error, exit code and wall time.
#ifndef MORLANT_TESTS_SUPPORT_PROCESS_H
#define MORLANT_TESTS_SUPPORT_PROCESS_H

#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct ProcessOutcome {
  int exit_code = -1;  // -1 when the program could not be started
  std::string out, err;
  double seconds = 0;
};

// Runs `program` with `args`, standard input empty, this process's
// environment plus `env` ({name, value}), output through files in
// `scratch_dir`, and waits for it.
ProcessOutcome run_process(const std::string& program, const std::vector<std::string>& args,
                           const std::string& scratch_dir,
                           const std::vector<std::pair<std::string, std::string>>& env = {});

void set_env(const std::string& name, const char* value);  // null: removes the variable
std::string make_temp_dir(const std::string& stem);         // a new directory under the test temporary one
void remove_temp_dir(const std::string& dir);               // with the files in it
std::string read_file(const std::string& path);             // "" when it cannot be read

#ifndef _WIN32
// Starts `program` with `args`, standard input empty, standard output and
// error into the files out and err; returns its process id, or -1 when it
// could not be started. The caller waits for it.
int spawn_redirected(const std::string& program, const std::vector<std::string>& args, const std::string& out,
                     const std::string& err);
#endif

}  // namespace testsupport

#endif  // MORLANT_TESTS_SUPPORT_PROCESS_H
