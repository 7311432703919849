// Ctrl+C for morlant-cli: SIGINT on POSIX systems, the console control
// handler on Windows. The handler only raises a flag; the program's main
// thread polls it and decides how to end (the computations themselves have
// no cancellation point).
#ifndef MORLANT_CLI_INTERRUPT_H
#define MORLANT_CLI_INTERRUPT_H

// Exit status of a program ended by Ctrl+C (128 + SIGINT, the shells' value).
constexpr int CLI_EXIT_INTERRUPTED = 130;

// Replaces the default Ctrl+C behaviour (ending the process) with raising
// the flag. Returns false when the handler could not be installed.
bool cli_install_interrupt_handler();

// True once Ctrl+C (or Ctrl+Break on Windows) has arrived.
bool cli_interrupted();

#endif  // MORLANT_CLI_INTERRUPT_H
