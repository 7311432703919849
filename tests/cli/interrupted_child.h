// A child program that a test interrupts as a user would with Ctrl+C:
// started with its output in files, waited for until its standard error
// shows some text, then sent SIGINT (on Windows Ctrl+C through a console of
// the child's own, which reaches its console control handler), and reaped.
#ifndef MORLANT_TESTS_CLI_INTERRUPTED_CHILD_H
#define MORLANT_TESTS_CLI_INTERRUPTED_CHILD_H

#include <string>
#include <vector>

struct InterruptOutcome {
  bool started = false;      // the child started and showed the awaited text in time
  bool signalled = false;    // the interrupt could be delivered
  int exit_code = -1;        // the exit status; minus the signal's number for a death by a signal
  std::string out, err;
};

// Runs `program args` with standard output and error in files under
// scratch_dir, waits (at most timeout_seconds) until its standard error
// contains `ready`, interrupts it and waits for its end.
InterruptOutcome run_and_interrupt(const std::string& program, const std::vector<std::string>& args,
                                   const std::string& scratch_dir, const std::string& ready, double timeout_seconds);

#endif  // MORLANT_TESTS_CLI_INTERRUPTED_CHILD_H
