// The one platform difference the command-line program meets: whether a
// stream is an interactive terminal.
#ifndef MORLANT_CLI_TERMINAL_H
#define MORLANT_CLI_TERMINAL_H

#include <cstdio>

bool cli_stream_is_terminal(std::FILE* stream);

#endif  // MORLANT_CLI_TERMINAL_H
